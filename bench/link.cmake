# LinkBench: archive requests through Ravelport.dll against the simulated instrument; prints
# figures. Not a test: it is registered with ctest (label "bench") only when TOVIK_BENCH is set
# in the environment at configure time, e.g.
#   TOVIK_BENCH=1 SKIP_SETUP=1 TOVIK_PARTS="runtime;link;bench" scripts/test -R LinkBench -V
if(TARGET Ravelport)
  add_executable(LinkBench ${CMAKE_CURRENT_SOURCE_DIR}/LinkBench.cpp)
  target_include_directories(LinkBench PRIVATE ${TOVIK_SOURCE_DIR}/testing/win)
  target_link_libraries(LinkBench PRIVATE ws2_32)
  target_compile_definitions(LinkBench PRIVATE
    TOVIK_SOURCE_DIR="${TOVIK_SOURCE_DIR}"
    TOVIK_BINARY_DIR="${CMAKE_BINARY_DIR}"
    TOVIK_NATIVE_DIR="${TOVIK_NATIVE_DIR}"
    RAVELPORT_DLL="$<TARGET_FILE:Ravelport>")
  add_dependencies(LinkBench Ravelport)
  if(DEFINED ENV{TOVIK_BENCH})
    add_test(NAME LinkBench COMMAND LinkBench)
    set_tests_properties(LinkBench PROPERTIES LABELS bench TIMEOUT 600)
  endif()
endif()
