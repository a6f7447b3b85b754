# Virtual modem lines for pseudo-terminals: a 32-bit shared library preloaded into Wine.
add_library(modemshim SHARED ${CMAKE_CURRENT_SOURCE_DIR}/modemshim/modemshim.c)
target_compile_options(modemshim PRIVATE -m32 -O2)
target_link_options(modemshim PRIVATE -m32)
target_link_libraries(modemshim PRIVATE dl)
set_target_properties(modemshim PROPERTIES PREFIX "lib" OUTPUT_NAME "modemshim")
