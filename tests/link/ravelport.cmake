# Ravelport.dll through its exports (loaded and bound by name, as the program does), the link
# object's frames without a port, and the serial port's settings storage.
tovik_add_gtest(ravelport_tests SOURCES
  ${CMAKE_CURRENT_SOURCE_DIR}/RavelportTest.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/RavelportExportsTest.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/RavelportRequestsTest.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/RavelportLineTest.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/RavelportPeerTest.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/RavelportFramesTest.cpp
  LIBS linkcore ws2_32)
target_include_directories(ravelport_tests PRIVATE ${TOVIK_SOURCE_DIR}/testing/win)
target_compile_definitions(ravelport_tests PRIVATE RAVELPORT_DLL="$<TARGET_FILE:Ravelport>")
add_dependencies(ravelport_tests Ravelport)

tovik_add_gtest(serialstorage_tests SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/SerialStorageTest.cpp
  LIBS linkcore)
