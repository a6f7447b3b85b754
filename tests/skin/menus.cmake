# Menu, tool bar and control bar drawing of the skin.
tovik_add_gtest(skin_menus_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/MenusDrawTest.cpp ${CMAKE_CURRENT_LIST_DIR}/ParkedPointer.cpp
  LIBS skin LOCK pointer)

# The menu test form leaves pictures of itself; run by scripts/screenshot-menus (TOVIK_PICTURES).
add_executable(MenuTestForm ${CMAKE_CURRENT_LIST_DIR}/MenuTestForm.cpp)
target_link_libraries(MenuTestForm PRIVATE skin)
set_target_properties(MenuTestForm PROPERTIES WIN32_EXECUTABLE OFF)
if(DEFINED ENV{TOVIK_PICTURES})
  add_test(NAME MenuTestForm COMMAND MenuTestForm ${CMAKE_BINARY_DIR}/screenshots)
  set_tests_properties(MenuTestForm PROPERTIES LABELS pictures TIMEOUT 120)
endif()
