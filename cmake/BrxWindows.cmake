# Windows build: MinGW-w64; zlib, expat (UTF-16 XML_Char) and yaml-cpp cross-built by
# scripts/setup.sh from Debian's sources; GoogleTest cross-built from Debian's source.
# Each function and datum in its own section, so the linker's --gc-sections
# drops what the stub never calls (the libraries are shared with the tools
# and the tests, which call more of them).
add_compile_options(-ffunction-sections -fdata-sections)

# Static zlib (Wine ships a zlib1.dll, Windows does not), cross-built by
# scripts/setup.sh from Debian's source for size.
set(BRX_ZLIB_DIR "${BRX_DEPS}/zlib-mingw")
if(NOT EXISTS "${BRX_ZLIB_DIR}/lib/libz.a")
  message(FATAL_ERROR "zlib for Windows missing: run scripts/setup.sh")
endif()
add_library(brx_zlib STATIC IMPORTED)
set_target_properties(brx_zlib PROPERTIES
  IMPORTED_LOCATION "${BRX_ZLIB_DIR}/lib/libz.a"
  INTERFACE_INCLUDE_DIRECTORIES "${BRX_ZLIB_DIR}/include")
add_library(ZLIB::ZLIB ALIAS brx_zlib)
file(STRINGS "${BRX_ZLIB_DIR}/include/zlib.h" zlib_version_line REGEX "^#define ZLIB_VERSION \"")
string(REGEX REPLACE "^#define ZLIB_VERSION \"([^\"]*)\".*$" "\\1" ZLIB_VERSION_STRING "${zlib_version_line}")
set(BRX_EXPAT_DIR "${BRX_DEPS}/expat-mingw")
if(NOT EXISTS "${BRX_EXPAT_DIR}/lib/libexpatw.a")
  message(FATAL_ERROR "expat for Windows missing: run scripts/setup.sh")
endif()
add_library(brx_expat STATIC IMPORTED)
set_target_properties(brx_expat PROPERTIES
  IMPORTED_LOCATION "${BRX_EXPAT_DIR}/lib/libexpatw.a"
  INTERFACE_INCLUDE_DIRECTORIES "${BRX_EXPAT_DIR}/include"
  INTERFACE_COMPILE_DEFINITIONS "XML_UNICODE_WCHAR_T;XML_STATIC")
add_library(EXPAT::EXPAT ALIAS brx_expat)

# yaml-cpp for brxpack.exe's YAML emitter, cross-built by scripts/setup.sh
# from Debian's source package.
set(BRX_YAMLCPP_DIR "${BRX_DEPS}/yaml-cpp-mingw")
if(NOT EXISTS "${BRX_YAMLCPP_DIR}/lib/libyaml-cpp.a")
  message(FATAL_ERROR "yaml-cpp for Windows missing: run scripts/setup.sh")
endif()
add_library(brx_yaml STATIC IMPORTED)
set_target_properties(brx_yaml PROPERTIES
  IMPORTED_LOCATION "${BRX_YAMLCPP_DIR}/lib/libyaml-cpp.a"
  INTERFACE_INCLUDE_DIRECTORIES "${BRX_YAMLCPP_DIR}/include")

set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# GoogleTest locks with Windows' own calls, but its Notification needs
# std::mutex, which the Win32 thread model lacks: it gets one without.
target_compile_definitions(gtest PUBLIC GTEST_HAS_NOTIFICATION_=1)
target_compile_options(gtest PUBLIC -include ${PROJECT_SOURCE_DIR}/cmake/gtest_notification_win32.h)
include(GoogleTest)

# Every Windows test runs in the private Wine prefix prepared by the fixture in tests/wine.
set(BRX_WINE_RUN "${PROJECT_SOURCE_DIR}/tests/wine/wine-run.sh")
set(BRX_WINE_STATE "${CMAKE_BINARY_DIR}/wine")
set(CMAKE_CROSSCOMPILING_EMULATOR "${BRX_WINE_RUN};${BRX_WINE_STATE}")

# brx_test(name SOURCES ... DEPS ... [EACH_CASE]): a GoogleTest binary run
# under wine64, one ctest test per suite; EACH_CASE makes one per case, for
# the end-to-end tests whose cases take seconds each and run side by side.
include(${CMAKE_CURRENT_LIST_DIR}/BrxTestSuites.cmake)
function(brx_test name)
  cmake_parse_arguments(A "EACH_CASE" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_compile_options(${name} PRIVATE ${BRX_WARNINGS})
  target_link_libraries(${name} PRIVATE ${A_DEPS} gtest gtest_main brx_build_flags)
  set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR "${CMAKE_CROSSCOMPILING_EMULATOR}")
  if(A_EACH_CASE)
    gtest_add_tests(TARGET ${name} SOURCES ${A_SOURCES} TEST_PREFIX "win." TEST_LIST added)
    set_tests_properties(${added} PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 120)
  else()
    brx_add_test_suites(${name} "win." added ${A_SOURCES})
    set_tests_properties(${added} PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 300)
  endif()
endfunction()
