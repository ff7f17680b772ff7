# brx_add_test_suites(TARGET PREFIX OUT SOURCES...): one ctest test per
# GoogleTest suite found in the sources, named PREFIX<Suite>, running the
# suite's cases in one process. Starting a process is most of what a unit
# test costs under Wine and the sanitizers; a failing case still names itself
# in the test's output. OUT receives the tests added.
function(brx_add_test_suites target prefix out)
  set(suites)
  foreach(src IN LISTS ARGN)
    get_filename_component(path "${src}" ABSOLUTE)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${path}")
    file(READ "${path}" text)
    string(REGEX MATCHALL "TEST(_F)?\\([ \t\r\n]*[A-Za-z0-9_]+[ \t\r\n]*," found "${text}")
    foreach(m IN LISTS found)
      string(REGEX REPLACE "TEST(_F)?\\([ \t\r\n]*([A-Za-z0-9_]+).*" "\\2" suite "${m}")
      list(APPEND suites ${suite})
    endforeach()
  endforeach()
  list(REMOVE_DUPLICATES suites)
  set(added)
  foreach(suite IN LISTS suites)
    add_test(NAME ${prefix}${suite} COMMAND ${target} --gtest_filter=${suite}.*)
    list(APPEND added ${prefix}${suite})
  endforeach()
  set(${out} ${added} PARENT_SCOPE)
endfunction()
