# Ravelport.dll: exports with undecorated names and fixed ordinals from the .def file only.
add_library(Ravelport SHARED ${CMAKE_CURRENT_SOURCE_DIR}/Ravelport.cpp
                             ${CMAKE_CURRENT_SOURCE_DIR}/Ravelport.def)
target_link_libraries(Ravelport PRIVATE linkcore)
set_target_properties(Ravelport PROPERTIES PREFIX "" OUTPUT_NAME Ravelport)
