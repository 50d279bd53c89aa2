# Test programs: GoogleTest from Debian's packages natively, built from the
# sources of Debian's googletest package for Windows; Windows test programs run
# under Wine through the cross-compiling emulator.

if(CMAKE_CROSSCOMPILING)
  set(KD_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${KD_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  set(KD_GTEST_MAIN gtest)
  set(KD_GMOCK gmock)
  set(KD_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
  set(CMAKE_CROSSCOMPILING_EMULATOR
      ${CMAKE_COMMAND} -E env KD_WINEPREFIX=${KD_WINEPREFIX}
      ${PROJECT_SOURCE_DIR}/cmake/wine-run.sh)
else()
  find_package(GTest REQUIRED)
  set(KD_GTEST_MAIN GTest::gtest)
  set(KD_GMOCK GTest::gmock)
endif()

# kd_test(name SOURCES... LIBS libs...): one test program, its cases registered
# with CTest. Every test program links the test kit kd_testing and uses the
# shared main of kd_test_main (testing/), which starts the foundation as the
# library's loaders do.
function(kd_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE kd_test_main kd_testing ${ARG_LIBS} ${KD_GMOCK} ${KD_GTEST_MAIN})
  kd_warnings(${name})
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  set_tests_properties(${name} PROPERTIES TIMEOUT 600)
  if(KD_SANITIZE)
    # Heap exhaustion is reported by the library, not fatal: let malloc say no.
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "ASAN_OPTIONS=allocator_may_return_null=1")
  endif()
endfunction()
