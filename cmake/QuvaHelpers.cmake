# quva_add_layer_library(<target> [LIBS ...])
# One static library from every .cpp of the current folder (not its
# subfolders). Does nothing while the folder has no sources yet.
function(quva_add_layer_library target)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    return()
  endif()
  file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  add_library(${target} STATIC ${sources} ${headers})
  target_link_libraries(${target} PUBLIC quva_config ${ARG_LIBS})
endfunction()

# quva_add_subfolders(): add every direct subfolder that has a CMakeLists.txt.
macro(quva_add_subfolders)
  file(GLOB _quva_children LIST_DIRECTORIES true ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT _quva_children)
  foreach(_child ${_quva_children})
    if(IS_DIRECTORY ${_child} AND EXISTS ${_child}/CMakeLists.txt)
      add_subdirectory(${_child})
    endif()
  endforeach()
endmacro()
