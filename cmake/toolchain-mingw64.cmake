# Cross build for 64-bit Windows with mingw-w64 g++ (posix threads), tests
# run under Wine through scripts/wine-run.sh.
set(CMAKE_SYSTEM_NAME Windows)
set(TINTORA_MINGW_TRIPLE x86_64-w64-mingw32)

# The -posix variants give std::thread and friends; prefer them when present.
find_program(CMAKE_C_COMPILER NAMES ${TINTORA_MINGW_TRIPLE}-gcc-posix ${TINTORA_MINGW_TRIPLE}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${TINTORA_MINGW_TRIPLE}-g++-posix ${TINTORA_MINGW_TRIPLE}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${TINTORA_MINGW_TRIPLE}-windres REQUIRED)
set(CMAKE_AR ${TINTORA_MINGW_TRIPLE}-gcc-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${TINTORA_MINGW_TRIPLE}-gcc-ranlib CACHE FILEPATH "")

set(TINTORA_MINGW_LINKER_FLAGS "")
include(${CMAKE_CURRENT_LIST_DIR}/mingw64-common.cmake)
