# tovik_def(<var> <def file>): the .def file to link with. The 32-bit build maps undecorated
# export names to their stdcall symbols (Name=Name@N); a 64-bit build (tests on machines that run
# no 32-bit code) has no decorations, so it gets a copy without the mapping.
function(tovik_def var def)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    file(READ ${def} text)
    string(REGEX REPLACE "=[A-Za-z_]+@[0-9]+" "" text "${text}")
    get_filename_component(name ${def} NAME_WE)
    set(def ${CMAKE_CURRENT_BINARY_DIR}/${name}64.def)
    file(WRITE ${def} "${text}")
  endif()
  set(${var} ${def} PARENT_SCOPE)
endfunction()
