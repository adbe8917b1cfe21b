cmake_minimum_required(VERSION 3.25)
# The line library knows no language: none of its sources, and none of the
# headers they pull in from the settings, may include a text, the language
# or the prompts. Follows every quoted include from src/link through
# src/link, src/settings and src/res; of src/res only the timer and command
# ids may be reached.
# cmake -DSOURCE_DIR=<project> -P check_link_includes.cmake
set(search_dirs ${SOURCE_DIR}/src/link ${SOURCE_DIR}/src/settings ${SOURCE_DIR}/src/res)
set(allowed_from_res CommandIds.h)

file(GLOB pending ${SOURCE_DIR}/src/link/*.h ${SOURCE_DIR}/src/link/*.cpp)
set(seen "")
set(failures "")
while(pending)
  list(POP_FRONT pending file)
  if(file IN_LIST seen)
    continue()
  endif()
  list(APPEND seen ${file})
  file(STRINGS ${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]+\"")
  foreach(line IN LISTS includes)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]+\"([^\"]+)\".*" "\\1" name "${line}")
    foreach(dir IN LISTS search_dirs)
      if(EXISTS ${dir}/${name})
        if(dir STREQUAL "${SOURCE_DIR}/src/res" AND NOT name IN_LIST allowed_from_res)
          file(RELATIVE_PATH from ${SOURCE_DIR} ${file})
          list(APPEND failures "${from} includes ${name}")
        else()
          list(APPEND pending ${dir}/${name})
        endif()
        break()
      endif()
    endforeach()
  endforeach()
endwhile()

list(LENGTH seen checked)
if(failures)
  list(JOIN failures "\n  " text)
  message(FATAL_ERROR "The line library reaches texts or the language:\n  ${text}")
endif()
message(STATUS "${checked} files of the line library and its settings include no text")
