# Checks every #include of the core, the platforms and the benchmark against
# the layer order in cmake/core.cmake, in any form the preprocessor takes
# (quoted or in angle brackets, spaces around the #, a leading ../): a layer
# includes only its own folder and the layers before it, a platform only its
# own folder and the headers named for platforms, the benchmark only the
# core, and a folder's *_internal.h is included only by that folder, the
# tests and the benchmark. No layer includes a platform's system header
# (SDL, windows.h, emscripten).
#   cmake -DSOURCE=<repository> -P tests/layering_test.cmake
cmake_minimum_required(VERSION 3.25)
include(${SOURCE}/cmake/core.cmake)

set(project_folders ${ringfield_layers} ${ringfield_platforms} bench tests)
set(platform_system_headers "^(SDL|[Ww]indows\\.h$|emscripten)")
set(problems 0)
set(checked 0)
set(below)
foreach(folder IN LISTS ringfield_layers ringfield_platforms ITEMS bench)
  file(GLOB files RELATIVE ${SOURCE} ${SOURCE}/${folder}/*.h ${SOURCE}/${folder}/*.cpp)
  foreach(file IN LISTS files)
    file(STRINGS ${SOURCE}/${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]*)[>\"].*$" "\\1" header "${line}")
      string(REGEX REPLACE "^(\\.\\.?/)+" "" name "${header}")
      math(EXPR checked "${checked} + 1")
      # A project header by its folder; a quoted name with no folder is
      # beside the file; anything else is the system's.
      set(target)
      if(name MATCHES "^([^/]+)/" AND CMAKE_MATCH_1 IN_LIST project_folders)
        set(target ${CMAKE_MATCH_1})
      elseif(line MATCHES "include[ \t]*\"" AND NOT name MATCHES "/" AND NOT name MATCHES "${platform_system_headers}")
        set(target ${folder})
      endif()
      set(why)
      if(NOT target)
        if(folder IN_LIST ringfield_layers AND name MATCHES "${platform_system_headers}")
          set(why "the core includes no platform's header")
        endif()
      elseif(target STREQUAL folder)
        # Its own folder, internal headers included.
      elseif(name MATCHES "_internal\\.h$" AND NOT folder STREQUAL "bench")
        set(why "another folder's internal header")
      elseif(folder IN_LIST ringfield_layers AND NOT target IN_LIST below)
        string(JOIN " " allowed ${below})
        set(why "the layer ${folder} may include only the layers below it: ${allowed}")
      elseif(folder IN_LIST ringfield_platforms AND NOT name IN_LIST ringfield_platform_headers)
        string(JOIN " " allowed ${ringfield_platform_headers})
        set(why "a platform may include only ${allowed}")
      elseif(folder STREQUAL "bench" AND NOT target IN_LIST ringfield_layers)
        set(why "the benchmark may include only the core")
      endif()
      if(why)
        message("${file}: #include ${header}: ${why}")
        math(EXPR problems "${problems} + 1")
      endif()
    endforeach()
  endforeach()
  if(folder IN_LIST ringfield_layers)
    list(APPEND below ${folder})
  endif()
endforeach()

if(checked EQUAL 0)
  message(FATAL_ERROR "no #include found under ${SOURCE}")
endif()
if(problems GREATER 0)
  message(FATAL_ERROR "${problems} of ${checked} includes break the layering")
endif()
message("${checked} includes follow the layering")
