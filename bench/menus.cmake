# Menu benchmark: the time to draw one popup item and one tool button with the skin.
# Registered with ctest (label "bench") only when TOVIK_BENCH is set (scripts/bench).
if(TARGET skin)
  add_executable(MenusBench ${CMAKE_CURRENT_LIST_DIR}/MenusBench.cpp)
  target_link_libraries(MenusBench PRIVATE skin)
  if(DEFINED ENV{TOVIK_BENCH})
    add_test(NAME MenusBench COMMAND MenusBench)
    set_tests_properties(MenusBench PROPERTIES LABELS bench TIMEOUT 900)
  endif()
endif()
