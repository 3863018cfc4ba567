# Refuses an include that runs upward through the layers: each folder may
# include headers of its own folder and of the folders below it, never of one
# above. Run by every build (the "layers" target) on the source tree, and by
# a test on a small tree that breaks the rule.
#
#   cmake -DROOT=<folder holding base/, engine/, ...> -P check_layers.cmake
#
# The layers, lowest first; folders on one line are siblings that may not
# include each other, except that the tools may use the settings.
#   base  <-  text  <-  engine  <-  settings  <-  tools  <-  app, cli
if(NOT ROOT)
  message(FATAL_ERROR "check_layers: ROOT not given")
endif()
set(_rank_base 0)
set(_rank_text 1)
set(_rank_engine 2)
set(_rank_settings 3)
set(_rank_tools 4)
set(_rank_app 5)
set(_rank_cli 5)
set(_layers base text engine settings tools app cli)
set(_refused "")
foreach(_layer IN LISTS _layers)
  file(GLOB _files ${ROOT}/${_layer}/*.cpp ${ROOT}/${_layer}/*.h)
  foreach(_file IN LISTS _files)
    file(STRINGS ${_file} _includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[a-z_]+/")
    foreach(_line IN LISTS _includes)
      string(REGEX REPLACE "^[^\"]*\"([a-z_]+)/.*$" "\\1" _target "${_line}")
      if(NOT DEFINED _rank_${_target} OR _target STREQUAL _layer)
        continue()
      endif()
      if(NOT _rank_${_target} LESS _rank_${_layer})
        file(RELATIVE_PATH _shown ${ROOT} ${_file})
        string(STRIP "${_line}" _line)
        list(APPEND _refused "${_shown}: ${_line}")
      endif()
    endforeach()
  endforeach()
endforeach()
if(_refused)
  list(JOIN _refused "\n  " _text)
  message(FATAL_ERROR "Includes that run upward through the layers:\n  ${_text}")
endif()
