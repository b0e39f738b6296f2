# One CMake library per layer of src/. A layer sees its own headers and those
# of the layers it links, nothing else: its include directory holds links to
# its own headers only, so an include of a layer it does not link fails to
# build. tests/layers/check_layers.py says which include climbed.
set(VXM_LAYER_INCLUDES ${CMAKE_BINARY_DIR}/layers)

#   vxm_layer(TARGET FOLDER [SOURCES ...] [LINKS ...])
# FOLDER is the layer's folder below src/ ("hid", "platform/win32"); a layer
# without sources is an interface library of headers.
function(vxm_layer target folder)
  cmake_parse_arguments(LAYER "" "" "SOURCES;LINKS" ${ARGN})
  set(root ${VXM_LAYER_INCLUDES}/${target})
  file(REMOVE_RECURSE ${root})
  file(MAKE_DIRECTORY ${root}/${folder})
  file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/${folder}/*.h)
  foreach(header ${headers})
    get_filename_component(name ${header} NAME)
    file(CREATE_LINK ${header} ${root}/${folder}/${name} SYMBOLIC)
  endforeach()
  if(LAYER_SOURCES)
    add_library(${target} STATIC ${LAYER_SOURCES})
    target_include_directories(${target} PUBLIC ${root})
    target_link_libraries(${target} PUBLIC ${LAYER_LINKS} PRIVATE vxm_warnings)
  else()
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${root})
    target_link_libraries(${target} INTERFACE ${LAYER_LINKS})
  endif()
endfunction()
