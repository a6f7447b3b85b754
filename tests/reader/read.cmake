# Record decoding and date texts: built from their sources, no window needed.
tovik_add_gtest(reader_decode_tests
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/DecodeTest.cpp
          ${TOVIK_SOURCE_DIR}/reader/RecordDecode.cpp
          ${TOVIK_SOURCE_DIR}/reader/DateTexts.cpp
  LIBS runtime)
target_include_directories(reader_decode_tests PRIVATE ${TOVIK_SOURCE_DIR}/reader)
target_compile_options(reader_decode_tests PRIVATE -Wno-restrict)

# Reading through the real window, the real link library and the simulated instrument.
if(TARGET readercore)
  tovik_add_gtest(reader_read_tests
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/ReadArchiveTest.cpp
            ${CMAKE_CURRENT_SOURCE_DIR}/ReadGroupsTest.cpp
    LIBS readercore ws2_32)
  target_include_directories(reader_read_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_compile_options(reader_read_tests PRIVATE -Wno-restrict)
  # The window binds Ravelport.dll from the program's folder.
  if(TARGET Ravelport)
    add_custom_command(TARGET reader_read_tests POST_BUILD
      COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:Ravelport> $<TARGET_FILE_DIR:reader_read_tests>)
    add_dependencies(reader_read_tests Ravelport)
  endif()
endif()
