# tallyvox_layer_target(target [QT])
# Every target of a layer folder: its headers are included rooted at src/
# ("engine/CalculatorEngine.h"), and moc runs only for targets marked QT.
function(tallyvox_layer_target target)
  cmake_parse_arguments(L "QT" "" "" ${ARGN})
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "STATIC_LIBRARY" OR type STREQUAL "SHARED_LIBRARY")
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  else()
    target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/src)
  endif()
  set_target_properties(${target} PROPERTIES AUTOMOC ${L_QT})
endfunction()

# tallyvox_add_child_folders()
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
