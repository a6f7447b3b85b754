# Ravelport.dll: exports with undecorated names and fixed ordinals from the .def file only.
tovik_def(RAVELPORT_DEF ${CMAKE_CURRENT_SOURCE_DIR}/Ravelport.def)
add_library(Ravelport SHARED ${CMAKE_CURRENT_SOURCE_DIR}/Ravelport.cpp ${RAVELPORT_DEF})
target_link_libraries(Ravelport PRIVATE linkcore)
set_target_properties(Ravelport PROPERTIES PREFIX "" OUTPUT_NAME Ravelport)
