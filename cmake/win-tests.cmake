# Test framework of the Windows cross build, included before tests/ when WIN32.
#
# Debian's libgtest-dev holds Linux libraries only, so GoogleTest is built here from
# the sources of the googletest package with the cross compiler, and a stand-in
# package file makes find_package(GTest) find those targets. Listing the cases of a
# test program would mean running it under wine at build time; instead
# cmake/win/GoogleTest.cmake makes each test program one ctest test run by
# tools/win-run.sh, which reports a machine without a working wine as skipped.
set(ZQ_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources for the cross build")
if(NOT EXISTS ${ZQ_GOOGLETEST_SOURCE}/CMakeLists.txt)
  message(WARNING "No GoogleTest sources in ${ZQ_GOOGLETEST_SOURCE} (Debian package googletest): "
                  "the Windows tests are not built")
  set(ZQ_TESTS OFF)
  return()
endif()

set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${ZQ_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# Its sources are not ours to keep free of warnings.
target_compile_options(gtest PRIVATE -w)
target_compile_options(gtest_main PRIVATE -w)

set(stand_in ${CMAKE_BINARY_DIR}/win-gtest)
file(WRITE ${stand_in}/GTestConfig.cmake
     "# GoogleTest is built in this tree (cmake/win-tests.cmake); its targets exist.\n")
set(GTest_DIR ${stand_in} CACHE PATH "" FORCE)

list(PREPEND CMAKE_MODULE_PATH ${CMAKE_CURRENT_LIST_DIR}/win)
set(ZQ_WIN_RUN ${CMAKE_SOURCE_DIR}/tools/win-run.sh)
set(ZQ_WINEPREFIX ${CMAKE_BINARY_DIR}/wine-prefix)
