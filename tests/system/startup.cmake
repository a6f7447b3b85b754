# Whole start-ups of Tovik.exe, driven from another process.
tovik_def(NORETRIES_DEF ${CMAKE_CURRENT_SOURCE_DIR}/StartupNoRetriesLink.def)
add_library(StartupNoRetriesLink SHARED ${CMAKE_CURRENT_SOURCE_DIR}/StartupNoRetriesLink.cpp ${NORETRIES_DEF})
set_target_properties(StartupNoRetriesLink PROPERTIES PREFIX "" OUTPUT_NAME Ravelport
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/noretries)

tovik_add_gtest(StartupTests SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/StartupTest.cpp LIBS gdi32 user32)
target_include_directories(StartupTests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
add_dependencies(StartupTests Tovik StartupNoRetriesLink)
if(TARGET Ravelport)
  add_dependencies(StartupTests Ravelport)
endif()
