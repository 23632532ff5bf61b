# Installation of the X11 label and its Debian package (CPack).
#
#   cmake --install build/native --prefix /usr/local
#   (cd build/native && cpack -G DEB)      # tintora_<version>_<arch>.deb
#
# Lays out bin/tintora and bin/tintora-name, the desktop entry, the hicolor
# icons (the images of resources/tintora.ico, drawn by scripts/make-icon.sh)
# and the licences.
include_guard(GLOBAL)

install(TARGETS tintora RUNTIME DESTINATION bin COMPONENT label)
if(TARGET tintora-name)
  install(TARGETS tintora-name RUNTIME DESTINATION bin COMPONENT label)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/x11/packaging/tintora.desktop DESTINATION share/applications
        COMPONENT label)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/resources/fonts/OFL.txt
              ${PROJECT_SOURCE_DIR}/x11/packaging/copyright
        DESTINATION share/doc/tintora COMPONENT label)

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
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "MossVane <support@mossvane.example>")
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
