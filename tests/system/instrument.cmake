# The simulated instrument, driven from the Windows side through TestInstrument.h.
tovik_add_gtest(instrument_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/InstrumentTest.cpp
  LIBS ws2_32)
