# The colour engine and the label core build for every platform: they may
# include only their own headers, the generated version header and the C++
# standard library, and hold no platform conditions. Fails, naming the line,
# when a platform header or condition creeps in.
#   cmake -DSOURCE_DIR=<repository> -P check_portable_sources.cmake
set(_folders core colour)
set(_standard
  algorithm array atomic bitset cassert cctype cerrno cfloat charconv chrono cinttypes climits
  cmath cstdarg cstddef cstdint cstdio cstdlib cstring ctime cwchar deque functional initializer_list
  iterator limits map memory new numeric optional string string_view thread tuple type_traits
  utility vector)

set(_own version.h)
foreach(folder ${_folders})
  file(GLOB _headers RELATIVE ${SOURCE_DIR}/${folder} ${SOURCE_DIR}/${folder}/*.h)
  list(APPEND _own ${_headers})
endforeach()

set(_failures "")
foreach(folder ${_folders})
  file(GLOB _sources ${SOURCE_DIR}/${folder}/*.h ${SOURCE_DIR}/${folder}/*.cpp)
  foreach(source ${_sources})
    file(STRINGS ${source} _lines REGEX "^[ \t]*#[ \t]*(include|if|ifdef|ifndef|elif)")
    foreach(line ${_lines})
      if(line MATCHES "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\"")
        list(FIND _own "${CMAKE_MATCH_1}" _found)
      elseif(line MATCHES "^[ \t]*#[ \t]*include[ \t]*<([^>]+)>")
        list(FIND _standard "${CMAKE_MATCH_1}" _found)
      elseif(line MATCHES "_WIN32|WIN32|__linux__|__unix__|__APPLE__|_MSC_VER|__GNUC__|__clang__")
        set(_found -1)
      else()
        set(_found 0)
      endif()
      if(_found EQUAL -1)
        file(RELATIVE_PATH _shown ${SOURCE_DIR} ${source})
        string(APPEND _failures "  ${_shown}: ${line}\n")
      endif()
    endforeach()
  endforeach()
endforeach()

if(_failures)
  message(FATAL_ERROR "platform headers or conditions in the portable code:\n${_failures}")
endif()
message(STATUS "core/ and colour/ include only their own headers and the standard library")
