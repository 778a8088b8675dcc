# One static library per layer and folder. A layer links only the layers it
# names in USES (and, through them, everything further down); CheckLayers.cmake
# holds every source file to the same rule, so an upward include fails a test
# instead of quietly tying the layers into a knot.
#
# Sources are globbed per folder: a new .cpp in src/<subsystem>/ or
# src/<subsystem>/ui/ joins its layer at the next build without editing CMake.
# A folder without sources yet gives an interface target, so the layers above
# can name it before anyone writes its first file.

set(LUMORA_LAYER_MAP ${CMAKE_BINARY_DIR}/lumora-layers.cmake)
file(WRITE ${LUMORA_LAYER_MAP} "# Written by cmake/Layers.cmake: what each layer may include.\n")
set_property(GLOBAL PROPERTY LUMORA_LAYER_NAMES "")

# lumora_layer(<name> <folder> [QT] [USES <layer>...])
function(lumora_layer name folder)
  cmake_parse_arguments(L "QT" "" "USES" ${ARGN})
  set(target lumora_${name})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${folder}/*.cpp)
  # Program entry points live beside their subsystem but never inside a library.
  list(FILTER sources EXCLUDE REGEX "_main\\.cpp$")
  set(deps)
  set(closure ${name})
  foreach(used ${L_USES})
    list(APPEND deps lumora_${used})
    get_property(below GLOBAL PROPERTY LUMORA_LAYER_CLOSURE_${used})
    if(NOT DEFINED below)
      message(FATAL_ERROR "layer ${name} uses ${used}, which is not defined below it")
    endif()
    list(APPEND closure ${below})
  endforeach()
  list(REMOVE_DUPLICATES closure)
  set_property(GLOBAL PROPERTY LUMORA_LAYER_CLOSURE_${name} ${closure})
  set_property(GLOBAL APPEND PROPERTY LUMORA_LAYER_NAMES ${name})

  if(sources)
    set(headers)
    if(L_QT)
      # Headers with Q_OBJECT take part in moc.
      file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${folder}/*.h)
    endif()
    add_library(${target} STATIC ${sources} ${headers})
    target_link_libraries(${target} PUBLIC ${deps})
    if(L_QT)
      set_target_properties(${target} PROPERTIES AUTOMOC ON)
      target_link_libraries(${target} PUBLIC Qt6::Widgets Qt6::PrintSupport)
    endif()
  else()
    add_library(${target} INTERFACE)
    target_link_libraries(${target} INTERFACE ${deps})
  endif()

  file(APPEND ${LUMORA_LAYER_MAP}
    "set(LAYER_FOLDER_${name} \"${folder}\")\nset(LAYER_MAY_USE_${name} \"${closure}\")\nset(LAYER_QT_${name} ${L_QT})\n")
endfunction()

# Called once every layer is defined.
function(lumora_layer_map_done)
  get_property(names GLOBAL PROPERTY LUMORA_LAYER_NAMES)
  file(APPEND ${LUMORA_LAYER_MAP} "set(LAYER_NAMES \"${names}\")\n")
endfunction()
