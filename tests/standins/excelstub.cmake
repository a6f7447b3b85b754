# The recording stand-in that tests register as "Excel.Application": the in-process library, and
# the local server (testing/excelrec) that answers from another process as Excel itself does.
tovik_def(EXCELSTUB_DEF ${CMAKE_CURRENT_LIST_DIR}/excelstub/excelstub.def)
add_library(excelstub SHARED ${CMAKE_CURRENT_LIST_DIR}/excelstub/ExcelStub.cpp
            ${TOVIK_SOURCE_DIR}/testing/excelrec/Recorder.cpp ${EXCELSTUB_DEF})
set_target_properties(excelstub PROPERTIES PREFIX "" OUTPUT_NAME excelstub)
target_include_directories(excelstub PRIVATE ${TOVIK_SOURCE_DIR}/testing/excelrec)
target_link_libraries(excelstub PRIVATE ole32 oleaut32 uuid)
# GCC 12 sees overlaps that are not there in "text" + std::string temporaries.
target_compile_options(excelstub PRIVATE -Wno-restrict)
add_subdirectory(${TOVIK_SOURCE_DIR}/testing/excelrec ${CMAKE_BINARY_DIR}/testing/excelrec)
