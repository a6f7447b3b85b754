# Virtual modem lines for pseudo-terminals: a 32-bit shared library preloaded into Wine.
add_library(modemshim SHARED ${CMAKE_CURRENT_SOURCE_DIR}/modemshim/modemshim.c)
target_compile_options(modemshim PRIVATE -m32 -O2)
target_link_options(modemshim PRIVATE -m32)
target_link_libraries(modemshim PRIVATE dl)
set_target_properties(modemshim PROPERTIES PREFIX "lib" OUTPUT_NAME "modemshim")

# The preload names shim/$LIB/libmodemshim.so, which the loader expands by the word size of each
# process: 32-bit Wine gets the shim, 64-bit helpers (and the native tools they start) an empty
# library, so that no process complains about a preload of the wrong class.
set(SHIM_DIR ${CMAKE_BINARY_DIR}/shim/lib)
file(WRITE ${CMAKE_BINARY_DIR}/modemshim-empty.c "/* nothing: the 64-bit side of the preload */\n")
add_library(modemshim64 SHARED ${CMAKE_BINARY_DIR}/modemshim-empty.c)
set_target_properties(modemshim64 PROPERTIES
  LIBRARY_OUTPUT_DIRECTORY ${SHIM_DIR}/x86_64-linux-gnu PREFIX "lib" OUTPUT_NAME "modemshim")
add_custom_command(TARGET modemshim POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E make_directory ${SHIM_DIR}/i386-linux-gnu
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:modemshim> ${SHIM_DIR}/i386-linux-gnu/libmodemshim.so)
