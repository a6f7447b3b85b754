# The serial port component, its settings objects, events and thread hand-over.
tovik_add_gtest(SerialPortTests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/SerialSettingsTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/SerialPortTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/SerialEventsTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/SerialThreadTest.cpp
  LIBS linkcore ws2_32)
target_include_directories(SerialPortTests PRIVATE ${TOVIK_SOURCE_DIR}/testing/win)
