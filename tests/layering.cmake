# Checks that every file of SOURCE includes only its own folder and the
# folders its library depends on, as LAYERS (written by src/CMakeLists.txt)
# lists them: one line per library, its name and then its dependencies.
# A library's folder is its name with '/' for '_' (plot_files: plot/files/);
# a file belongs to the deepest of its folders that is a library, a file at
# the top to main.
#   cmake -DSOURCE=dir -DLAYERS=layers.txt -P layering.cmake
# Each include against the layering is printed on a line of its own:
#   FILE: includes FOLDER/, but LIBRARY does not depend on LIBRARY
cmake_minimum_required(VERSION 3.25)
get_filename_component(SOURCE "${SOURCE}" ABSOLUTE)
file(STRINGS ${LAYERS} layers)
foreach(layer ${layers})
  string(STRIP "${layer}" layer)
  string(REPLACE " " ";" words "${layer}")
  list(POP_FRONT words name)
  set(allowed_${name} ${name} ${words})
endforeach()

# The library of the deepest folder of `path` that is one, into `out`;
# empty when none is.
function(library_of path out)
  get_filename_component(folder "${path}" DIRECTORY)
  while(NOT folder STREQUAL "")
    string(REPLACE "/" "_" name "${folder}")
    if(DEFINED allowed_${name})
      set(${out} ${name} PARENT_SCOPE)
      return()
    endif()
    get_filename_component(folder "${folder}" DIRECTORY)
  endwhile()
  set(${out} "" PARENT_SCOPE)
endfunction()

file(GLOB_RECURSE files RELATIVE ${SOURCE} ${SOURCE}/*.cpp ${SOURCE}/*.hpp)
set(wrong 0)
foreach(file ${files})
  library_of("${file}" library)
  if(library STREQUAL "" AND NOT file MATCHES "/")
    set(library main)
  elseif(library STREQUAL "")
    string(REGEX REPLACE "/[^/]*$" "" folder "${file}")
    message(NOTICE "${file}: folder ${folder}/ is no library of layers.txt")
    math(EXPR wrong "${wrong} + 1")
    continue()
  endif()
  file(STRINGS ${SOURCE}/${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"/]+/")
  foreach(include ${includes})
    string(REGEX REPLACE "^[^\"]*\"([^\"]*)\".*" "\\1" included "${include}")
    library_of("${included}" target)
    if(target STREQUAL "")
      continue()  # no folder of src/
    endif()
    list(FIND allowed_${library} ${target} found)
    if(found EQUAL -1)
      string(REPLACE "_" "/" folder "${target}")
      message(NOTICE "${file}: includes ${folder}/, but ${library} does not depend on ${target}")
      math(EXPR wrong "${wrong} + 1")
    endif()
  endforeach()
endforeach()
if(wrong GREATER 0)
  message(FATAL_ERROR "${wrong} include(s) against the layering")
endif()
list(LENGTH files count)
message(STATUS "${count} files follow the layering")
