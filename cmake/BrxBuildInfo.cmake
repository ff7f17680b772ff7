# What the shipped programs are built from, for their bill of materials and
# the stub's version resource: the Debian packages of the libraries linked
# into them (versions as dpkg knows them, the Windows expat as its build stamp
# records it) and which program links which library.
#
# brx_write_build_info() runs at the end of the top-level CMakeLists.txt, once
# every target exists. It writes build-info/library_versions.h (strings for
# the version resource) and sbom-components.json (read by scripts/sbom.py).
# A package update or a rebuilt expat re-runs the configuration.

set(BRX_BUILD_INFO_DIR ${CMAKE_BINARY_DIR}/build-info)

# Version, architecture and source package of an installed Debian package.
function(brx_deb_package package out_version out_arch out_source)
  execute_process(COMMAND dpkg-query -W "-f=\${Version}\t\${Architecture}\t\${source:Package}" ${package}
                  OUTPUT_VARIABLE line RESULT_VARIABLE status ERROR_QUIET)
  if(NOT status EQUAL 0 OR line STREQUAL "")
    message(FATAL_ERROR "${package} is not installed: run scripts/setup.sh")
  endif()
  string(REPLACE "\t" ";" fields "${line}")
  list(GET fields 0 version)
  list(GET fields 1 arch)
  list(GET fields 2 source)
  set(${out_version} ${version} PARENT_SCOPE)
  set(${out_arch} ${arch} PARENT_SCOPE)
  set(${out_source} ${source} PARENT_SCOPE)
endfunction()

# The upstream part of a Debian version: no epoch, no revision.
function(brx_upstream_version version out)
  string(REGEX REPLACE "^[0-9]+:" "" v "${version}")
  string(REGEX REPLACE "[-+~].*$" "" v "${v}")
  set(${out} ${v} PARENT_SCOPE)
endfunction()

# Every target a target links, through static libraries' interfaces.
function(brx_link_closure target out)
  set(seen)
  set(queue ${target})
  while(queue)
    list(POP_FRONT queue t)
    string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" t "${t}")
    if(t IN_LIST seen OR NOT TARGET ${t})
      continue()
    endif()
    list(APPEND seen ${t})
    get_target_property(aliased ${t} ALIASED_TARGET)
    if(aliased)
      list(APPEND queue ${aliased})
      continue()
    endif()
    get_target_property(type ${t} TYPE)
    if(NOT type STREQUAL "INTERFACE_LIBRARY")
      get_target_property(libs ${t} LINK_LIBRARIES)
      if(libs)
        list(APPEND queue ${libs})
      endif()
    endif()
    get_target_property(interface ${t} INTERFACE_LINK_LIBRARIES)
    if(interface)
      list(APPEND queue ${interface})
    endif()
  endwhile()
  set(${out} ${seen} PARENT_SCOPE)
endfunction()

# One component as a JSON object; `package` is the Debian package it comes
# from (a source package when `arch` is "source").
function(brx_component out id name linkage package version arch source licence upstream note)
  set(${out} "    {\"id\": \"${id}\", \"name\": \"${name}\", \"linkage\": \"${linkage}\", \"package\": \"${package}\", \"version\": \"${version}\", \"arch\": \"${arch}\", \"source\": \"${source}\", \"license\": \"${licence}\", \"upstream_version\": \"${upstream}\", \"note\": \"${note}\"}" PARENT_SCOPE)
endfunction()

function(brx_write_build_info)
  file(MAKE_DIRECTORY ${BRX_BUILD_INFO_DIR})
  set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS /var/lib/dpkg/status)
  set(components)
  set(gcc_licence "GPL-3.0-or-later WITH GCC-exception-3.1")
  if(WIN32)
    set(tools brxstub brxpack brxlog)
    set(always mingw-w64-crt gcc-runtime)
    # The Windows zlib: built by scripts/setup.sh from a Debian source package.
    set(zlib_stamp ${BRX_ZLIB_DIR}/brx-build)
    set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${zlib_stamp})
    file(STRINGS ${zlib_stamp} zlib_version REGEX "^version=")
    string(REGEX REPLACE "^version=" "" zlib_version "${zlib_version}")
    brx_component(c zlib zlib static zlib ${zlib_version} source zlib Zlib "${ZLIB_VERSION_STRING}"
                  "cross-built from the Debian source package, optimised for size")
    list(APPEND components "${c}")
    set(zlib_text "${ZLIB_VERSION_STRING} (Debian source zlib ${zlib_version})")

    # The Windows expat: built by scripts/setup.sh from a Debian source package.
    set(stamp ${BRX_EXPAT_DIR}/brx-build)
    set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${stamp})
    file(STRINGS ${stamp} stamp_lines)
    set(expat_version unknown)
    set(expat_suite unknown)
    foreach(l IN LISTS stamp_lines)
      if(l MATCHES "^version=(.+)$")
        set(expat_version ${CMAKE_MATCH_1})
      elseif(l MATCHES "^suite=(.+)$")
        set(expat_suite ${CMAKE_MATCH_1})
      endif()
    endforeach()
    file(STRINGS ${BRX_EXPAT_DIR}/include/expat.h expat_defines REGEX "^#define XML_(MAJOR|MINOR|MICRO)_VERSION")
    string(REGEX REPLACE "[^0-9;]" "" expat_numbers "${expat_defines}")
    string(REPLACE ";" "." expat_upstream "${expat_numbers}")
    brx_component(c expat expat static expat ${expat_version} source expat MIT ${expat_upstream}
                  "cross-built from the Debian source package of ${expat_suite}")
    list(APPEND components "${c}")
    set(expat_text "${expat_upstream} (Debian source expat ${expat_version}, ${expat_suite})")

    brx_deb_package(mingw-w64-x86-64-dev v a s)
    brx_upstream_version(${v} u)
    brx_component(c mingw-w64-crt mingw-w64-crt static mingw-w64-x86-64-dev ${v} ${a} ${s} ZPL-2.1 ${u} "")
    list(APPEND components "${c}")
    set(crt_text "${u} (mingw-w64-x86-64-dev ${v})")

    brx_deb_package(g++-mingw-w64-x86-64-win32 v a s)
    brx_upstream_version(${v} u)
    brx_component(c gcc-runtime "libstdc++ and libgcc" static g++-mingw-w64-x86-64-win32 ${v} ${a} ${s}
                  "${gcc_licence}" ${u} "GCC ${u}, compiler ${CMAKE_CXX_COMPILER_VERSION}")
    list(APPEND components "${c}")
    set(gcc_text "GCC ${u} (g++-mingw-w64-x86-64-win32 ${v})")

    # brxpack.exe's yaml-cpp: built by scripts/setup.sh from a Debian source package.
    set(yaml_stamp ${BRX_YAMLCPP_DIR}/brx-build)
    set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${yaml_stamp})
    file(STRINGS ${yaml_stamp} yaml_version REGEX "^version=")
    string(REGEX REPLACE "^version=" "" yaml_version "${yaml_version}")
    brx_upstream_version(${yaml_version} u)
    brx_component(c yaml-cpp yaml-cpp static yaml-cpp ${yaml_version} source yaml-cpp MIT ${u}
                  "cross-built from the Debian source package")
    list(APPEND components "${c}")

    file(CONFIGURE OUTPUT ${BRX_BUILD_INFO_DIR}/library_versions.h CONTENT
"// Generated by cmake/BrxBuildInfo.cmake: the libraries linked into the stub.
#define BRX_LIBRARY_ZLIB \"${zlib_text}\"
#define BRX_LIBRARY_EXPAT \"${expat_text}\"
#define BRX_LIBRARY_CRT \"${crt_text}\"
#define BRX_LIBRARY_GCC \"${gcc_text}\"
")
  else()
    set(tools brxpack brxlog)
    set(always libc6 libstdc++6 libgcc-s1)
    foreach(entry "libc6|LGPL-2.1-or-later" "libstdc++6|${gcc_licence}" "libgcc-s1|${gcc_licence}"
                  "zlib1g|Zlib" "libexpat1|MIT" "libssl3|Apache-2.0")
      string(REPLACE "|" ";" entry "${entry}")
      list(GET entry 0 p)
      list(GET entry 1 l)
      brx_deb_package(${p} v a s)
      brx_upstream_version(${v} u)
      brx_component(c ${p} ${p} dynamic ${p} ${v} ${a} ${s} "${l}" ${u} "")
      list(APPEND components "${c}")
    endforeach()
    # yaml-cpp's shared library: the package libyaml-cpp-dev depends on.
    execute_process(COMMAND dpkg-query -W "-f=\${Depends}" libyaml-cpp-dev OUTPUT_VARIABLE yaml_depends ERROR_QUIET)
    string(REGEX MATCH "libyaml-cpp[0-9.]+" yaml_package "${yaml_depends}")
    if(NOT yaml_package)
      message(FATAL_ERROR "libyaml-cpp-dev is not installed: run scripts/setup.sh")
    endif()
    brx_deb_package(${yaml_package} v a s)
    brx_upstream_version(${v} u)
    brx_component(c ${yaml_package} yaml-cpp dynamic ${yaml_package} ${v} ${a} ${s} MIT ${u} "")
    list(APPEND components "${c}")
  endif()
  brx_deb_package(nlohmann-json3-dev v a s)
  brx_upstream_version(${v} u)
  brx_component(c nlohmann-json nlohmann-json static nlohmann-json3-dev ${v} ${a} ${s} MIT ${u} "header-only")
  list(APPEND components "${c}")

  # Which shipped program holds which component: "target|component" pairs.
  if(WIN32)
    set(linked_components "ZLIB::ZLIB|zlib" "brx_expat|expat" "brx_json|nlohmann-json" "brx_yaml|yaml-cpp")
  else()
    set(linked_components "ZLIB::ZLIB|zlib1g" "EXPAT::EXPAT|libexpat1" "OpenSSL::Crypto|libssl3"
                          "brx_json|nlohmann-json" "brx_yaml|${yaml_package}")
  endif()
  set(files)
  foreach(t IN LISTS tools)
    if(NOT TARGET ${t})
      continue()
    endif()
    brx_link_closure(${t} closure)
    set(uses ${always})
    foreach(pair IN LISTS linked_components)
      string(REPLACE "|" ";" pair "${pair}")
      list(GET pair 0 linked_target)
      list(GET pair 1 component)
      if(linked_target IN_LIST closure)
        list(APPEND uses ${component})
      endif()
    endforeach()
    list(JOIN uses "\", \"" uses_text)
    list(APPEND files "    \"${t}${CMAKE_EXECUTABLE_SUFFIX}\": [\"${uses_text}\"]")
  endforeach()
  list(JOIN components ",\n" components_text)
  list(JOIN files ",\n" files_text)
  if(WIN32)
    set(tree win)
  else()
    set(tree native)
  endif()
  file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/sbom-components.json CONTENT
"{
  \"tree\": \"${tree}\",
  \"version\": \"${PROJECT_VERSION}\",
  \"components\": [
${components_text}
  ],
  \"files\": {
${files_text}
  }
}
")
endfunction()
