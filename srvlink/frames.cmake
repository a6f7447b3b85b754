# The settings frames of the server link components and the routines they share.
target_sources(srvlink PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/OrlentBasePropsFrame.cpp
  ${CMAKE_CURRENT_LIST_DIR}/OrlentModbusPropsFrame.cpp
  ${CMAKE_CURRENT_LIST_DIR}/OrlentRSPropsFrame.cpp
  ${CMAKE_CURRENT_LIST_DIR}/OrlentFrameProps.cpp
  ${CMAKE_CURRENT_LIST_DIR}/OrlentControlUtils.cpp)
