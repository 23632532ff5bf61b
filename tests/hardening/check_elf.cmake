# Checks the exploit mitigations of one built Linux program, by reading it
# with readelf (and objdump for the branch targets).
#
#   cmake -DREADELF=<readelf> -DOBJDUMP=<objdump> -DPROGRAM=<file> -DFORTIFY=0|1
#         -DCF_PROTECTION=ON|OFF -P check_elf.cmake
#
# Always: a position-independent executable (type DYN, FLAGS_1 PIE), full
# RELRO (a GNU_RELRO segment and BIND_NOW), a stack that is not executable,
# and stack protection (__stack_chk_fail imported). FORTIFY=1: fortified
# routines (__*_chk) imported. CF_PROTECTION=ON: main begins with endbr64.
foreach(var READELF OBJDUMP PROGRAM FORTIFY CF_PROTECTION)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "check_elf.cmake: ${var} is not set")
  endif()
endforeach()
if(NOT EXISTS "${PROGRAM}")
  message(FATAL_ERROR "check_elf.cmake: ${PROGRAM} does not exist")
endif()
get_filename_component(name "${PROGRAM}" NAME)

execute_process(COMMAND "${READELF}" -W --file-header --program-headers --dynamic --dyn-syms "${PROGRAM}"
  OUTPUT_VARIABLE dump ERROR_VARIABLE errors RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "check_elf.cmake: ${READELF} failed (${status}): ${errors}")
endif()

set(problems "")
if(NOT dump MATCHES "Type:[ \t]+DYN" OR NOT dump MATCHES "\\(FLAGS_1\\)[^\n]*PIE")
  list(APPEND problems "not a position-independent executable")
endif()
if(NOT dump MATCHES "\n[ \t]*GNU_RELRO[ \t]")
  list(APPEND problems "no GNU_RELRO segment")
endif()
if(NOT dump MATCHES "\\(FLAGS\\)[^\n]*BIND_NOW" AND NOT dump MATCHES "\\(FLAGS_1\\)[^\n]*NOW")
  list(APPEND problems "no BIND_NOW (symbols are bound lazily, the GOT stays writable)")
endif()
if(NOT dump MATCHES "\n[ \t]*GNU_STACK[^\n]* RW ")
  list(APPEND problems "the stack is executable (or there is no GNU_STACK header)")
endif()
if(NOT dump MATCHES "UND __stack_chk_fail")
  list(APPEND problems "no stack protection (__stack_chk_fail is not imported)")
endif()
string(REGEX MATCHALL "UND __[a-z0-9_]+_chk(@[A-Z0-9_.]+)?" fortified "${dump}")
list(FILTER fortified EXCLUDE REGEX "__stack_chk")
list(TRANSFORM fortified REPLACE "^UND |@.*$" "")
list(REMOVE_DUPLICATES fortified)
if(FORTIFY AND NOT fortified)
  list(APPEND problems "no fortified routines imported (built without _FORTIFY_SOURCE?)")
endif()

set(cf_text "")
if(CF_PROTECTION)
  execute_process(COMMAND "${OBJDUMP}" -d --disassemble=main "${PROGRAM}"
    OUTPUT_VARIABLE main_code RESULT_VARIABLE status)
  if(NOT status EQUAL 0 OR NOT main_code MATCHES "<main>:\n[^\n]*endbr64")
    list(APPEND problems "main does not begin with endbr64 (no -fcf-protection)")
  endif()
  set(cf_text ", endbr64 branch targets")
endif()

if(problems)
  string(REPLACE ";" "; " text "${problems}")
  message(FATAL_ERROR "${name} is not hardened: ${text}")
endif()
if(fortified)
  string(REPLACE ";" " " fortified_text "${fortified}")
  set(fortify_text ", fortified: ${fortified_text}")
else()
  set(fortify_text ", not fortified (unoptimised or sanitizer build)")
endif()
message(STATUS "${name}: PIE, full RELRO, non-executable stack, stack protector${cf_text}${fortify_text}")
