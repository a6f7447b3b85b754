# tovik_add_gtest(<target> [OWN_MAIN] SOURCES <files...> [LIBS <libs...>] [LOCK <resource>]
#                 [ENVIRONMENT <VAR=value...>])
# One GoogleTest program run under Wine; each case becomes a ctest test. LOCK: a shared thing
# (such as the mouse pointer) that no two tests of the lock use at once. The programs of the
# pointer lock also run on a display and a Wine desktop of their own (cmake/wine-run,
# scripts/prefix-setup), listed in <build>/pointer-programs.txt: the rest of the suite neither
# moves their pointer nor lies under it.
include(GoogleTest)

# Every test program links this: the main thread's GoogleTest watcher thread is running before the
# first case (see the source).
add_library(tovik_watcher_start OBJECT ${CMAKE_SOURCE_DIR}/testing/win/WatcherStart.cpp)
target_link_libraries(tovik_watcher_start PRIVATE gtest)

function(tovik_add_gtest target)
  cmake_parse_arguments(T "OWN_MAIN" "LOCK" "SOURCES;LIBS;ENVIRONMENT" ${ARGN})
  add_executable(${target} ${T_SOURCES})
  target_link_libraries(${target} PRIVATE ${T_LIBS} gtest gmock tovik_watcher_start)
  target_compile_definitions(${target} PRIVATE
    TOVIK_SOURCE_DIR="${TOVIK_SOURCE_DIR}"
    TOVIK_BINARY_DIR="${CMAKE_BINARY_DIR}"
    TOVIK_NATIVE_DIR="${TOVIK_NATIVE_DIR}")
  if(NOT T_OWN_MAIN)
    target_link_libraries(${target} PRIVATE gtest_main)
  endif()
  set(props TIMEOUT 300)
  if(T_LOCK)
    list(APPEND props RESOURCE_LOCK ${T_LOCK})
  endif()
  if(T_LOCK STREQUAL "pointer")
    list(APPEND T_ENVIRONMENT TOVIK_OWN_POINTER=1)
    set_property(GLOBAL APPEND PROPERTY TOVIK_POINTER_PROGRAMS ${target}${CMAKE_EXECUTABLE_SUFFIX})
  endif()
  if(T_ENVIRONMENT)
    list(APPEND props ENVIRONMENT "${T_ENVIRONMENT}")
  endif()
  gtest_discover_tests(${target}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 180
    PROPERTIES ${props})
endfunction()

# Called once every folder is in: the list that scripts/prefix-setup gives a desktop of their own.
function(tovik_write_pointer_programs)
  get_property(programs GLOBAL PROPERTY TOVIK_POINTER_PROGRAMS)
  list(JOIN programs "\n" text)
  file(WRITE ${CMAKE_BINARY_DIR}/pointer-programs.txt "${text}\n")
endfunction()
