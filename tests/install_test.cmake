# cmake --install puts the programs, the desktop entry, icons and metadata,
# the manual pages and the copyright and changelog files where a Linux user
# expects them under the prefix.
#   cmake -DBUILD=<build dir> -DPREFIX=<scratch prefix> -DDESKTOP=ON|OFF -P install_test.cmake
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD}" --prefix "${PREFIX}"
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()
set(wanted bin/ringfield-capture share/man/man1/ringfield-capture.1.gz
           share/doc/ringfield/copyright share/doc/ringfield/changelog.gz)
if(DESKTOP)
  list(APPEND wanted bin/ringfield share/applications/ringfield.desktop share/man/man6/ringfield.6.gz
                     share/icons/hicolor/48x48/apps/ringfield.png share/icons/hicolor/256x256/apps/ringfield.png
                     share/metainfo/example.ringfield.Ringfield.metainfo.xml)
endif()
foreach(path IN LISTS wanted)
  if(NOT EXISTS "${PREFIX}/${path}")
    message(FATAL_ERROR "not installed: ${path}")
  endif()
  # gzip -n: no name and no date in the header (flags and time all zero), so
  # that every build gives the same bytes.
  if(path MATCHES "\\.gz$")
    file(READ "${PREFIX}/${path}" header HEX LIMIT 8)
    if(NOT header STREQUAL "1f8b080000000000")
      message(FATAL_ERROR "${path}: a gzip header with a name or date: ${header}")
    endif()
  endif()
endforeach()
if(DESKTOP)
  file(READ "${PREFIX}/share/applications/ringfield.desktop" entry)
  if(NOT entry MATCHES "\nExec=ringfield\n" OR NOT entry MATCHES "\nType=Application\n")
    message(FATAL_ERROR "the desktop entry does not start ringfield")
  endif()
endif()
file(REMOVE_RECURSE "${PREFIX}")
