# Adds every subfolder of the current folder that has a CMakeLists.txt, so
# tests/, tools/ and bench/ pick up a new group without editing a list.
macro(tallyvox_add_child_folders)
  file(GLOB _children LIST_DIRECTORIES true CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT _children)
  foreach(_child IN LISTS _children)
    if(IS_DIRECTORY ${_child} AND EXISTS ${_child}/CMakeLists.txt)
      add_subdirectory(${_child})
    endif()
  endforeach()
endmacro()
