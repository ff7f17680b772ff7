# Settings shared by both builds.
set(BRX_WARNINGS -Wall -Wextra -Wno-unused-parameter -Wno-missing-field-initializers)

# brx_library(name SOURCES ... [WIN32_SOURCES ...] [DEPS ...])
# A subsystem library: portable sources always, Win32-only sources in the Windows build.
function(brx_library name)
  cmake_parse_arguments(A "" "" "SOURCES;WIN32_SOURCES;NATIVE_SOURCES;DEPS" ${ARGN})
  set(srcs ${A_SOURCES})
  if(WIN32)
    list(APPEND srcs ${A_WIN32_SOURCES})
  else()
    list(APPEND srcs ${A_NATIVE_SOURCES})
  endif()
  add_library(${name} STATIC ${srcs})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_compile_options(${name} PRIVATE ${BRX_WARNINGS})
  target_link_libraries(${name} PUBLIC ${A_DEPS} brx_build_flags)
endfunction()

add_library(brx_build_flags INTERFACE)
if(WIN32)
  target_compile_definitions(brx_build_flags INTERFACE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
                             _WIN32_WINNT=0x0A00 WINVER=0x0A00 XML_UNICODE_WCHAR_T XML_STATIC)
endif()
if(BRX_SANITIZE)
  target_compile_options(brx_build_flags INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer
                         -fno-sanitize-recover=undefined)
  target_link_options(brx_build_flags INTERFACE -fsanitize=address,undefined)
endif()
if(BRX_FUZZ)
  # Instrument every library for coverage-guided fuzzing; fuzz targets add the driver.
  target_compile_options(brx_build_flags INTERFACE -fsanitize=fuzzer-no-link,address,undefined
                         -fno-omit-frame-pointer)
  target_link_options(brx_build_flags INTERFACE -fsanitize=address,undefined)
endif()

# Sources of a folder split by platform: name_win.cc only in the Windows build,
# name_native.cc only natively, every other .cc in both.
function(brx_glob_sources out dir)
  file(GLOB all CONFIGURE_DEPENDS "${dir}/*.cc")
  set(result)
  foreach(f ${all})
    if(f MATCHES "_win\\.cc$")
      if(WIN32)
        list(APPEND result ${f})
      endif()
    elseif(f MATCHES "_native\\.cc$")
      if(NOT WIN32)
        list(APPEND result ${f})
      endif()
    else()
      list(APPEND result ${f})
    endif()
  endforeach()
  set(${out} ${result} PARENT_SCOPE)
endfunction()

# nlohmann-json (Debian's nlohmann-json3-dev, header-only) for the tools' JSON
# output. Both builds include it as <nlohmann/json.hpp> through a folder of
# their own in the build tree that links only to the json headers: the Windows
# build must never see the host's /usr/include beside them.
find_path(BRX_JSON_PARENT nlohmann/json.hpp PATHS /usr/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(NOT BRX_JSON_PARENT)
  message(FATAL_ERROR "nlohmann/json.hpp missing: run scripts/setup.sh")
endif()
set(brx_json_include ${CMAKE_BINARY_DIR}/json-include)
file(MAKE_DIRECTORY ${brx_json_include})
file(CREATE_LINK ${BRX_JSON_PARENT}/nlohmann ${brx_json_include}/nlohmann SYMBOLIC)
add_library(brx_json INTERFACE)
target_include_directories(brx_json SYSTEM INTERFACE ${brx_json_include})
