if(VESK_FUZZ)
  # Coverage feedback must come from our own code, not only from the harness: every target
  # is instrumented, and only the fuzz targets link the fuzzer's driver.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# vesk_add_fuzz_target(NAME SOURCES ... LIBS ... CORPUS dir)
#
# Every fuzz target's entry point is also linked into a replay program that runs
# its stored corpus (seeds and every crash ever found) as an ordinary test, so the
# corpus is exercised by every build, not only by fuzzing builds.
function(vesk_add_fuzz_target name)
  cmake_parse_arguments(F "" "CORPUS" "SOURCES;LIBS" ${ARGN})
  if(VESK_FUZZ)
    add_executable(fuzz_${name} ${F_SOURCES})
    target_link_libraries(fuzz_${name} PRIVATE ${F_LIBS})
    target_compile_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
  endif()
  if(VESK_TESTS)
    add_executable(fuzz_replay_${name} ${F_SOURCES} ${PROJECT_SOURCE_DIR}/fuzz/FuzzReplayMain.cpp)
    target_link_libraries(fuzz_replay_${name} PRIVATE ${F_LIBS})
    add_test(NAME fuzz_replay_${name} COMMAND fuzz_replay_${name} ${F_CORPUS})
  endif()
endfunction()
