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
