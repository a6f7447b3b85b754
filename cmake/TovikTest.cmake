# tovik_add_gtest(<target> [OWN_MAIN] SOURCES <files...> [LIBS <libs...>])
# One GoogleTest program run under Wine; each case becomes a ctest test.
include(GoogleTest)
function(tovik_add_gtest target)
  cmake_parse_arguments(T "OWN_MAIN" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${target} ${T_SOURCES})
  target_link_libraries(${target} PRIVATE ${T_LIBS} gtest gmock)
  target_compile_definitions(${target} PRIVATE
    TOVIK_SOURCE_DIR="${TOVIK_SOURCE_DIR}"
    TOVIK_BINARY_DIR="${CMAKE_BINARY_DIR}"
    TOVIK_NATIVE_DIR="${TOVIK_NATIVE_DIR}")
  if(NOT T_OWN_MAIN)
    target_link_libraries(${target} PRIVATE gtest_main)
  endif()
  gtest_discover_tests(${target}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 180
    PROPERTIES TIMEOUT 300)
endfunction()
