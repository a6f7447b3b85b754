# The stand-in automation object that tests register as "Excel.Application" to record calls.
tovik_def(EXCELSTUB_DEF ${CMAKE_CURRENT_LIST_DIR}/excelstub/excelstub.def)
add_library(excelstub SHARED ${CMAKE_CURRENT_LIST_DIR}/excelstub/ExcelStub.cpp ${EXCELSTUB_DEF})
set_target_properties(excelstub PROPERTIES PREFIX "" OUTPUT_NAME excelstub)
target_link_libraries(excelstub PRIVATE ole32 oleaut32 uuid)
