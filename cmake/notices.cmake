# THIRD-PARTY-NOTICES.txt of the Windows zip: the licence of every library
# linked into the programs, as Debian ships it with the package the build
# used, with Windows line ends.
#   cmake -DOUT=<file> -DPNG=<licence> -DZLIB=<copyright> -DMINGW=<copyright> -DGCC=<copyright> -P notices.cmake
cmake_minimum_required(VERSION 3.25)
set(text [=[
Notices of the libraries built into ringfield.exe and ringfield-capture.exe
===========================================================================

Both programs are linked statically: they hold code of the libraries below,
each under its own licence, which follows its name. ringfield is under the
MIT licence (LICENSE.txt).
]=])
set(sections
  "libpng: the PNG reference library, in ringfield-capture.exe" PNG
  "zlib: compression for PNG files, in ringfield-capture.exe" ZLIB
  "MinGW-w64 runtime and winpthreads: the C runtime start-up, Windows headers and threads, in both programs" MINGW
  "GCC runtime libraries: libgcc and libstdc++, in both programs" GCC)
while(sections)
  list(POP_FRONT sections title variable)
  if(NOT EXISTS "${${variable}}")
    message(FATAL_ERROR "no licence file for ${title}: '${${variable}}'")
  endif()
  file(READ "${${variable}}" licence)
  string(LENGTH "${title}" length)
  string(REPEAT "-" ${length} rule)
  # Where it comes from, without the build machine's own folders.
  if("${${variable}}" MATCHES "^/usr/share/doc/([^/]+)/copyright$")
    set(origin "Debian's copyright file of ${CMAKE_MATCH_1}")
  else()
    get_filename_component(origin "${${variable}}" NAME)
    set(origin "the ${origin} file of its Debian source package")
  endif()
  string(APPEND text "\n\n${title}\n${rule}\n(${origin})\n\n${licence}")
endwhile()
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE "${OUT}" "${text}")
