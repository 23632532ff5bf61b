# The releases of CHANGELOG.md, turned into what the Linux package ships:
# the Debian changelog, the AppStream release notes and the date of the
# manual pages.
#
#   tintora_release_notes(CHANGELOG <file> VERSION <version> MAINTAINER <name <mail>>)
#
# sets, in the caller's scope:
#   TINTORA_RELEASE_DATE        the date (YYYY-MM-DD) of the entry for VERSION
#   TINTORA_DEBIAN_CHANGELOG    every release in the Debian changelog format
#   TINTORA_APPSTREAM_RELEASES  every release as AppStream <release> elements
#
# CHANGELOG.md holds, after its introduction, `## VERSION - YYYY-MM-DD`
# headings, each followed by items that begin with "- " and continue on lines
# indented by two spaces. Anything else there, or no entry for VERSION, stops
# the configuration: the package would otherwise ship notes that are wrong.
include_guard(GLOBAL)

# "Fri, 11 Dec 2026 00:00:00 +0000" for 2026-12-11 (RFC 5322, as dpkg writes it).
function(_tintora_rfc5322_date iso out_var)
  if(NOT iso MATCHES "^([0-9][0-9][0-9][0-9])-([0-9][0-9])-([0-9][0-9])$")
    message(FATAL_ERROR "CHANGELOG.md: '${iso}' is not a date of the form YYYY-MM-DD")
  endif()
  math(EXPR year "${CMAKE_MATCH_1}")
  math(EXPR month "${CMAKE_MATCH_2}")
  math(EXPR day "${CMAKE_MATCH_3}")
  if(month LESS 1 OR month GREATER 12 OR day LESS 1 OR day GREATER 31)
    message(FATAL_ERROR "CHANGELOG.md: '${iso}' is not a date")
  endif()
  # The day of the week by Sakamoto's method (0 is Sunday).
  set(offsets 0 3 2 5 0 3 5 1 4 6 2 4)
  math(EXPR index "${month} - 1")
  list(GET offsets ${index} offset)
  set(y ${year})
  if(month LESS 3)
    math(EXPR y "${y} - 1")
  endif()
  math(EXPR weekday "(${y} + ${y} / 4 - ${y} / 100 + ${y} / 400 + ${offset} + ${day}) % 7")
  set(weekdays Sun Mon Tue Wed Thu Fri Sat)
  set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
  list(GET weekdays ${weekday} weekday_name)
  list(GET months ${index} month_name)
  set(${out_var} "${weekday_name}, ${CMAKE_MATCH_3} ${month_name} ${CMAKE_MATCH_1} 00:00:00 +0000" PARENT_SCOPE)
endfunction()

function(_tintora_xml_text text out_var)
  string(REPLACE "&" "&amp;" text "${text}")
  string(REPLACE "<" "&lt;" text "${text}")
  string(REPLACE ">" "&gt;" text "${text}")
  string(REPLACE "`" "" text "${text}")
  set(${out_var} "${text}" PARENT_SCOPE)
endfunction()

function(tintora_release_notes)
  cmake_parse_arguments(PARSE_ARGV 0 arg "" "CHANGELOG;VERSION;MAINTAINER" "")
  file(READ "${arg_CHANGELOG}" text)
  # One list element per line; what CMake's lists would take for their own
  # (semicolons, brackets, backslashes) is kept aside meanwhile.
  string(REPLACE "\\" "<tintora-backslash>" text "${text}")
  string(REPLACE ";" "<tintora-semicolon>" text "${text}")
  string(REPLACE "[" "<tintora-open>" text "${text}")
  string(REPLACE "]" "<tintora-close>" text "${text}")
  string(REPLACE "\n" ";" lines "${text}")

  set(debian "")
  set(appstream "")
  set(version "")
  set(item "")
  set(found_date "")
  set(line_number 0)
  # A blank line after the last one closes the last release.
  foreach(line IN LISTS lines ITEMS "")
    math(EXPR line_number "${line_number} + 1")
    string(REPLACE "<tintora-close>" "]" line "${line}")
    string(REPLACE "<tintora-open>" "[" line "${line}")
    string(REPLACE "<tintora-semicolon>" ";" line "${line}")
    string(REPLACE "<tintora-backslash>" "\\" line "${line}")
    set(continues OFF)
    if(version AND item AND line MATCHES "^  [^ ]")
      set(continues ON)
    endif()
    # An item ends where the next one, a blank line or a heading begins.
    if(item AND NOT continues)
      _tintora_xml_text("${item}" item_xml)
      string(APPEND appstream "          <li>${item_xml}</li>\n")
      set(item "")
    endif()
    if(line MATCHES "^## ")
      if(NOT line MATCHES "^## ([0-9][0-9.]*) - ([0-9-]+)$")
        message(FATAL_ERROR "CHANGELOG.md:${line_number}: a release heading is '## VERSION - YYYY-MM-DD'")
      endif()
      set(new_version "${CMAKE_MATCH_1}")
      set(new_date "${CMAKE_MATCH_2}")
      if(version)
        string(APPEND debian "\n -- ${arg_MAINTAINER}  ${rfc_date}\n\n")
        string(APPEND appstream "        </ul>\n      </description>\n    </release>\n")
      endif()
      set(version "${new_version}")
      _tintora_rfc5322_date("${new_date}" rfc_date)
      if(version STREQUAL arg_VERSION)
        set(found_date "${new_date}")
      endif()
      string(APPEND debian "tintora (${version}) unstable; urgency=medium\n\n")
      string(APPEND appstream "    <release version=\"${version}\" date=\"${new_date}\">\n"
                              "      <description>\n        <ul>\n")
    elseif(NOT version OR line STREQUAL "")
      # The introduction, and the blank lines between releases.
    elseif(line MATCHES "^- (.*)$")
      set(item "${CMAKE_MATCH_1}")
      set(debian_line "  * ${CMAKE_MATCH_1}")
    elseif(continues)
      string(STRIP "${line}" rest)
      string(APPEND item " ${rest}")
      set(debian_line "    ${rest}")
    else()
      message(FATAL_ERROR "CHANGELOG.md:${line_number}: within a release, a line is an item ('- ...'), "
                          "its continuation (two spaces) or blank")
    endif()
    if(version AND NOT line MATCHES "^## " AND NOT line STREQUAL "")
      string(LENGTH "${debian_line}" length)
      if(length GREATER 80)
        message(FATAL_ERROR "CHANGELOG.md:${line_number}: longer than 78 characters, "
                            "too long for the Debian changelog")
      endif()
      string(APPEND debian "${debian_line}\n")
    endif()
  endforeach()
  if(NOT version)
    message(FATAL_ERROR "CHANGELOG.md: no release")
  endif()
  string(APPEND debian "\n -- ${arg_MAINTAINER}  ${rfc_date}\n")
  string(APPEND appstream "        </ul>\n      </description>\n    </release>")
  if(NOT found_date)
    message(FATAL_ERROR "CHANGELOG.md has no entry for version ${arg_VERSION}: add one "
                        "('## ${arg_VERSION} - YYYY-MM-DD') before packaging this version")
  endif()
  set(TINTORA_RELEASE_DATE "${found_date}" PARENT_SCOPE)
  set(TINTORA_DEBIAN_CHANGELOG "${debian}" PARENT_SCOPE)
  set(TINTORA_APPSTREAM_RELEASES "${appstream}" PARENT_SCOPE)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${arg_CHANGELOG}")
endfunction()
