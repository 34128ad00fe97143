# Every variable the core can write is named in its layer's internal header:
# in a list of what frames change (<LAYER>_STATE, which the benchmark's
# snapshots and the reset test walk) or of the tables set up at start-up
# (<LAYER>_TABLES). Compares the writable data objects of the core's
# libraries, as objdump lists them, with the names in those lists, so a
# variable added to the core and left out of its list fails here.
#   cmake -DSOURCE=<repository> -DOBJDUMP=<objdump> -DLIBRARIES=a.a,b.a -P tests/state_test.cmake
cmake_minimum_required(VERSION 3.25)
include(${SOURCE}/cmake/core.cmake)

set(listed)
foreach(layer IN LISTS ringfield_layers)
  file(GLOB headers ${SOURCE}/${layer}/*_internal.h)
  foreach(header IN LISTS headers)
    file(READ ${header} text)
    string(REGEX MATCHALL "X\\([A-Za-z_][A-Za-z_0-9]*\\)" names "${text}")
    list(TRANSFORM names REPLACE "^X\\((.*)\\)$" "\\1")
    list(APPEND listed ${names})
  endforeach()
endforeach()

set(written)
string(REPLACE "," ";" LIBRARIES "${LIBRARIES}")
foreach(library IN LISTS LIBRARIES)
  execute_process(COMMAND "${OBJDUMP}" -t -C "${library}" OUTPUT_VARIABLE table RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} cannot read ${library}")
  endif()
  # Data objects in the sections a program writes; read-only data after
  # relocation (.data.rel.ro) is not among them.
  string(REGEX MATCHALL "[^\n]* O \\.(bss|data)\t[^\n]*" objects "${table}")
  foreach(object IN LISTS objects)
    string(REGEX REPLACE "^.*\t[0-9a-f]+ +(.*)$" "\\1" name "${object}")
    string(REPLACE "(anonymous namespace)::" "" name "${name}")
    # AddressSanitizer's one-definition-rule markers, one per global, are
    # the sanitizer's own bytes, not the core's.
    if(NOT name MATCHES "^__odr_asan")
      list(APPEND written "${name}")
    endif()
  endforeach()
endforeach()

if(NOT written)
  message(FATAL_ERROR "no writable data found in ${LIBRARIES}")
endif()
set(unlisted ${written})
list(REMOVE_ITEM unlisted ${listed})
set(stale ${listed})
list(REMOVE_ITEM stale ${written})
if(unlisted)
  string(JOIN ", " unlisted ${unlisted})
  message(FATAL_ERROR "not in any layer's list in its *_internal.h (X(name) in <LAYER>_STATE for what "
                      "frames change, <LAYER>_TABLES for what start-up sets): ${unlisted}")
endif()
if(stale)
  string(JOIN ", " stale ${stale})
  message(FATAL_ERROR "listed but not the core's writable data (renamed or gone?): ${stale}")
endif()
list(LENGTH written count)
message("state: all ${count} of the core's writable variables are listed")
