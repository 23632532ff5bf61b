# Cross build for 64-bit Windows with clang 19 and lld 19, against the same
# mingw-w64 headers and runtime as the g++ build. The C++ library is the
# mingw-w64 g++'s libstdc++ (posix thread model, so it needs winpthread),
# which clang finds beside that compiler; resources are compiled with
# llvm-windres. Tests run under Wine through scripts/wine-run.sh.
set(CMAKE_SYSTEM_NAME Windows)
set(TINTORA_MINGW_TRIPLE x86_64-w64-mingw32)

find_program(CMAKE_C_COMPILER NAMES clang-19 REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES clang++-19 REQUIRED)
set(CMAKE_C_COMPILER_TARGET ${TINTORA_MINGW_TRIPLE})
set(CMAKE_CXX_COMPILER_TARGET ${TINTORA_MINGW_TRIPLE})
find_program(CMAKE_RC_COMPILER NAMES llvm-windres-19 llvm-windres
             HINTS /usr/lib/llvm-19/bin REQUIRED)
find_program(CMAKE_AR NAMES llvm-ar-19 HINTS /usr/lib/llvm-19/bin REQUIRED)
find_program(CMAKE_RANLIB NAMES llvm-ranlib-19 HINTS /usr/lib/llvm-19/bin REQUIRED)

# lld resolves archive members in any order, so winpthread (needed by the
# posix libstdc++) can stand with the other linker flags.
set(TINTORA_MINGW_LINKER_FLAGS "-fuse-ld=lld -lwinpthread")
include(${CMAKE_CURRENT_LIST_DIR}/mingw64-common.cmake)
