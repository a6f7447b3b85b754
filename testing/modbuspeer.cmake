# An independent Modbus RTU server (Debian's libmodbus) on one end of a socat pty pair whose
# other end is linked as a Wine COM port.
find_path(MODBUS_INCLUDE_DIR modbus.h PATH_SUFFIXES modbus)
find_library(MODBUS_LIBRARY modbus)
if(MODBUS_INCLUDE_DIR AND MODBUS_LIBRARY)
  add_executable(modbuspeer ${CMAKE_CURRENT_SOURCE_DIR}/modbuspeer/ModbusPeer.cpp)
  target_include_directories(modbuspeer PRIVATE ${MODBUS_INCLUDE_DIR})
  target_link_libraries(modbuspeer PRIVATE ${MODBUS_LIBRARY})
else()
  message(WARNING "libmodbus not found: modbuspeer is not built")
endif()
