# Stands in for CMake's GoogleTest module in the Windows cross build (found first
# through CMAKE_MODULE_PATH, see cmake/win-tests.cmake). Each test program becomes one
# ctest test, win.<layer>, that runs all its cases under wine in one process: listing
# them would start wine at build time, and one wine start per case would cost minutes.
# A machine where wine cannot start reports the test as skipped (exit code 77).
function(gtest_discover_tests target)
  cmake_parse_arguments(arg "NO_PRETTY_TYPES;NO_PRETTY_VALUES"
                        "TEST_PREFIX;TEST_SUFFIX;WORKING_DIRECTORY;TEST_LIST;DISCOVERY_TIMEOUT;XML_OUTPUT_DIR;DISCOVERY_MODE"
                        "EXTRA_ARGS;PROPERTIES;TEST_FILTER" ${ARGN})
  string(REGEX REPLACE "\\.$" "" name "${arg_TEST_PREFIX}")
  if(name STREQUAL "")
    set(name ${target})
  endif()
  set(directory ${arg_WORKING_DIRECTORY})
  if(NOT directory)
    set(directory ${CMAKE_CURRENT_BINARY_DIR})
  endif()
  add_test(NAME win.${name}
           COMMAND bash ${ZQ_WIN_RUN} $<TARGET_FILE:${target}> --gtest_brief=1 ${arg_EXTRA_ARGS}
           WORKING_DIRECTORY ${directory})
  if(arg_PROPERTIES)
    set_tests_properties(win.${name} PROPERTIES ${arg_PROPERTIES})
  endif()
  # All the cases of a program in one run under wine take longer than one case.
  set_tests_properties(win.${name} PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 900
                       ENVIRONMENT "ZQ_WINEPREFIX=${ZQ_WINEPREFIX}")
endfunction()

function(gtest_add_tests)
  message(FATAL_ERROR "gtest_add_tests is not available in the Windows cross build; "
                      "use gtest_discover_tests")
endfunction()
