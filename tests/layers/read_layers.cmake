# Reads ${ROOT}/layers.txt: `units` lists its folders from the bottom up and
# LEVEL_<folder> holds the line of each (0 for the bottom line).
file(STRINGS "${ROOT}/layers.txt" lines REGEX "^[^#]")
set(units "")
set(level 0)
foreach(line ${lines})
  string(REGEX REPLACE "[ \t]+" ";" folders "${line}")
  foreach(unit ${folders})
    list(APPEND units ${unit})
    set(LEVEL_${unit} ${level})
  endforeach()
  math(EXPR level "${level} + 1")
endforeach()

# Stops with the sorted `errors` under `heading` when there are any.
function(fail_on_errors heading)
  if(errors)
    string(REPLACE ";" "\n  " text "${errors}")
    message(FATAL_ERROR "${heading}:\n  ${text}")
  endif()
endfunction()
