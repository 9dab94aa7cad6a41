# Checks every #include of the source folders against the layer order of
# layers.txt: a folder may include its own headers and those of folders on
# lines above its own. Project headers count however they are written: with
# quotes or angle brackets; a path with ".." is refused outright, because it
# can name any folder from anywhere. Prints the folder graph it found.
#   cmake -DROOT=<repository> -P check_layers.cmake
if(NOT ROOT)
  message(FATAL_ERROR "usage: cmake -DROOT=<repository> -P check_layers.cmake")
endif()
include(${CMAKE_CURRENT_LIST_DIR}/read_layers.cmake)

# The deepest layer folder that holds `path` (a path relative to the root).
function(unit_of path out)
  set(best "")
  foreach(unit ${units})
    string(LENGTH "${unit}" n)
    string(SUBSTRING "${path}/" 0 ${n} head)
    string(LENGTH "${best}" bestLength)
    if(head STREQUAL unit AND n GREATER bestLength)
      string(SUBSTRING "${path}/" ${n} 1 next)
      if(next STREQUAL "/")
        set(best "${unit}")
      endif()
    endif()
  endforeach()
  set(${out} "${best}" PARENT_SCOPE)
endfunction()

set(errors "")
set(edges "")

# A folder with sources that layers.txt does not name would escape the rule.
file(GLOB_RECURSE all RELATIVE "${ROOT}" "${ROOT}/*.h" "${ROOT}/*.cpp")
foreach(file ${all})
  if(file MATCHES "^(tests|bench|build[^/]*|fuzz|tools)/")
    continue()
  endif()
  get_filename_component(dir "${file}" DIRECTORY)
  unit_of("${dir}" unit)
  if(unit STREQUAL "")
    list(APPEND errors "${file}: its folder is not in layers.txt")
    continue()
  endif()
  file(STRINGS "${ROOT}/${file}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]")
  foreach(line ${includes})
    string(REGEX REPLACE "^[^\"<]*[\"<]([^\">]*)[\">].*$" "\\1" header "${line}")
    if(header MATCHES "(^|/)\\.\\.(/|$)")
      list(APPEND errors "${file} includes ${header}: a path with .. escapes the layers")
      continue()
    endif()
    # Same-folder headers ("name.h") and system or library headers (<vector>,
    # <libavcodec/avcodec.h>) are no project folder's.
    if(NOT header MATCHES "/" OR NOT EXISTS "${ROOT}/${header}")
      continue()
    endif()
    get_filename_component(headerDir "${header}" DIRECTORY)
    unit_of("${headerDir}" target)
    if(target STREQUAL unit)
      continue()
    endif()
    list(APPEND edges "${unit} -> ${target}")
    if(target STREQUAL "")
      list(APPEND errors "${file} includes ${header}, which is in no layer")
    elseif(NOT LEVEL_${target} LESS LEVEL_${unit})
      list(APPEND errors "${file} includes ${header}: ${target} is not below ${unit}")
    endif()
  endforeach()
endforeach()

list(REMOVE_DUPLICATES edges)
list(SORT edges)
string(REPLACE ";" "\n  " graph "${edges}")
message("Folder graph (an arrow points down a layer):\n  ${graph}")
fail_on_errors("Includes against the layer order of layers.txt")
