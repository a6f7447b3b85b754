# Saving the list (text file, workbook stand-in, Excel automation) and the parameter-list editor.
# The tests need the recording automation stand-ins (in process and local server).
if(NOT TARGET excelstub)
  include(${CMAKE_SOURCE_DIR}/tests/standins/excelstub.cmake)
endif()

tovik_add_gtest(ExportTests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ExportTest.cpp ${CMAKE_CURRENT_LIST_DIR}/ParamsEditorTest.cpp
  LIBS readercore standins ole32 oleaut32 uuid)
target_include_directories(ExportTests PRIVATE ${CMAKE_CURRENT_LIST_DIR}
                           ${CMAKE_SOURCE_DIR}/tests/standins)
target_compile_definitions(ExportTests PRIVATE EXCELSTUB_DLL="$<TARGET_FILE:excelstub>"
                           EXCELREC_EXE="$<TARGET_FILE:excelrec>")
add_dependencies(ExportTests excelstub excelrec)
if(TARGET Ravelport)
  add_custom_command(TARGET ExportTests POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:Ravelport> $<TARGET_FILE_DIR:ExportTests>)
endif()
