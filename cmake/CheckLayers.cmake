# Refuses an #include that runs against the direction of the layers:
#   image <- link <- programming <- production <- tools, with ui beside production.
# A folder may include its own headers and those of the folders below it; nothing but ui/
# includes Qt. Run by the build (cmake -P) before any library is compiled.
cmake_minimum_required(VERSION 3.25)

set(_allowed_image image)
set(_allowed_link image link)
set(_allowed_programming image link programming)
set(_allowed_production image link programming production)
set(_allowed_tools image link programming production tools)
set(_allowed_ui image link programming ui)
set(_layers image link programming production tools ui)
set(_project_folders image link programming production tools ui tests bench)

set(_violations "")
foreach(layer IN LISTS _layers)
  file(GLOB_RECURSE files "${SOURCE_DIR}/${layer}/*.h" "${SOURCE_DIR}/${layer}/*.cpp")
  foreach(file IN LISTS files)
    file(STRINGS "${file}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]*)[>\"].*$" "\\1" header
             "${line}")
      file(RELATIVE_PATH shown "${SOURCE_DIR}" "${file}")
      if(NOT layer STREQUAL "ui" AND header MATCHES "^Q[A-Za-z]*(/|$)|^qt[a-z]*/")
        list(APPEND _violations "${shown}: Qt (${header}) belongs to ui/ only")
        continue()
      endif()
      if(header MATCHES "^([a-z_-]+)/")
        set(folder "${CMAKE_MATCH_1}")
        if(folder IN_LIST _project_folders AND NOT folder IN_LIST _allowed_${layer})
          list(APPEND _violations "${shown}: ${layer}/ may not include ${header}")
        endif()
      endif()
    endforeach()
  endforeach()
endforeach()

if(_violations)
  list(JOIN _violations "\n  " text)
  message(FATAL_ERROR "Includes against the layers' direction:\n  ${text}\n"
                      "See the README's Architecture section.")
endif()
file(TOUCH "${STAMP}")
