# What both Windows cross toolchains share: the target, where the mingw-w64
# headers and libraries live, static linking of the compiler's runtime, and
# the Wine runner for tests. Included by toolchain-mingw64.cmake (g++) and
# toolchain-mingw64-clang.cmake (clang with lld).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TINTORA_MINGW_TRIPLE x86_64-w64-mingw32)

set(CMAKE_FIND_ROOT_PATH /usr/${TINTORA_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Everything of the compiler's runtime (libgcc, libstdc++, winpthread, libssp)
# is linked in, so the programs need no DLL beyond those that ship with
# Windows. TINTORA_MINGW_LINKER_FLAGS holds what a toolchain adds to that.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static ${TINTORA_MINGW_LINKER_FLAGS}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -Wl,-Bstatic,--whole-archive -lwinpthread -Wl,--no-whole-archive,-Bdynamic ${TINTORA_MINGW_LINKER_FLAGS}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${CMAKE_SHARED_LINKER_FLAGS_INIT}")

# add_test() of a Windows target runs it on the Wine test desktop.
get_filename_component(_tintora_repo "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR "/bin/bash;${_tintora_repo}/scripts/wine-run.sh" CACHE STRING
  "Runs cross-built Windows programs (tests) under Wine")
unset(_tintora_repo)
