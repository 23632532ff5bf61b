# Shared compiler settings for every target of the project.
#
# The colour pipeline must give the same digits on every compiler, so
# floating-point contraction (fused multiply-add) is switched off: the
# specified order of terms is the order that is computed.

add_library(tintora_options INTERFACE)

if(MSVC)
  target_compile_options(tintora_options INTERFACE /W4 /permissive- /fp:precise /utf-8)
  target_compile_definitions(tintora_options INTERFACE _CRT_SECURE_NO_WARNINGS)
else()
  target_compile_options(tintora_options INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
    -Wcast-qual -Wformat=2 -Wundef -Wnull-dereference -Wdouble-promotion
    -ffp-contract=off)
endif()

if(WIN32)
  # Windows 8.1 (0x0603), the oldest system the manifest supports: the headers
  # then refuse calls that would not be there. Newer functions are looked up
  # at run time.
  target_compile_definitions(tintora_options INTERFACE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
    _WIN32_WINNT=0x0603 WINVER=0x0603)
endif()

# Reproducible Windows programs: the same sources give the same bytes,
# whatever the checkout's path and the time of the build. No build path in
# the code (__FILE__ and debug names are made relative) and no link time in
# the PE header.
if(WIN32 AND NOT MSVC)
  target_compile_options(tintora_options INTERFACE
    -ffile-prefix-map=${CMAKE_SOURCE_DIR}=. -ffile-prefix-map=${CMAKE_BINARY_DIR}=build
    -fmacro-prefix-map=${CMAKE_SOURCE_DIR}=. -fmacro-prefix-map=${CMAKE_BINARY_DIR}=build)
  target_link_options(tintora_options INTERFACE LINKER:--no-insert-timestamp)
endif()

if(TINTORA_SANITIZE)
  # GCC's "undefined" group leaves out float-cast-overflow: a double converted
  # to an integer type that cannot hold it would go unreported.
  set(TINTORA_SANITIZER_FLAGS -fsanitize=address,undefined,float-cast-overflow -fno-sanitize-recover=all
      -fno-omit-frame-pointer)
  target_compile_options(tintora_options INTERFACE ${TINTORA_SANITIZER_FLAGS})
  target_link_options(tintora_options INTERFACE ${TINTORA_SANITIZER_FLAGS})
endif()

if(TINTORA_FUZZ)
  # Coverage instrumentation for everything the fuzz targets link.
  set(TINTORA_FUZZ_LIB_FLAGS -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  target_compile_options(tintora_options INTERFACE ${TINTORA_FUZZ_LIB_FLAGS})
  target_link_options(tintora_options INTERFACE -fsanitize=address,undefined)
endif()

# The Windows programs' exploit mitigations: stack protection and fortified
# copies on tintora_options, the rest on `tintora_hardening`.
include(Hardening)
