# Checks the libraries' link graph against layers.txt: the library of a folder
# links only libraries of folders on lines above its own. GRAPH is the file the
# configure step writes, one "folder dependency-folder" pair per line.
#   cmake -DROOT=<repository> -DGRAPH=<build>/link_graph.txt -P check_links.cmake
if(NOT ROOT OR NOT GRAPH)
  message(FATAL_ERROR "usage: cmake -DROOT=<repository> -DGRAPH=<file> -P check_links.cmake")
endif()
include(${CMAKE_CURRENT_LIST_DIR}/read_layers.cmake)

set(errors "")
file(STRINGS "${GRAPH}" pairs)
foreach(pair ${pairs})
  string(REPLACE " " ";" ends "${pair}")
  list(GET ends 0 from)
  list(GET ends 1 to)
  if(NOT DEFINED LEVEL_${from} OR NOT DEFINED LEVEL_${to})
    list(APPEND errors "${from} links ${to}: a folder not in layers.txt")
  elseif(NOT LEVEL_${to} LESS LEVEL_${from})
    list(APPEND errors "${from} links ${to}: ${to} is not below ${from}")
  endif()
endforeach()
fail_on_errors("Links against the layer order of layers.txt")
