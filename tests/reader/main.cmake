# The main window in-process, its settings and device descriptions, the version resource.
enable_language(RC)
tovik_add_gtest(MainFormTests
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/MainFormWindowTest.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/MainFormSettingsTest.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/MainFormDevicesTest.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/VersionInfoTest.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/MainFormTest.rc
  LIBS readercore)
target_include_directories(MainFormTests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
# The window binds Ravelport.dll from the program's folder; Tovik.exe is read back as a file.
if(TARGET Ravelport)
  add_custom_command(TARGET MainFormTests POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:Ravelport> $<TARGET_FILE_DIR:MainFormTests>)
endif()
add_dependencies(MainFormTests Tovik)
