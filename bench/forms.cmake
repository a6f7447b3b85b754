# Grid benchmark: fills and paints a string grid of 65 536 rows, prints the figures.
if(TARGET forms)
  add_executable(GridBench ${CMAKE_CURRENT_LIST_DIR}/GridBench.cpp)
  target_link_libraries(GridBench PRIVATE forms psapi)
endif()
