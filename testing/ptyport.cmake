# Pseudo-terminal serial port for tests: its slave becomes dosdevices/comN of the Wine prefix,
# the Windows test drives its master side through a loopback socket (see ptyport/ptyport.cpp).
# Of Wine's word size like the modem-line shim, which it inherits through LD_PRELOAD when Wine starts it.
add_executable(ptyport ${CMAKE_CURRENT_SOURCE_DIR}/ptyport/ptyport.cpp)
target_include_directories(ptyport PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/modemshim)
target_compile_options(ptyport PRIVATE ${WINE_SIDE_FLAGS})
target_link_options(ptyport PRIVATE ${WINE_SIDE_FLAGS})
