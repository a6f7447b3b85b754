# Menu, tool bar and control bar drawing of the skin.
tovik_add_gtest(skin_menus_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/MenusDrawTest.cpp
  LIBS skin)
