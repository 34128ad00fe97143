# Each Windows program's version resource carries the project's version as
# its file and product version, and the program an icon.
#   cmake -DVERSION=<x.y.z> "-DFILES=a.exe,b.exe" -P version_test.cmake
cmake_minimum_required(VERSION 3.25)
# A string as the resource stores it: UTF-16, little-endian, in hex.
function(utf16_hex text out)
  string(HEX "${text}" hex)
  string(REGEX REPLACE "(..)" "\\100" hex "${hex}")
  set(${out} "${hex}" PARENT_SCOPE)
endfunction()
string(REPLACE "," ";" FILES "${FILES}")
list(REMOVE_ITEM FILES "")
foreach(file IN LISTS FILES)
  file(READ "${file}" bytes HEX)
  foreach(key FileVersion ProductVersion)
    utf16_hex("${key}" key_hex)
    utf16_hex("${VERSION}" version_hex)
    # The key, its padding to a 4-byte boundary, then the value.
    if(NOT bytes MATCHES "${key_hex}(0000)+${version_hex}0000")
      message(FATAL_ERROR "${file}: no ${key} ${VERSION} in its version resource")
    endif()
  endforeach()
  # The icon's group entry: a resource named RINGFIELD.
  utf16_hex("RINGFIELD" name_hex)
  if(NOT bytes MATCHES "${name_hex}")
    message(FATAL_ERROR "${file}: no icon named ringfield")
  endif()
endforeach()
message("version test: ${FILES} carry version ${VERSION}")
