# The read through the automation server: the real window, the stand-in server, the instrument.
if(TARGET readercore AND TARGET orlentsrv)
  tovik_add_gtest(reader_server_tests OWN_MAIN
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/ServerPathTest.cpp ${TOVIK_SOURCE_DIR}/tests/srvlink/main.cpp
    LIBS readercore ws2_32)
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
