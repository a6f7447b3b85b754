# The read through the automation server: the real window, the stand-in server, the instrument.
if(TARGET readercore AND TARGET orlentsrv)
  add_executable(reader_server_tests
    ${CMAKE_CURRENT_SOURCE_DIR}/ServerPathTest.cpp ${TOVIK_SOURCE_DIR}/tests/srvlink/main.cpp)
  target_link_libraries(reader_server_tests PRIVATE readercore ws2_32 gtest gmock tovik_watcher_start)
  target_compile_definitions(reader_server_tests PRIVATE
    TOVIK_SOURCE_DIR="${TOVIK_SOURCE_DIR}" TOVIK_BINARY_DIR="${CMAKE_BINARY_DIR}" TOVIK_NATIVE_DIR="${TOVIK_NATIVE_DIR}")
  gtest_discover_tests(reader_server_tests TEST_FILTER "-ServerPathAloneTest.*"
    DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 180 PROPERTIES TIMEOUT 300)
  # The cases in which the shared stand-in server ends itself run alone.
  gtest_discover_tests(reader_server_tests TEST_FILTER "ServerPathAloneTest.*" TEST_PREFIX "Alone."
    DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 180 PROPERTIES TIMEOUT 300 RUN_SERIAL TRUE)
  target_include_directories(reader_server_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}
    ${TOVIK_SOURCE_DIR}/testing/orlentsrv)
  target_compile_options(reader_server_tests PRIVATE -Wno-restrict)
  if(TARGET Ravelport)
    add_custom_command(TARGET reader_server_tests POST_BUILD
      COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:Ravelport> $<TARGET_FILE_DIR:reader_server_tests>)
    add_dependencies(reader_server_tests Ravelport)
  endif()
  add_dependencies(reader_server_tests orlentsrv)
endif()
