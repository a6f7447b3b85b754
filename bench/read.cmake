# ReadBench: the window's share of a read (GUI work per record at 65 536 rows, the group grid over
# 65 536 events, the time between two archive requests through the window, through the library
# alone and through a bare window of system controls); prints figures.
# Registered with ctest (label "bench") only when TOVIK_BENCH is set at configure time, e.g.
#   TOVIK_BENCH=1 SKIP_SETUP=1 scripts/test -R ReadBench -V
if(TARGET readercore AND TARGET Ravelport)
  add_executable(ReadBench ${CMAKE_CURRENT_SOURCE_DIR}/ReadBench.cpp)
  target_include_directories(ReadBench PRIVATE ${TOVIK_SOURCE_DIR}/testing/win)
  target_link_libraries(ReadBench PRIVATE readercore ws2_32)
  target_compile_definitions(ReadBench PRIVATE
    TOVIK_SOURCE_DIR="${TOVIK_SOURCE_DIR}"
    TOVIK_BINARY_DIR="${CMAKE_BINARY_DIR}"
    TOVIK_NATIVE_DIR="${TOVIK_NATIVE_DIR}")
  target_compile_options(ReadBench PRIVATE -Wno-restrict)
  add_custom_command(TARGET ReadBench POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:Ravelport> $<TARGET_FILE_DIR:ReadBench>)
  add_dependencies(ReadBench Ravelport)
  if(DEFINED ENV{TOVIK_BENCH})
    add_test(NAME ReadBench COMMAND ReadBench)
    set_tests_properties(ReadBench PROPERTIES LABELS bench TIMEOUT 900)
  endif()
endif()
