# Cross build for 64-bit Windows with mingw-w64 (posix threads), tests run
# under Wine through scripts/wine-run.sh.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TINTORA_MINGW_TRIPLE x86_64-w64-mingw32)

# The -posix variants give std::thread and friends; prefer them when present.
find_program(CMAKE_C_COMPILER NAMES ${TINTORA_MINGW_TRIPLE}-gcc-posix ${TINTORA_MINGW_TRIPLE}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${TINTORA_MINGW_TRIPLE}-g++-posix ${TINTORA_MINGW_TRIPLE}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${TINTORA_MINGW_TRIPLE}-windres REQUIRED)
set(CMAKE_AR ${TINTORA_MINGW_TRIPLE}-gcc-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${TINTORA_MINGW_TRIPLE}-gcc-ranlib CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${TINTORA_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Everything of the compiler's runtime (libgcc, libstdc++, winpthread) is
# linked in, so the programs need no DLL beyond those that ship with Windows.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -Wl,-Bstatic,--whole-archive -lwinpthread -Wl,--no-whole-archive,-Bdynamic")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${CMAKE_SHARED_LINKER_FLAGS_INIT}")

# add_test() of a Windows target runs it on the Wine test desktop.
get_filename_component(_tintora_repo "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR "/bin/bash;${_tintora_repo}/scripts/wine-run.sh" CACHE STRING
  "Runs cross-built Windows programs (tests) under Wine")
unset(_tintora_repo)
