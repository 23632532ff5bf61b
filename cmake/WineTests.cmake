# Windows tests on the Wine test desktop.
#
#   tintora_add_windows_test(NAME <name> COMMAND <target-or-exe> [args...]
#                            [TIMEOUT <s>] [ENVIRONMENT <VAR=value>...]
#                            [WORKING_DIRECTORY <dir>] [LABELS <label>...] [NO_DESKTOP_LOCK])
#     runs a Windows program under Wine (natively on a Windows host).
#
#   tintora_add_desktop_script_test(NAME <name> COMMAND <script> [args...]
#                                   [TIMEOUT <s>] [ENVIRONMENT ...] [WORKING_DIRECTORY <dir>]
#                                   [LABELS ...] [NO_DESKTOP_LOCK])
#     runs a host-side script (.py with python3, .sh with bash, else as is) with the session's
#     environment exported: DISPLAY, WINEPREFIX, WINE, WINESERVER, TINTORA_SCREENSHOT,
#     TINTORA_WINE_SESSION, TINTORA_BUILD_DIR, TINTORA_SOURCE_DIR, and TINTORA_EXE /
#     TINTORA_NAME_EXE when those targets exist (see scripts/wine-desktop.sh).
#
# Arguments may use generator expressions ($<TARGET_FILE:tintora>). All tests share one
# session (Xvfb + persistent wineserver), started and stopped by the CTest fixture
# "tintora_wine_desktop". By default they hold the resource lock "tintora_wine_desktop":
# they see one screen, pointer and registry, so they run one at a time; NO_DESKTOP_LOCK lets
# a test that touches none of them run alongside others.
include_guard(GLOBAL)

# Everything below is computed from global facts, not from variables of the
# including directory, so the functions work from any directory.
function(_tintora_wine_settings)
  get_filename_component(scripts "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/../scripts" ABSOLUTE)
  set(TINTORA_SCRIPTS_DIR "${scripts}" PARENT_SCOPE)
  set(TINTORA_WINE_RUNNER "${scripts}/wine-run.sh" PARENT_SCOPE)
  # Tests need Wine when the programs are Windows ones built elsewhere.
  if(WIN32 AND NOT CMAKE_HOST_WIN32)
    set(TINTORA_WINE_TESTS ON PARENT_SCOPE)
  else()
    set(TINTORA_WINE_TESTS OFF PARENT_SCOPE)
  endif()
  set(TINTORA_WINE_ENV
    "TINTORA_BUILD_DIR=${CMAKE_BINARY_DIR}"
    "TINTORA_WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix"
    "TINTORA_WINE_SESSION=${CMAKE_BINARY_DIR}/wineprefix-session/session.env"
    PARENT_SCOPE)
endfunction()

_tintora_wine_settings()
if(TINTORA_WINE_TESTS)
  add_test(NAME tintora_wine_desktop_start
    COMMAND /bin/bash "${TINTORA_SCRIPTS_DIR}/wine-desktop.sh" start)
  add_test(NAME tintora_wine_desktop_stop
    COMMAND /bin/bash "${TINTORA_SCRIPTS_DIR}/wine-desktop.sh" stop)
  set_tests_properties(tintora_wine_desktop_start PROPERTIES
    FIXTURES_SETUP tintora_wine_desktop ENVIRONMENT "${TINTORA_WINE_ENV}" TIMEOUT 300 LABELS windows)
  set_tests_properties(tintora_wine_desktop_stop PROPERTIES
    FIXTURES_CLEANUP tintora_wine_desktop ENVIRONMENT "${TINTORA_WINE_ENV}" TIMEOUT 300 LABELS windows)
endif()

function(_tintora_wine_test_properties name)
  cmake_parse_arguments(P "NO_DESKTOP_LOCK" "TIMEOUT" "ENVIRONMENT;LABELS" ${ARGN})
  if(NOT P_TIMEOUT)
    set(P_TIMEOUT 300)
  endif()
  _tintora_wine_settings()
  set(env ${TINTORA_WINE_ENV} ${P_ENVIRONMENT})
  if(TARGET tintora)
    list(APPEND env "TINTORA_EXE=$<TARGET_FILE:tintora>")
  endif()
  foreach(t tintora-name tintora_name)
    if(TARGET ${t})
      list(APPEND env "TINTORA_NAME_EXE=$<TARGET_FILE:${t}>")
      break()
    endif()
  endforeach()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${P_TIMEOUT} ENVIRONMENT "${env}")
  if(P_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${P_LABELS}")
  endif()
  if(TINTORA_WINE_TESTS)
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED tintora_wine_desktop)
    if(NOT P_NO_DESKTOP_LOCK)
      set_tests_properties(${name} PROPERTIES RESOURCE_LOCK tintora_wine_desktop)
    endif()
  endif()
endfunction()

# Registers one test of either kind; the caller's parsed T_ arguments are in scope.
macro(_tintora_register_test kind_label)
  if(T_WORKING_DIRECTORY)
    add_test(NAME ${T_NAME} COMMAND ${cmd} WORKING_DIRECTORY "${T_WORKING_DIRECTORY}")
  else()
    add_test(NAME ${T_NAME} COMMAND ${cmd})
  endif()
  set(extra)
  if(T_NO_DESKTOP_LOCK)
    list(APPEND extra NO_DESKTOP_LOCK)
  endif()
  _tintora_wine_test_properties(${T_NAME} TIMEOUT "${T_TIMEOUT}" ENVIRONMENT ${T_ENVIRONMENT}
    LABELS ${kind_label} ${T_LABELS} ${extra})
endmacro()

function(tintora_add_windows_test)
  cmake_parse_arguments(T "NO_DESKTOP_LOCK" "NAME;TIMEOUT;WORKING_DIRECTORY" "COMMAND;ENVIRONMENT;LABELS" ${ARGN})
  if(NOT T_NAME OR NOT T_COMMAND)
    message(FATAL_ERROR "tintora_add_windows_test: NAME and COMMAND are required")
  endif()
  if(NOT WIN32)
    return() # Windows programs exist only in a Windows (cross) build.
  endif()
  _tintora_wine_settings()
  list(POP_FRONT T_COMMAND program)
  if(TARGET ${program})
    set(program "$<TARGET_FILE:${program}>")
  endif()
  if(TINTORA_WINE_TESTS)
    set(cmd /bin/bash "${TINTORA_WINE_RUNNER}" -- "${program}" ${T_COMMAND})
  else()
    set(cmd "${program}" ${T_COMMAND})
  endif()
  _tintora_register_test(windows)
endfunction()

function(tintora_add_desktop_script_test)
  cmake_parse_arguments(T "NO_DESKTOP_LOCK" "NAME;TIMEOUT;WORKING_DIRECTORY" "COMMAND;ENVIRONMENT;LABELS" ${ARGN})
  if(NOT T_NAME OR NOT T_COMMAND)
    message(FATAL_ERROR "tintora_add_desktop_script_test: NAME and COMMAND are required")
  endif()
  _tintora_wine_settings()
  if(NOT TINTORA_WINE_TESTS)
    return() # Host-side scripts drive the Wine desktop of a cross build only.
  endif()
  list(POP_FRONT T_COMMAND script)
  if(script MATCHES "\\.py$")
    set(interp python3)
  elseif(script MATCHES "\\.sh$")
    set(interp /bin/bash)
  else()
    set(interp)
  endif()
  set(cmd /bin/bash "${TINTORA_WINE_RUNNER}" --host -- ${interp} "${script}" ${T_COMMAND})
  _tintora_register_test(desktop)
endfunction()
