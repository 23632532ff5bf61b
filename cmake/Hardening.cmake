# Exploit mitigations for the Windows programs, as the interface target
# `tintora_hardening` (link it to executables only).
#
# - ASLR with high entropy: the image can be loaded anywhere in the 64-bit
#   address space (--dynamicbase, --high-entropy-va, relocations kept).
# - DEP: data pages are never executable (--nxcompat).
# - Control-flow guard where the compiler offers it. MSVC does (/guard:cf);
#   GCC for mingw-w64 12 has no such option, so there it is probed and left
#   off until a toolchain that accepts -mguard=cf is used.
#
# tests/resources/check_pe.cmake verifies the result in the built images.

include_guard(GLOBAL)

add_library(tintora_hardening INTERFACE)

if(NOT WIN32)
  return()
endif()

if(MSVC)
  target_compile_options(tintora_hardening INTERFACE /guard:cf)
  target_link_options(tintora_hardening INTERFACE /DYNAMICBASE /HIGHENTROPYVA /NXCOMPAT /GUARD:CF)
  set(TINTORA_CONTROL_FLOW_GUARD ON CACHE INTERNAL "Whether the programs are built with control-flow guard")
elseif(MINGW)
  target_link_options(tintora_hardening INTERFACE
    LINKER:--dynamicbase LINKER:--high-entropy-va LINKER:--nxcompat LINKER:--enable-reloc-section)

  include(CheckCXXSourceCompiles)
  include(CMakePushCheckState)
  cmake_push_check_state(RESET)
  set(CMAKE_REQUIRED_FLAGS -mguard=cf)
  set(CMAKE_REQUIRED_LINK_OPTIONS -mguard=cf)
  set(CMAKE_REQUIRED_QUIET ON)
  check_cxx_source_compiles("int main() { return 0; }" TINTORA_HAVE_MGUARD_CF)
  cmake_pop_check_state()
  if(TINTORA_HAVE_MGUARD_CF)
    target_compile_options(tintora_hardening INTERFACE -mguard=cf)
    target_link_options(tintora_hardening INTERFACE -mguard=cf)
  endif()
  set(TINTORA_CONTROL_FLOW_GUARD ${TINTORA_HAVE_MGUARD_CF} CACHE INTERNAL
      "Whether the programs are built with control-flow guard")
  if(NOT TINTORA_HAVE_MGUARD_CF)
    message(STATUS "Hardening: ASLR (high entropy) and DEP on; control-flow guard not offered by ${CMAKE_CXX_COMPILER_ID} ${CMAKE_CXX_COMPILER_VERSION}")
  endif()
endif()
