# The stand-in automation object that tests register as "Excel.Application" to record calls.
add_library(excelstub SHARED ${CMAKE_CURRENT_LIST_DIR}/excelstub/ExcelStub.cpp
                             ${CMAKE_CURRENT_LIST_DIR}/excelstub/excelstub.def)
set_target_properties(excelstub PROPERTIES PREFIX "" OUTPUT_NAME excelstub)
target_link_libraries(excelstub PRIVATE ole32 oleaut32 uuid)
