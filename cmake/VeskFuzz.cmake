if(VESK_FUZZ)
  # Coverage feedback must come from our own code, not only from the harness: every target
  # is instrumented, and only the fuzz targets link the fuzzer's driver.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# vesk_add_fuzz_target(NAME SOURCES ... LIBS ... CORPUS dir... [OPTIONS flag...])
#
# Every fuzz target's entry point is also linked into a replay program that runs
# its stored corpora (seeds and every crash ever found) as an ordinary test, so the
# corpus is exercised by every build, not only by fuzzing builds. OPTIONS are the
# libFuzzer flags the target runs with unless its command line says otherwise.
function(vesk_add_fuzz_target name)
  cmake_parse_arguments(F "" "" "SOURCES;LIBS;CORPUS;OPTIONS" ${ARGN})
  if(VESK_FUZZ)
    add_executable(fuzz_${name} ${F_SOURCES})
    target_link_libraries(fuzz_${name} PRIVATE ${F_LIBS})
    target_compile_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
    if(F_OPTIONS)
      list(JOIN F_OPTIONS " " options)
      target_sources(fuzz_${name} PRIVATE ${PROJECT_SOURCE_DIR}/fuzz/FuzzOptions.cpp)
      target_compile_definitions(fuzz_${name} PRIVATE VESK_FUZZ_OPTIONS="${options}")
    endif()
  endif()
  if(VESK_TESTS)
    add_executable(fuzz_replay_${name} ${F_SOURCES} ${PROJECT_SOURCE_DIR}/fuzz/FuzzReplayMain.cpp)
    target_link_libraries(fuzz_replay_${name} PRIVATE ${F_LIBS})
    add_test(NAME fuzz_replay_${name} COMMAND fuzz_replay_${name} ${F_CORPUS})
  endif()
endfunction()
