# The flags every library of the core is compiled with, as the README
# promises: warnings on; no fused multiply-add, fast-math or -march, which
# would change the pixels on some machines (x86-64 without -march has no
# fused multiply-add, so the golden frames here would not see it); and in the
# sanitizer build both sanitizers, stopping at the first error.
#   cmake -DLAYERS=<layer;...> -DFLAGS_<layer>=<compile options> -DLINK=<link options>
#         -DCXX_FLAGS=<CMAKE_CXX_FLAGS and the build type's> -DSANITIZE=ON|OFF -P build_flags_test.cmake
cmake_minimum_required(VERSION 3.25)
set(problems)
foreach(layer IN LISTS LAYERS)
  set(flags ${FLAGS_${layer}} ${CXX_FLAGS})
  set(wanted -Wall -Wextra -Wpedantic -ffp-contract=off)
  if(SANITIZE)
    list(APPEND wanted -fsanitize=address,undefined,float-cast-overflow -fno-sanitize-recover=all)
  endif()
  foreach(flag IN LISTS wanted)
    if(NOT flag IN_LIST flags)
      list(APPEND problems "ringfield_${layer} is compiled without ${flag}")
    endif()
  endforeach()
  foreach(flag IN LISTS flags)
    if(flag MATCHES "^(-march=|-mtune=native|-mfma|-ffast-math|-Ofast|-funsafe-math|-ffp-contract=(fast|on))")
      list(APPEND problems "ringfield_${layer} is compiled with ${flag}")
    endif()
  endforeach()
endforeach()
if(SANITIZE AND NOT "-fsanitize=address,undefined,float-cast-overflow" IN_LIST LINK)
  list(APPEND problems "the programs are linked without the sanitizers' runtimes")
endif()
list(LENGTH LAYERS count)
if(count LESS 6 OR problems)
  string(JOIN "\n  " problems ${problems})
  message(FATAL_ERROR "build flags of ${count} layers (${LAYERS}):\n  ${problems}")
endif()
message("build flags: the ${count} layers with sources compile alike on every machine")
