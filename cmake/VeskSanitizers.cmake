# Sanitizer builds: VESK_SANITIZE=address,undefined or VESK_SANITIZE=thread.
if(VESK_SANITIZE)
  set(_vesk_san "-fsanitize=${VESK_SANITIZE}")
  add_compile_options(${_vesk_san} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(${_vesk_san})
endif()

# The suppression lists are compiled into every program of a sanitizer build, so a program
# run by a test as another user, or copied out of the clone, needs no file it may not read.
function(vesk_generate_sanitizer_defaults out)
  file(READ "${PROJECT_SOURCE_DIR}/cmake/sanitizers/tsan.supp" VESK_TSAN_SUPPRESSIONS)
  file(READ "${PROJECT_SOURCE_DIR}/cmake/sanitizers/lsan.supp" VESK_LSAN_SUPPRESSIONS)
  set_property(DIRECTORY "${PROJECT_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
    "${PROJECT_SOURCE_DIR}/cmake/sanitizers/tsan.supp" "${PROJECT_SOURCE_DIR}/cmake/sanitizers/lsan.supp")
  configure_file("${PROJECT_SOURCE_DIR}/cmake/sanitizers/SanitizerDefaults.cpp.in" "${out}" @ONLY)
endfunction()

# Links the compiled-in suppressions into every executable below the source tree.
function(vesk_add_sanitizer_defaults)
  if(NOT VESK_SANITIZE)
    return()
  endif()
  set(source "${PROJECT_BINARY_DIR}/sanitizers/SanitizerDefaults.cpp")
  vesk_generate_sanitizer_defaults("${source}")
  add_library(vesk_sanitizer_defaults OBJECT "${source}")
  set(folders "${PROJECT_SOURCE_DIR}")
  while(folders)
    list(POP_FRONT folders folder)
    get_property(targets DIRECTORY "${folder}" PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target IN LISTS targets)
      get_target_property(type ${target} TYPE)
      if(type STREQUAL "EXECUTABLE")
        target_link_libraries(${target} PRIVATE vesk_sanitizer_defaults)
      endif()
    endforeach()
    get_property(subfolders DIRECTORY "${folder}" PROPERTY SUBDIRECTORIES)
    list(APPEND folders ${subfolders})
  endwhile()
endfunction()
