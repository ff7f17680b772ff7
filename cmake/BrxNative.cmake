# Native (Linux) build: Debian's zlib, expat and GoogleTest.
find_package(ZLIB REQUIRED)
find_package(EXPAT REQUIRED)
find_package(OpenSSL REQUIRED)
find_package(GTest REQUIRED)
# yaml-cpp: brxpack's YAML emitter.
find_package(yaml-cpp REQUIRED)
add_library(brx_yaml INTERFACE)
target_link_libraries(brx_yaml INTERFACE yaml-cpp)
include(GoogleTest)

# brx_test(name SOURCES ... DEPS ... [EACH_CASE]): a native GoogleTest
# binary, one ctest test per suite (EACH_CASE: per case).
include(${CMAKE_CURRENT_LIST_DIR}/BrxTestSuites.cmake)
function(brx_test name)
  cmake_parse_arguments(A "EACH_CASE" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_compile_options(${name} PRIVATE ${BRX_WARNINGS})
  target_link_libraries(${name} PRIVATE ${A_DEPS} GTest::gtest GTest::gtest_main brx_build_flags)
  if(A_EACH_CASE)
    gtest_discover_tests(${name} TEST_PREFIX "${BRX_TEST_PREFIX}." DISCOVERY_TIMEOUT 60
                         PROPERTIES ENVIRONMENT "BRX_TEST_TMP=${CMAKE_BINARY_DIR}/test-tmp")
  else()
    brx_add_test_suites(${name} "${BRX_TEST_PREFIX}." added ${A_SOURCES})
    set_tests_properties(${added} PROPERTIES ENVIRONMENT "BRX_TEST_TMP=${CMAKE_BINARY_DIR}/test-tmp" TIMEOUT 300)
  endif()
endfunction()
