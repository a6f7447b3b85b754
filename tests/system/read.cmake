# Tovik.exe itself, started as a program and driven through its window against the instrument.
if(TARGET Tovik AND TARGET Ravelport)
  tovik_add_gtest(read_program_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/ReadProgramTest.cpp
    LIBS ws2_32
    # Wine takes the system code page from the locale: this one gives 1252, as on an English
    # Windows, whatever the locale of the run (C.UTF-8 is built into the C library).
    ENVIRONMENT LC_ALL=C.UTF-8)
  target_compile_definitions(read_program_tests PRIVATE
    TOVIK_EXE="$<TARGET_FILE:Tovik>" RAVELPORT_DLL="$<TARGET_FILE:Ravelport>")
  target_compile_options(read_program_tests PRIVATE -Wno-restrict)
  add_dependencies(read_program_tests Tovik Ravelport)
  # The stand-in automation server's control interface, for the read through the server.
  target_include_directories(read_program_tests PRIVATE ${TOVIK_SOURCE_DIR}/testing/orlentsrv ${TOVIK_SOURCE_DIR}/srvlink)
  target_link_libraries(read_program_tests PRIVATE ole32 oleaut32 uuid)
  if(TARGET orlentsrv)
    add_dependencies(read_program_tests orlentsrv)
  endif()
endif()
