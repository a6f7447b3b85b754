# ExportBench: "Сохранить..." of a full list (65 536 records) as text and as the stand-in workbook;
# prints figures. Registered with ctest (label "bench") only when TOVIK_BENCH is set at configure
# time, e.g. TOVIK_BENCH=1 SKIP_SETUP=1 scripts/test -R ExportBench -V
if(TARGET readercore AND TARGET standins)
  add_executable(ExportBench ${CMAKE_CURRENT_SOURCE_DIR}/ExportBench.cpp)
  target_link_libraries(ExportBench PRIVATE readercore standins ole32 oleaut32 uuid)
  if(TARGET Ravelport)
    add_custom_command(TARGET ExportBench POST_BUILD
      COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:Ravelport> $<TARGET_FILE_DIR:ExportBench>)
  endif()
  if(DEFINED ENV{TOVIK_BENCH})
    add_test(NAME ExportBench COMMAND ExportBench)
    set_tests_properties(ExportBench PROPERTIES LABELS bench TIMEOUT 600)
  endif()
endif()
