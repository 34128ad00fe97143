# The Debian package's copyright and changelog files, made from the project's
# own LICENSE and CHANGELOG.md so that they never drift from them.
#   cmake -DSOURCE=<source dir> -DWHAT=copyright|changelog -DOUT=<file> -P debian_docs.cmake
cmake_minimum_required(VERSION 3.25)
set(maintainer "ringfield maintainers <maintainers@ringfield.example>")

if(WHAT STREQUAL "copyright")
  # Machine-readable (DEP-5): the holder from LICENSE's copyright line, the
  # licence text from its grant on, each line indented, blank lines as " .".
  file(STRINGS "${SOURCE}/LICENSE" lines)
  set(holder "")
  set(text "")
  set(in_text OFF)
  foreach(line IN LISTS lines)
    if(line MATCHES "^Copyright \\(c\\) (.+)$")
      set(holder "${CMAKE_MATCH_1}")
    elseif(line MATCHES "^Permission ")
      set(in_text ON)
    endif()
    if(in_text)
      if(line STREQUAL "")
        string(APPEND text " .\n")
      else()
        string(APPEND text " ${line}\n")
      endif()
    endif()
  endforeach()
  if(holder STREQUAL "" OR text STREQUAL "")
    message(FATAL_ERROR "${SOURCE}/LICENSE: no copyright line or no licence text")
  endif()
  file(WRITE "${OUT}"
    "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
    "Upstream-Name: ringfield\n"
    "Upstream-Contact: ${maintainer}\n"
    "\n"
    "Files: *\n"
    "Copyright: ${holder}\n"
    "License: MIT\n"
    "\n"
    "License: MIT\n"
    "${text}")
  return()
endif()

if(NOT WHAT STREQUAL "changelog")
  message(FATAL_ERROR "WHAT must be copyright or changelog")
endif()

# The day of the week of a date, 0 for Sunday (Sakamoto's method).
function(weekday year month day out)
  set(offsets 0 3 2 5 0 3 5 1 4 6 2 4)
  math(EXPR index "${month} - 1")
  list(GET offsets ${index} offset)
  if(month LESS 3)
    math(EXPR year "${year} - 1")
  endif()
  math(EXPR w "(${year} + ${year} / 4 - ${year} / 100 + ${year} / 400 + ${offset} + ${day}) % 7")
  set(${out} ${w} PARENT_SCOPE)
endfunction()

# Each released version of CHANGELOG.md becomes one entry: "### Heading"
# becomes "  * Heading:", its items "    - ...", continuation lines follow
# them indented; the entry is signed on the release's date at midnight UTC.
file(STRINGS "${SOURCE}/CHANGELOG.md" lines)
set(days Sun Mon Tue Wed Thu Fri Sat)
set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
set(result "")
set(trailer "")
foreach(line IN LISTS lines)
  if(line MATCHES "^## \\[([0-9][^]]*)\\] - ([0-9][0-9][0-9][0-9])-([0-9][0-9])-([0-9][0-9])$")
    set(version ${CMAKE_MATCH_1})
    set(year ${CMAKE_MATCH_2})
    math(EXPR month "${CMAKE_MATCH_3}")
    math(EXPR day "${CMAKE_MATCH_4}")
    weekday(${year} ${month} ${day} w)
    list(GET days ${w} day_name)
    math(EXPR month_index "${month} - 1")
    list(GET months ${month_index} month_name)
    string(APPEND result "${trailer}ringfield (${version}) unstable; urgency=medium\n\n")
    set(trailer "\n -- ${maintainer}  ${day_name}, ${CMAKE_MATCH_4} ${month_name} ${year} 00:00:00 +0000\n\n")
    set(in_release ON)
  elseif(line MATCHES "^## ")
    set(in_release OFF)  # an unreleased section has no place in a package
  elseif(NOT in_release)
  elseif(line MATCHES "^### (.+)$")
    string(APPEND result "  * ${CMAKE_MATCH_1}:\n")
  elseif(line MATCHES "^- (.+)$")
    string(APPEND result "    - ${CMAKE_MATCH_1}\n")
  elseif(line MATCHES "^  +(.+)$")
    string(APPEND result "      ${CMAKE_MATCH_1}\n")
  endif()
endforeach()
if(result STREQUAL "")
  message(FATAL_ERROR "${SOURCE}/CHANGELOG.md: no released version (## [x.y.z] - YYYY-MM-DD)")
endif()
string(REGEX REPLACE "\n\n$" "\n" trailer "${trailer}")
string(REPLACE "`" "" result "${result}")
file(WRITE "${OUT}" "${result}${trailer}")
