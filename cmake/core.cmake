# The core written down once: its layers, lowest first, each one's sources
# and links, and the flags it is compiled with. The native and cross builds,
# the browser page's build and the layering test all read this file.
#
# A layer may include and link only the layers before it in ringfield_layers.
# The platforms (ringfield_platforms) may include only the headers named in
# ringfield_platform_headers, and link only ringfield_frame. A folder's
# *_internal.h is for its own folder, the tests and the benchmark.

cmake_path(GET CMAKE_CURRENT_LIST_DIR PARENT_PATH ringfield_root)

set(ringfield_layers screen trig rings transform raster present frame)
set(ringfield_platforms app capture web windows)
set(ringfield_platform_headers frame/frame.h screen/screen.h)

# screen/ is header-only: the screen's size and centre.
set(ringfield_trig_sources trig/trig.cpp)
set(ringfield_rings_sources rings/pool.cpp rings/field.cpp)
set(ringfield_transform_sources transform/matrix.cpp transform/view.cpp)
set(ringfield_raster_sources raster/accum.cpp raster/clip.cpp raster/line.cpp)
set(ringfield_present_sources present/present.cpp)
set(ringfield_frame_sources frame/frame.cpp)

# Links: public where the layer's header includes the other's, private where
# only its sources do.
set(ringfield_rings_private trig)
set(ringfield_transform_public rings)
set(ringfield_transform_private trig screen)
set(ringfield_raster_public screen)
set(ringfield_present_private raster screen)
set(ringfield_frame_public present screen)
set(ringfield_frame_private raster transform rings trig)

# The picture must be the same bit for bit on every build: no fused
# multiply-add, no fast-math, no -march. In the browser, WebAssembly SIMD
# carries the vector code (the fade and conversion); without it those loops
# run a lane at a time, over twice as slow.
set(ringfield_compile_flags -Wall -Wextra -Wpedantic -ffp-contract=off)
set(ringfield_link_flags)
if(EMSCRIPTEN)
  list(APPEND ringfield_compile_flags -msimd128 -Werror)
  list(APPEND ringfield_link_flags -msimd128)
endif()

# One library per layer, ringfield_<layer>; a link to a later layer, or to
# anything not a layer, stops the configuration.
function(ringfield_add_core)
  set(below)
  foreach(layer IN LISTS ringfield_layers)
    foreach(scope public private)
      foreach(link IN LISTS ringfield_${layer}_${scope})
        if(NOT link IN_LIST below)
          message(FATAL_ERROR "layer ${layer} links ${link}, which is not below it")
        endif()
      endforeach()
    endforeach()
    if(ringfield_${layer}_sources)
      list(TRANSFORM ringfield_${layer}_sources PREPEND ${ringfield_root}/ OUTPUT_VARIABLE sources)
      add_library(ringfield_${layer} STATIC ${sources})
      target_include_directories(ringfield_${layer} PUBLIC ${ringfield_root})
      list(TRANSFORM ringfield_${layer}_public PREPEND ringfield_ OUTPUT_VARIABLE public)
      list(TRANSFORM ringfield_${layer}_private PREPEND ringfield_ OUTPUT_VARIABLE private)
      target_link_libraries(ringfield_${layer} PUBLIC ${public} PRIVATE ${private})
    else()
      add_library(ringfield_${layer} INTERFACE)
      target_include_directories(ringfield_${layer} INTERFACE ${ringfield_root})
    endif()
    list(APPEND below ${layer})
  endforeach()
endfunction()
