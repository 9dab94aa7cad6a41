# Feeds the include and link checks small trees with one fault each (and some
# without) and expects each fault to be refused, naming the file or the link.
#   cmake -DWORK=<scratch folder> -P check_layers_selftest.cmake
if(NOT WORK)
  message(FATAL_ERROR "usage: cmake -DWORK=<folder> -P check_layers_selftest.cmake")
endif()
cmake_policy(SET CMP0007 NEW)  # keep the empty last field of a case
set(here ${CMAKE_CURRENT_LIST_DIR})

# Each case: name | file | its line | expected text ("" for a pass).
set(cases
  "quoted_down|high/b.cpp|#include \"low/a.h\"|"
  "angle_down|high/b.cpp|#include <low/a.h>|"
  "library_header|low/a.cpp|#include <libavcodec/avcodec.h>|"
  "quoted_up|low/a.cpp|#include \"high/b.h\"|low/a.cpp includes high/b.h: high is not below low"
  "angle_up|low/a.cpp|#  include <high/b.h>|low/a.cpp includes high/b.h: high is not below low"
  "dot_dot|low/a.cpp|#include \"../high/b.h\"|a path with .. escapes the layers"
  "same_line|low/a.cpp|#include \"side/c.h\"|side is not below low"
  "unlisted|other/d.cpp|#include \"low/a.h\"|other/d.cpp: its folder is not in layers.txt"
  # Links, as the configure step writes them into graph.txt: a library of a
  # lower folder linking one above it, or one beside it.
  "links_down|graph.txt|high low|"
  "links_up|graph.txt|low high|low links high: high is not below low"
  "links_beside|graph.txt|low side|side is not below low")

set(failures "")
function(expect name result output expected)
  if(expected STREQUAL "")
    if(NOT result EQUAL 0)
      list(APPEND failures "${name}: refused a good tree:\n${output}")
    endif()
  elseif(result EQUAL 0)
    list(APPEND failures "${name}: passed a tree it should refuse")
  else()
    string(FIND "${output}" "${expected}" at)
    if(at EQUAL -1)
      list(APPEND failures "${name}: the refusal does not say \"${expected}\":\n${output}")
    endif()
  endif()
  set(failures "${failures}" PARENT_SCOPE)
endfunction()

foreach(case ${cases})
  string(REPLACE "|" ";" fields "${case}")
  list(GET fields 0 name)
  list(GET fields 1 file)
  list(GET fields 2 line)
  list(LENGTH fields count)
  set(expected "")
  if(count GREATER 3)
    list(GET fields 3 expected)
  endif()
  set(root ${WORK}/${name})
  file(REMOVE_RECURSE ${root})
  file(WRITE ${root}/layers.txt "# bottom first\nlow side\nhigh\n")
  file(WRITE ${root}/low/a.h "#pragma once\n")
  file(WRITE ${root}/high/b.h "#pragma once\n")
  file(WRITE ${root}/side/c.h "#pragma once\n")
  file(WRITE ${root}/${file} "${line}\n")
  if(file STREQUAL "graph.txt")
    set(check -DGRAPH=${root}/graph.txt -P ${here}/check_links.cmake)
  else()
    set(check -P ${here}/check_layers.cmake)
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} -DROOT=${root} ${check}
    RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  expect("${name}" "${result}" "${out}${err}" "${expected}")
endforeach()

if(failures)
  string(REPLACE ";" "\n" text "${failures}")
  message(FATAL_ERROR "${text}")
endif()
