# Tests that need the local stand-in of the music service. Include from any tests/<area>/CMakeLists.txt:
#
#   include(${PROJECT_SOURCE_DIR}/tools/standin/standin.cmake)
#
#   halvery_standin_test(<name> ADDRESS <127.0.0.x> SOURCES ... [LIBS ...] [LABELS ...] [TIMEOUT s]
#                        [WORKING_DIRECTORY dir] [STANDIN_ARGS ...])
#     A doctest program (as halvery_test) run under Wine while the stand-in listens on ADDRESS:80.
#     Config.ini next to the program points the service hosts at ADDRESS. Give each test its own
#     address so tests run in parallel; programs sharing a folder share its Config.ini, so tests in one
#     folder that run at the same time must use the same address or different folders.
#
#   halvery_standin_command(<name> ADDRESS <127.0.0.x> [CONFIG_DIR dir] [LABELS ...] [TIMEOUT s]
#                           [WORKING_DIRECTORY dir] [STANDIN_ARGS ...] COMMAND ...)
#     Any command (prefix Windows programs with ${CMAKE_CROSSCOMPILING_EMULATOR} yourself).
#
# Inside the command STANDIN_ADDR, STANDIN_HOST and STANDIN_URL ("http://<addr>/") are set; the
# request log is standin-<addr>.log in the working folder.
include_guard(GLOBAL)

# For callers that want the helper itself. The functions below find it on their own, so they also
# work in folders that did not include this file first (include_guard skips the set there).
set(HALVERY_WITH_STANDIN ${CMAKE_CURRENT_LIST_DIR}/with_standin.sh)

function(halvery_standin_command name)
  cmake_parse_arguments(T "" "ADDRESS;CONFIG_DIR;TIMEOUT;WORKING_DIRECTORY" "LABELS;STANDIN_ARGS;COMMAND" ${ARGN})
  if(NOT T_ADDRESS OR NOT T_COMMAND)
    message(FATAL_ERROR "halvery_standin_command(${name}): ADDRESS and COMMAND are required")
  endif()
  set(cfg)
  if(T_CONFIG_DIR)
    set(cfg --config-dir ${T_CONFIG_DIR})
  endif()
  if(NOT T_WORKING_DIRECTORY)
    set(T_WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  add_test(NAME ${name}
           COMMAND ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/with_standin.sh ${T_ADDRESS} ${cfg} ${T_STANDIN_ARGS} -- ${T_COMMAND}
           WORKING_DIRECTORY ${T_WORKING_DIRECTORY})
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS "standin;${T_LABELS}")
endfunction()

function(halvery_standin_test name)
  cmake_parse_arguments(T "" "ADDRESS;TIMEOUT;WORKING_DIRECTORY" "SOURCES;LIBS;LABELS;STANDIN_ARGS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE halvery_doctest_main ${T_LIBS})
  set(extra)
  foreach(k TIMEOUT WORKING_DIRECTORY)
    if(T_${k})
      list(APPEND extra ${k} ${T_${k}})
    endif()
  endforeach()
  halvery_standin_command(${name} ADDRESS ${T_ADDRESS} CONFIG_DIR $<TARGET_FILE_DIR:${name}>
                          LABELS ${T_LABELS} STANDIN_ARGS ${T_STANDIN_ARGS} ${extra}
                          COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:${name}>)
endfunction()
