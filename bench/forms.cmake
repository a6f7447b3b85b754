# Grid benchmark: fills and paints a string grid of 65 536 rows, prints the figures.
# Registered with ctest (label "bench") only when TOVIK_BENCH is set (scripts/bench).
if(TARGET forms)
  add_executable(GridBench ${CMAKE_CURRENT_LIST_DIR}/GridBench.cpp)
  target_link_libraries(GridBench PRIVATE forms psapi)
  if(DEFINED ENV{TOVIK_BENCH})
    add_test(NAME GridBench COMMAND GridBench)
    set_tests_properties(GridBench PROPERTIES LABELS bench TIMEOUT 900)
  endif()
endif()
