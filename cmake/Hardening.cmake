# Exploit mitigations for the Windows programs.
#
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

if(NOT WIN32)
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
