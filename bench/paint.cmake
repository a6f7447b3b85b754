# PaintBench: repaints of the main window with the flat skin off and on, and each painter's time
# per control; prints figures. Registered with ctest (label "bench") only when TOVIK_BENCH is set.
if(TARGET readercore AND TARGET skin)
  add_executable(PaintBench ${CMAKE_CURRENT_LIST_DIR}/PaintBench.cpp)
  target_include_directories(PaintBench PRIVATE ${TOVIK_SOURCE_DIR}/tests/forms)
  target_link_libraries(PaintBench PRIVATE readercore skin)
  if(DEFINED ENV{TOVIK_BENCH})
    add_test(NAME PaintBench COMMAND PaintBench)
    set_tests_properties(PaintBench PROPERTIES LABELS bench TIMEOUT 900)
  endif()
endif()
