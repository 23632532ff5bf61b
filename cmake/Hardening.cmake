# Exploit mitigations of the programs: the one place that says which.
#
# Linux (ELF, GCC or Clang), as Debian builds its own packages:
# On every target (through `tintora_options`):
# - stack protection, -fstack-protector-strong (the canary fails in libc's
#   __stack_chk_fail);
# - -fstack-clash-protection: a large stack allocation probes every page, so
#   it cannot jump over the guard page into another mapping;
# - -fcf-protection (x86): indirect branch targets begin with endbr64;
# - position-independent code (-fPIE);
# - _FORTIFY_SOURCE=2 in optimised builds (it needs optimisation, and the
#   sanitizer and fuzz builds check memory their own way): copies into
#   objects of known size go through libc's __*_chk routines.
# On the executables (link `tintora_hardening`): PIE, -z relro and -z now
# (the relocated data, the GOT included, is read-only once the program runs).
# tests/hardening/check_elf.cmake verifies the result in the built programs.
#
# Windows (mingw-w64 or MSVC):
# On every target (through `tintora_options`):
# - stack protection: -fstack-protector-strong, a canary in every function
#   with local arrays or address-taken locals, checked on return; a smashed
#   canary ends the process in libssp's __stack_chk_fail, which is linked
#   statically (mingw-w64 10 has no such routine of its own);
# - _FORTIFY_SOURCE=2: copies into objects of known size are checked (the
#   __*_chk routines of the same libssp).
# On the executables (link `tintora_hardening`):
# - ASLR with high entropy and DEP (--dynamicbase, --high-entropy-va,
#   --nxcompat, relocations kept);
# - control-flow guard with clang (TINTORA_CONTROL_FLOW_GUARD): every indirect
#   call goes through the guard's dispatch routine, and the image carries the
#   table of valid call targets. mingw-w64 10 lacks the load configuration that
#   the guard needs, so the project provides its own (windows/hardening/). g++ 12 has
#   no -mguard=cf.
#
# tests/resources/check_pe.cmake verifies the result in the built images.

include_guard(GLOBAL)

add_library(tintora_hardening INTERFACE)
set(TINTORA_CONTROL_FLOW_GUARD OFF CACHE INTERNAL "Whether the programs are built with control-flow guard")

set(TINTORA_ELF_HARDENING OFF CACHE INTERNAL "Whether the Linux programs are built with the ELF mitigations")
set(TINTORA_ELF_CF_PROTECTION OFF CACHE INTERNAL "Whether the Linux programs are built with -fcf-protection")

if(NOT WIN32)
  if(CMAKE_EXECUTABLE_FORMAT STREQUAL "ELF" AND CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    include(CheckCXXCompilerFlag)
    target_compile_options(tintora_options INTERFACE -fstack-protector-strong -fPIE)
    set(_tintora_elf_text "stack protection")
    foreach(pair "-fstack-clash-protection;stack clash protection" "-fcf-protection;control-flow protection")
      list(GET pair 0 flag)
      list(GET pair 1 what)
      string(MAKE_C_IDENTIFIER "TINTORA_HAS${flag}" _tintora_has_flag)
      check_cxx_compiler_flag(${flag} ${_tintora_has_flag})
      if(${_tintora_has_flag})
        target_compile_options(tintora_options INTERFACE ${flag})
        string(APPEND _tintora_elf_text ", ${what}")
      endif()
    endforeach()
    if(TINTORA_HAS_fcf_protection)
      set(TINTORA_ELF_CF_PROTECTION ON CACHE INTERNAL "Whether the Linux programs are built with -fcf-protection")
    endif()
    # 1 where the build fortifies; a generator expression, for the
    # configurations of multi-configuration generators.
    if(TINTORA_SANITIZE OR TINTORA_FUZZ)
      set(TINTORA_FORTIFY_CONDITION 0)
    else()
      set(TINTORA_FORTIFY_CONDITION "$<CONFIG:Release,RelWithDebInfo,MinSizeRel>")
    endif()
    set(TINTORA_FORTIFY_CONDITION "${TINTORA_FORTIFY_CONDITION}" CACHE INTERNAL
        "1 in the configurations that build with _FORTIFY_SOURCE=2")
    # Undefined first: a compiler that sets a level of its own would warn.
    target_compile_options(tintora_options INTERFACE
      "$<${TINTORA_FORTIFY_CONDITION}:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=2>")
    target_link_options(tintora_hardening INTERFACE -pie LINKER:-z,relro LINKER:-z,now)
    set(TINTORA_ELF_HARDENING ON CACHE INTERNAL "Whether the Linux programs are built with the ELF mitigations")
    message(STATUS "Hardening: ${_tintora_elf_text}, PIE, full RELRO; "
                   "_FORTIFY_SOURCE=2 in optimised builds without sanitizers")
  endif()
  return()
endif()

if(MSVC)
  target_compile_options(tintora_hardening INTERFACE /guard:cf /GS)
  target_link_options(tintora_hardening INTERFACE /DYNAMICBASE /HIGHENTROPYVA /NXCOMPAT /GUARD:CF)
  set(TINTORA_CONTROL_FLOW_GUARD ON CACHE INTERNAL "Whether the programs are built with control-flow guard")
  return()
endif()

if(NOT MINGW)
  return()
endif()

target_compile_options(tintora_options INTERFACE -fstack-protector-strong)
target_compile_definitions(tintora_options INTERFACE _FORTIFY_SOURCE=2)
# g++ adds libssp itself for -fstack-protector-strong; clang needs it named.
target_link_options(tintora_options INTERFACE -fstack-protector-strong)
target_link_libraries(tintora_options INTERFACE ssp)

target_link_options(tintora_hardening INTERFACE
  LINKER:--dynamicbase LINKER:--high-entropy-va LINKER:--nxcompat LINKER:--enable-reloc-section)

option(TINTORA_GUARD_CF "Build with control-flow guard where the compiler offers it (clang)" ON)
option(TINTORA_STRICT_GUARD_CHECK
  "Test build: validate every indirect call against the image's guard table and end the process on a miss"
  OFF)
if(TINTORA_GUARD_CF AND CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  target_compile_options(tintora_options INTERFACE -mguard=cf)
  target_link_options(tintora_options INTERFACE -mguard=cf)
  # Every program (tests too) gets the load configuration: an archive whose
  # one object defines the guard's routine pointers, which guarded code refers
  # to, so the linker always takes it (and with it the load configuration).
  get_filename_component(_tintora_hardening_dir "${CMAKE_CURRENT_LIST_DIR}/../windows/hardening" ABSOLUTE)
  add_library(tintora_load_config STATIC ${_tintora_hardening_dir}/load_config.c)
  if(TINTORA_STRICT_GUARD_CHECK)
    target_compile_definitions(tintora_load_config PRIVATE TINTORA_STRICT_GUARD_CHECK=1)
  endif()
  # Not tintora_options: this object is the guard's own machinery, unguarded.
  target_compile_options(tintora_load_config PRIVATE -Wall -Wextra -Wpedantic -Wconversion)
  target_link_libraries(tintora_options INTERFACE tintora_load_config)
  set(TINTORA_CONTROL_FLOW_GUARD ON CACHE INTERNAL "Whether the programs are built with control-flow guard")
  if(TINTORA_STRICT_GUARD_CHECK)
    set(_tintora_check_text "the strict call-target check of the test build")
  else()
    set(_tintora_check_text "the system's call-target check")
  endif()
  message(STATUS "Hardening: stack protection, _FORTIFY_SOURCE=2, ASLR (high entropy), DEP, "
                 "control-flow guard with ${_tintora_check_text}")
else()
  message(STATUS "Hardening: stack protection, _FORTIFY_SOURCE=2, ASLR (high entropy), DEP; "
                 "control-flow guard not offered by ${CMAKE_CXX_COMPILER_ID} ${CMAKE_CXX_COMPILER_VERSION}")
endif()
