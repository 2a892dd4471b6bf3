# SPDX-License-Identifier: GPL-3.0-or-later
# pw_layer(NAME DEPS...): the static library pw_NAME from every .cpp in NAME/,
# linking pw_DEP for each dependency. A layer without sources yet is an
# interface library so the graph stays the same while it grows.
function(pw_layer name)
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${name}/*.cpp)
  set(deps)
  foreach(dep IN LISTS ARGN)
    list(APPEND deps pw_${dep})
  endforeach()
  if(sources)
    add_library(pw_${name} STATIC ${sources})
    target_include_directories(pw_${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(pw_${name} PUBLIC ${deps})
  else()
    add_library(pw_${name} INTERFACE)
    target_include_directories(pw_${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(pw_${name} INTERFACE ${deps})
  endif()
endfunction()
