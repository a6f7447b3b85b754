# Virtual modem lines for pseudo-terminals: a shared library preloaded into Wine, of Wine's word
# size (32-bit unless TOVIK_WIN_BITS is 64).
add_library(modemshim SHARED ${CMAKE_CURRENT_SOURCE_DIR}/modemshim/modemshim.c)
target_compile_options(modemshim PRIVATE ${WINE_SIDE_FLAGS} -O2)
target_link_options(modemshim PRIVATE ${WINE_SIDE_FLAGS})
target_link_libraries(modemshim PRIVATE dl)
set_target_properties(modemshim PROPERTIES PREFIX "lib" OUTPUT_NAME "modemshim")

# The preload names shim/$LIB/libmodemshim.so, which the loader expands by the word size of each
# process: Wine's programs get the shim, processes of the other word size an empty library, so
# that no process complains about a preload of the wrong class.
set(SHIM_DIR ${CMAKE_BINARY_DIR}/shim/lib)
if(TOVIK_WIN_BITS EQUAL 64)
  set(SHIM_REAL x86_64-linux-gnu)
  set(SHIM_EMPTY i386-linux-gnu)
  set(SHIM_EMPTY_FLAGS -m32)
else()
  set(SHIM_REAL i386-linux-gnu)
  set(SHIM_EMPTY x86_64-linux-gnu)
  set(SHIM_EMPTY_FLAGS "")
endif()
file(WRITE ${CMAKE_BINARY_DIR}/modemshim-empty.c "/* nothing: the other word size's side of the preload */\n")
add_library(modemshim_empty SHARED ${CMAKE_BINARY_DIR}/modemshim-empty.c)
target_compile_options(modemshim_empty PRIVATE ${SHIM_EMPTY_FLAGS})
target_link_options(modemshim_empty PRIVATE ${SHIM_EMPTY_FLAGS})
set_target_properties(modemshim_empty PROPERTIES
  LIBRARY_OUTPUT_DIRECTORY ${SHIM_DIR}/${SHIM_EMPTY} PREFIX "lib" OUTPUT_NAME "modemshim")
add_custom_command(TARGET modemshim POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E make_directory ${SHIM_DIR}/${SHIM_REAL}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:modemshim> ${SHIM_DIR}/${SHIM_REAL}/libmodemshim.so)
