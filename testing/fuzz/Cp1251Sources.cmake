# Copies the sources the native build needs into SRC_OUT as cp1251 bytes: the cross build turns
# narrow literals into cp1251 with -fexec-charset, which clang lacks, but clang keeps the bytes of
# a literal as they stand in the file. Only changed files are rewritten, so builds stay incremental.
# Characters with no cp1251 form can only stand in comments (the cross build refuses them in
# literals), so they are dropped.
# cmake -DSRC_ROOT=<worktree> -DSRC_OUT=<dir> -P Cp1251Sources.cmake
set(DIRS runtime reader link standins tests/reader tests/runtime tests/link testing/fuzz)
foreach(d ${DIRS})
  file(GLOB files RELATIVE ${SRC_ROOT} ${SRC_ROOT}/${d}/*.h ${SRC_ROOT}/${d}/*.cpp)
  foreach(f ${files})
    set(out ${SRC_OUT}/${f})
    get_filename_component(dir ${out} DIRECTORY)
    file(MAKE_DIRECTORY ${dir})
    execute_process(COMMAND iconv -c -f UTF-8 -t CP1251 ${SRC_ROOT}/${f}
                    OUTPUT_FILE ${out}.part RESULT_VARIABLE rc)
    file(COPY_FILE ${out}.part ${out} ONLY_IF_DIFFERENT)
    file(REMOVE ${out}.part)
  endforeach()
endforeach()
