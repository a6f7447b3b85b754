# The workbook stand-in, whole-file writing and the automation caller.
tovik_add_gtest(standins_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/XlsBookTest.cpp ${CMAKE_CURRENT_LIST_DIR}/SafeFileTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/OleAutoTest.cpp
  LIBS standins runtime ole32 oleaut32 uuid)
target_compile_definitions(standins_test PRIVATE EXCELSTUB_DLL="$<TARGET_FILE:excelstub>")
add_dependencies(standins_test excelstub)
