# ServerBench: time per record through the automation server against the direct read; figures.
# Registered with ctest (label "bench") only when TOVIK_BENCH is set at configure time.
if(TARGET readercore AND TARGET Ravelport AND TARGET orlentsrv)
  add_executable(ServerBench ${CMAKE_CURRENT_SOURCE_DIR}/ServerBench.cpp)
  target_include_directories(ServerBench PRIVATE ${TOVIK_SOURCE_DIR}/testing/win)
  target_link_libraries(ServerBench PRIVATE readercore ws2_32)
  target_compile_definitions(ServerBench PRIVATE
    TOVIK_SOURCE_DIR="${TOVIK_SOURCE_DIR}"
    TOVIK_BINARY_DIR="${CMAKE_BINARY_DIR}"
    TOVIK_NATIVE_DIR="${TOVIK_NATIVE_DIR}")
  target_compile_options(ServerBench PRIVATE -Wno-restrict)
  add_custom_command(TARGET ServerBench POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:Ravelport> $<TARGET_FILE_DIR:ServerBench>)
  add_dependencies(ServerBench Ravelport orlentsrv)
  if(DEFINED ENV{TOVIK_BENCH})
    add_test(NAME ServerBench COMMAND ServerBench)
    set_tests_properties(ServerBench PROPERTIES LABELS bench TIMEOUT 900)
  endif()
endif()
