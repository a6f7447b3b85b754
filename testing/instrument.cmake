# The simulated instrument (see instrument/README.md).
add_executable(instrument
  ${CMAKE_CURRENT_LIST_DIR}/instrument/main.cpp
  ${CMAKE_CURRENT_LIST_DIR}/instrument/Instrument.cpp
  ${CMAKE_CURRENT_LIST_DIR}/instrument/Device.cpp
  ${CMAKE_CURRENT_LIST_DIR}/instrument/Faults.cpp)
# Its generated journal texts are cp1251, like the device files.
target_compile_options(instrument PRIVATE -finput-charset=UTF-8 -fexec-charset=CP1251)
