# Each folder of src/ is one library of plain C++ (the files at the top of the folder) and,
# where it needs Qt, a second library built from its qt/ subfolder. The core libraries never
# link Qt, so a Qt include there fails to build.

function(_vellaro_add name kind)
  set(_src ${ARGN})
  if(_src)
    add_library(${name} STATIC ${_src})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    set(${kind}_scope PUBLIC PARENT_SCOPE)
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    set(${kind}_scope INTERFACE PARENT_SCOPE)
  endif()
endfunction()

function(vellaro_core_library name)
  file(GLOB _src CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  _vellaro_add(${name} core ${_src})
  if(_src)
    set_target_properties(${name} PROPERTIES AUTOMOC OFF)
  endif()
  if(ARGN)
    target_link_libraries(${name} ${core_scope} ${ARGN})
  endif()
endfunction()

function(vellaro_qt_library name)
  if(NOT VELLARO_WITH_QT)
    return()
  endif()
  file(GLOB _src CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/qt/*.cpp
       ${CMAKE_CURRENT_SOURCE_DIR}/qt/*.h)
  _vellaro_add(${name} qt ${_src})
  target_link_libraries(${name} ${qt_scope} Qt6::Core Qt6::Gui Qt6::Widgets ${ARGN})
endfunction()
