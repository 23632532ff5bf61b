# Installation of the X11 label and its Debian package (CPack).
#
#   cmake --install build/native --prefix /usr/local
#   (cd build/native && cpack -G DEB)      # tintora_<version>_<arch>.deb
#
# Lays out bin/tintora and bin/tintora-name, their manual pages, the desktop
# entry, the AppStream metadata, the hicolor icons (the images of
# resources/tintora.ico, drawn by scripts/make-icon.sh), and in
# share/doc/tintora the copyright file (both licences in full) and the
# changelog. The changelog, the AppStream release notes and the manual
# pages' date come from CHANGELOG.md (cmake/ReleaseNotes.cmake).
include_guard(GLOBAL)

install(TARGETS tintora RUNTIME DESTINATION bin COMPONENT label)
if(TARGET tintora-name)
  install(TARGETS tintora-name RUNTIME DESTINATION bin COMPONENT label)
endif()
# A packaged program carries no symbols, and not the compiler's notes
# either (.comment, .note), as Debian's own packages; `cmake --install
# --strip` and CPack (CPACK_STRIP_FILES) strip.
install(CODE "set(TINTORA_STRIP \"${CMAKE_STRIP}\")" COMPONENT label)
install(CODE [[
  if(CMAKE_INSTALL_DO_STRIP)
    foreach(program tintora tintora-name)
      set(file "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/bin/${program}")
      if(EXISTS "${file}")
        execute_process(COMMAND "${TINTORA_STRIP}" --remove-section=.comment --remove-section=.note "${file}"
                        RESULT_VARIABLE status)
        if(NOT status EQUAL 0)
          message(FATAL_ERROR "strip failed on ${file}")
        endif()
      endif()
    endforeach()
  endif()
]] COMPONENT label)

set(_packaging ${PROJECT_SOURCE_DIR}/x11/packaging)
set(_generated ${CMAKE_BINARY_DIR}/packaging)
set(TINTORA_MAINTAINER "MossVane <support@mossvane.example>")
set(TINTORA_APPSTREAM_ID example.mossvane.Tintora)
file(MAKE_DIRECTORY ${_generated})

# Compresses as Debian wants it: the most, with no name or time inside, so
# that the same text gives the same bytes.
function(_tintora_gzip input output)
  execute_process(COMMAND gzip -9n -c INPUT_FILE ${input} OUTPUT_FILE ${output} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "gzip failed on ${input}")
  endif()
endfunction()

include(ReleaseNotes)
tintora_release_notes(CHANGELOG ${PROJECT_SOURCE_DIR}/CHANGELOG.md VERSION ${PROJECT_VERSION}
                      MAINTAINER "${TINTORA_MAINTAINER}")
file(WRITE ${_generated}/changelog "${TINTORA_DEBIAN_CHANGELOG}")
_tintora_gzip(${_generated}/changelog ${_generated}/changelog.gz)

# The copyright file with both licences in full, in Debian's format: each
# line indented by one space, blank lines written as " .".
set(_copyright "")
file(READ ${_packaging}/copyright _copyright)
foreach(licence "Expat;${PROJECT_SOURCE_DIR}/LICENSE" "OFL-1.1;${PROJECT_SOURCE_DIR}/resources/fonts/OFL.txt")
  list(GET licence 0 _name)
  list(GET licence 1 _file)
  file(READ ${_file} _text)
  string(REPLACE "\r" "" _text "${_text}")
  string(STRIP "${_text}" _text)
  string(REGEX REPLACE "\n[ \t]*\n" "\n.\n" _text "${_text}")
  string(REGEX REPLACE "\n[ \t]*\n" "\n.\n" _text "${_text}")  # runs of blank lines
  string(REPLACE "\n" "\n " _text "${_text}")
  string(APPEND _copyright "\nLicense: ${_name}\n ${_text}\n")
endforeach()
file(WRITE ${_generated}/copyright "${_copyright}")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${_packaging}/copyright ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/resources/fonts/OFL.txt)
install(FILES ${_generated}/copyright ${_generated}/changelog.gz DESTINATION share/doc/tintora COMPONENT label)

# The manual pages, dated by the release they describe.
set(TINTORA_MAN_PAGES "")
foreach(program tintora tintora-name)
  if(TARGET ${program})
    configure_file(${_packaging}/${program}.1.in ${_generated}/${program}.1 @ONLY)
    _tintora_gzip(${_generated}/${program}.1 ${_generated}/${program}.1.gz)
    install(FILES ${_generated}/${program}.1.gz DESTINATION share/man/man1 COMPONENT label)
    list(APPEND TINTORA_MAN_PAGES ${_generated}/${program}.1)
  endif()
endforeach()

install(FILES ${_packaging}/tintora.desktop DESTINATION share/applications COMPONENT label)
set(TINTORA_METAINFO ${_generated}/${TINTORA_APPSTREAM_ID}.metainfo.xml)
configure_file(${_packaging}/${TINTORA_APPSTREAM_ID}.metainfo.xml.in ${TINTORA_METAINFO} @ONLY)
install(FILES ${TINTORA_METAINFO} DESTINATION share/metainfo COMPONENT label)

# The icon's PNG images, taken from the .ico as they are stored there.
set(TINTORA_ICON_SIZES 16 24 32 40 48 64 96 128 256)
find_program(TINTORA_ICOTOOL icotool)
if(TINTORA_ICOTOOL)
  set(_icons ${CMAKE_BINARY_DIR}/icons)
  set(_icon_outputs)
  set(_index 1)
  foreach(size ${TINTORA_ICON_SIZES})
    list(APPEND _icon_outputs ${_icons}/tintora_${_index}_${size}x${size}x32.png)
    install(FILES ${_icons}/tintora_${_index}_${size}x${size}x32.png
            DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME tintora.png COMPONENT label)
    math(EXPR _index "${_index} + 1")
  endforeach()
  add_custom_command(OUTPUT ${_icon_outputs}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${_icons}
    COMMAND ${TINTORA_ICOTOOL} -x -o ${_icons} ${PROJECT_SOURCE_DIR}/resources/tintora.ico
    DEPENDS ${PROJECT_SOURCE_DIR}/resources/tintora.ico
    COMMENT "Taking the icon's images out of tintora.ico"
    VERBATIM)
  add_custom_target(tintora_icons ALL DEPENDS ${_icon_outputs})
else()
  message(STATUS "x11: icotool (icoutils) not found; the hicolor icons are not installed")
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tintora)
set(CPACK_PACKAGE_VENDOR MossVane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "names the colour under the mouse pointer")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TINTORA_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://mossvane.example)
# The long description; CPack puts the summary above it and indents it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "A small borderless label stays on top of every other window.\n\
Whenever the mouse moves, it takes on the colour of the pixel under the\n\
pointer and names it in plain words - Orange, Brown Yellowish, Grey 56% -\n\
using the CIECAM02 colour appearance model and a fixed naming table. Made\n\
for people who cannot trust their colour vision. It needs an X11 session.\n\
\n\
Also contains tintora-name, which names the colours given to it.")
# The dependencies are those of the shared libraries the programs link.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
