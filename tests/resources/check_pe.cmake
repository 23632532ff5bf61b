# Checks one built Windows program from the host, by reading `objdump -p`.
#
#   cmake -DOBJDUMP=<objdump> -DPROGRAM=<file.exe> -DCHECK=imports|hardening
#         [-DREQUIRE_GUARD_CF=ON -DREADOBJ=<llvm-readobj>] -P check_pe.cmake
#
# imports:   every imported DLL ships with Windows (no compiler runtime DLLs
#            that would have to be installed beside the program).
# hardening: ASLR with high entropy (relocations kept, image base above
#            4 GiB), DEP, stack protection (the canary's failure routine and
#            its message are in the image); control-flow guard when
#            REQUIRE_GUARD_CF is on (the build enabled it): the flag, and a
#            load configuration whose guard function table is not empty and
#            whose flags say the code is instrumented. Otherwise only reported.
foreach(var OBJDUMP PROGRAM CHECK)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "check_pe.cmake: ${var} is not set")
  endif()
endforeach()
if(NOT EXISTS "${PROGRAM}")
  message(FATAL_ERROR "check_pe.cmake: ${PROGRAM} does not exist")
endif()

execute_process(COMMAND "${OBJDUMP}" -p "${PROGRAM}"
  OUTPUT_VARIABLE dump ERROR_VARIABLE errors RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "check_pe.cmake: ${OBJDUMP} -p failed (${status}): ${errors}")
endif()
get_filename_component(name "${PROGRAM}" NAME)

if(CHECK STREQUAL "imports")
  # DLLs that are part of every supported Windows installation.
  set(system_dll_pattern
    "^(kernel32|user32|gdi32|advapi32|shell32|shcore|comctl32|comdlg32|ole32|oleaut32|shlwapi|uxtheme|dwmapi|imm32|winmm|version|bcrypt|ntdll|msvcrt|ucrtbase|api-ms-win-crt-[a-z0-9-]+|api-ms-win-core-[a-z0-9-]+)\\.dll$")
  string(REGEX MATCHALL "DLL Name: [^\r\n]+" lines "${dump}")
  if(NOT lines)
    message(FATAL_ERROR "${name}: no import table found in the objdump output")
  endif()
  set(foreign "")
  set(all "")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^DLL Name: *" "" dll "${line}")
    string(STRIP "${dll}" dll)
    string(TOLOWER "${dll}" lower)
    list(APPEND all "${dll}")
    if(NOT lower MATCHES "${system_dll_pattern}")
      list(APPEND foreign "${dll}")
    endif()
  endforeach()
  string(REPLACE ";" ", " all_text "${all}")
  if(foreign)
    string(REPLACE ";" ", " foreign_text "${foreign}")
    message(FATAL_ERROR "${name} imports DLLs that do not ship with Windows: ${foreign_text}\n"
                        "(link the compiler runtime statically). All imports: ${all_text}")
  endif()
  message(STATUS "${name} imports only system DLLs: ${all_text}")

elseif(CHECK STREQUAL "hardening")
  set(problems "")
  if(NOT dump MATCHES "Magic[ \t]+020b")
    list(APPEND problems "not a 64-bit (PE32+) image")
  endif()
  if(NOT dump MATCHES "DllCharacteristics[ \t]+([0-9a-fA-F]+)")
    message(FATAL_ERROR "${name}: no DllCharacteristics in the objdump output")
  endif()
  set(flags_hex "${CMAKE_MATCH_1}")
  math(EXPR flags "0x${flags_hex}")
  foreach(pair "32;HIGH_ENTROPY_VA" "64;DYNAMIC_BASE" "256;NX_COMPAT")
    list(GET pair 0 bit)
    list(GET pair 1 flag)
    math(EXPR set "${flags} & ${bit}")
    if(set EQUAL 0)
      list(APPEND problems "${flag} is not set")
    endif()
  endforeach()
  math(EXPR guard "${flags} & 16384")
  if(REQUIRE_GUARD_CF AND guard EQUAL 0)
    list(APPEND problems "GUARD_CF is not set although the build enables control-flow guard")
  endif()

  # Stack protection: libssp's failure routine is linked in; its message is
  # the mark it leaves in the image.
  file(STRINGS "${PROGRAM}" ssp_message REGEX "stack smashing detected" LIMIT_COUNT 1)
  if(NOT ssp_message)
    list(APPEND problems "no stack protection (the canary failure routine is not in the image)")
  endif()

  set(table_text "")
  if(REQUIRE_GUARD_CF)
    if(NOT READOBJ)
      list(APPEND problems "control-flow guard required but no llvm-readobj to read the load configuration")
    else()
      execute_process(COMMAND "${READOBJ}" --coff-load-config "${PROGRAM}"
        OUTPUT_VARIABLE load_config RESULT_VARIABLE status)
      if(NOT status EQUAL 0 OR NOT load_config MATCHES "GuardCFFunctionCount: ([0-9]+)")
        list(APPEND problems "no load configuration with a guard function table")
      else()
        set(count "${CMAKE_MATCH_1}")
        if(count EQUAL 0)
          list(APPEND problems "the guard function table is empty")
        endif()
        if(NOT load_config MATCHES "CF_INSTRUMENTED")
          list(APPEND problems "the guard flags do not say the code is instrumented")
        endif()
        if(load_config MATCHES "GuardCFCheckDispatch: 0x0\n")
          list(APPEND problems "no guard dispatch routine pointer")
        endif()
        set(table_text ", guard function table of ${count} targets")
      endif()
    endif()
  endif()

  # Without base relocations the loader cannot move the image, whatever
  # DYNAMIC_BASE says.
  if(dump MATCHES "Characteristics[ \t]+0x([0-9a-fA-F]+)")
    math(EXPR file_flags "0x${CMAKE_MATCH_1} & 1")
    if(NOT file_flags EQUAL 0)
      list(APPEND problems "relocations are stripped (RELOCS_STRIPPED)")
    endif()
  endif()
  if(NOT dump MATCHES "Entry 5 [0-9a-fA-F]+ ([0-9a-fA-F]+) Base Relocation Directory")
    list(APPEND problems "no base relocation directory")
  elseif(CMAKE_MATCH_1 MATCHES "^0+$")
    list(APPEND problems "the base relocation directory is empty")
  endif()

  # High-entropy ASLR only pays off for an image based above 4 GiB.
  if(NOT dump MATCHES "ImageBase[ \t]+([0-9a-fA-F]+)")
    message(FATAL_ERROR "${name}: no ImageBase in the objdump output")
  endif()
  set(base "${CMAKE_MATCH_1}")
  string(LENGTH "${base}" digits)
  if(digits LESS_EQUAL 8)
    list(APPEND problems "image base 0x${base} is below 4 GiB")
  else()
    math(EXPR high_digits "${digits} - 8")
    string(SUBSTRING "${base}" 0 ${high_digits} high)
    if(high MATCHES "^0+$")
      list(APPEND problems "image base 0x${base} is below 4 GiB")
    endif()
  endif()

  if(problems)
    string(REPLACE ";" "; " text "${problems}")
    message(FATAL_ERROR "${name} is not hardened: ${text}")
  endif()
  if(guard EQUAL 0)
    set(guard_text "control-flow guard off (the toolchain offers none)")
  else()
    set(guard_text "control-flow guard on${table_text}")
  endif()
  message(STATUS "${name}: DllCharacteristics 0x${flags_hex}: high-entropy ASLR, DEP, stack protection, image base 0x${base}, ${guard_text}")
else()
  message(FATAL_ERROR "check_pe.cmake: unknown CHECK '${CHECK}' (imports or hardening)")
endif()
