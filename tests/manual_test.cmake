# The manual pages against the programs: every option ringfield-capture
# --help lists has its entry in ringfield-capture.1 and every entry there is
# an option --help lists; and the line ringfield prints when it finds no
# display is one that ringfield.6 lists under DIAGNOSTICS ("reason" there
# stands for SDL's own words).
#   cmake -DSOURCE=<source dir> -DCAPTURE=<ringfield-capture> [-DDEMO=<ringfield>] -P manual_test.cmake
cmake_minimum_required(VERSION 3.25)
set(failures "")

execute_process(COMMAND "${CAPTURE}" --help OUTPUT_VARIABLE help RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${CAPTURE} --help failed: ${result}")
endif()
# --help: an option starts a line, indented by two spaces.
string(REGEX MATCHALL "\n  --[a-z-]+" help_options "\n${help}")
list(TRANSFORM help_options REPLACE "^\n  " "")
# The page: one tagged item (.It Fl -name ...) for each option.
file(STRINGS "${SOURCE}/docs/man/ringfield-capture.1" page_lines REGEX "^\\.It Fl -")
set(page_options "")
foreach(line IN LISTS page_lines)
  string(REGEX REPLACE "^\\.It Fl -([a-z-]+).*" "--\\1" option "${line}")
  list(APPEND page_options ${option})
endforeach()
if(help_options STREQUAL "" OR page_options STREQUAL "")
  message(FATAL_ERROR "no options found: --help gave '${help_options}', the page '${page_options}'")
endif()
foreach(option IN LISTS help_options)
  if(NOT option IN_LIST page_options)
    string(APPEND failures "${option} is in --help but not in ringfield-capture.1\n")
  endif()
endforeach()
foreach(option IN LISTS page_options)
  if(NOT option IN_LIST help_options)
    string(APPEND failures "${option} is in ringfield-capture.1 but not in --help\n")
  endif()
endforeach()

if(DEMO)
  # With no display and no driver named, the demo ends with its one line.
  execute_process(COMMAND "${CMAKE_COMMAND}" -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY --unset=SDL_VIDEODRIVER
                          "${DEMO}" TIMEOUT 30 RESULT_VARIABLE result ERROR_VARIABLE said OUTPUT_QUIET)
  string(REGEX MATCH "ringfield: [^\n]*" line "${said}")
  file(STRINGS "${SOURCE}/docs/man/ringfield.6" diagnostics REGEX "^\\.It \"ringfield: ")
  set(listed OFF)
  foreach(entry IN LISTS diagnostics)
    string(REGEX REPLACE "^\\.It \"(.*)\"$" "\\1" entry "${entry}")
    string(REGEX REPLACE "([][.*+?^$()|\\\\])" "\\\\\\1" pattern "${entry}")
    string(REPLACE "reason" ".+" pattern "^${pattern}$")
    if(line MATCHES "${pattern}")
      set(listed ON)
    endif()
  endforeach()
  if(NOT result EQUAL 1 OR NOT listed)
    string(APPEND failures "ringfield with no display: status ${result} and '${line}', not a line of ringfield.6's DIAGNOSTICS\n")
  endif()
endif()

if(failures)
  message(FATAL_ERROR "${failures}")
endif()
list(LENGTH help_options count)
message("manual pages: ${count} options in both --help and ringfield-capture.1; ringfield's '${line}' is in ringfield.6")
