# Flags for the project's own targets. -ffp-contract=off keeps a*b+c as two roundings
# everywhere: fused multiply-adds would change the printed digits of the fit and of de.
function(stereology_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror -ffp-contract=off)
endfunction()

# A GoogleTest executable registered with CTest.
function(stereology_test target)
  add_executable(${target} ${ARGN})
  stereology_defaults(${target})
  target_link_libraries(${target} PRIVATE GTest::gtest GTest::gtest_main GTest::gmock)
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "STEREOLOGY_BIN=${CMAKE_BINARY_DIR}/bin;QT_QPA_PLATFORM=offscreen")
endfunction()

# A libFuzzer target, and a CTest test that runs it for STEREOLOGY_FUZZ_SECONDS on its seed
# corpus (corpus/<name> beside the source). New inputs go to a scratch corpus in the build
# tree, so the seeds in the repository stay as they are.
set(STEREOLOGY_FUZZ_SECONDS 20 CACHE STRING "Seconds each fuzz target runs under CTest")
function(stereology_fuzz_target name)
  add_executable(fuzz_${name} fuzz_${name}.cpp)
  target_compile_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
  stereology_defaults(fuzz_${name})
  set(work ${CMAKE_BINARY_DIR}/fuzz-corpus/${name})
  add_test(NAME fuzz_${name}
    COMMAND sh -c "mkdir -p '${work}' && exec '$<TARGET_FILE:fuzz_${name}>' -max_total_time=${STEREOLOGY_FUZZ_SECONDS} -print_final_stats=1 '${work}' '${CMAKE_CURRENT_SOURCE_DIR}/corpus/${name}'")
endfunction()

# A GoogleTest executable run once more, each test in a process of its own, under a locale that
# writes a decimal comma: every number the programs read or write must stay the same. Skipped
# where no such locale can be made.
function(stereology_decimal_comma_test target)
  add_test(NAME ${target}_decimal_comma
    COMMAND sh ${PROJECT_SOURCE_DIR}/cmake/decimal_comma.sh ${CMAKE_BINARY_DIR}/locale
            sh ${PROJECT_SOURCE_DIR}/cmake/each_test.sh $<TARGET_FILE:${target}>)
  set_tests_properties(${target}_decimal_comma PROPERTIES
    SKIP_RETURN_CODE 77
    LABELS decimal_comma
    ENVIRONMENT "STEREOLOGY_BIN=${CMAKE_BINARY_DIR}/bin;QT_QPA_PLATFORM=offscreen")
endfunction()
