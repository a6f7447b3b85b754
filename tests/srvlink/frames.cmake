# The settings frames: controls as built, props arrays, the port list from a registry of the
# test's own.
tovik_add_gtest(srvlink_frames_tests SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/PropsFramesTest.cpp
  LIBS srvlink)
