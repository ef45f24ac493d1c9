# Writes the DLL's module-definition file (.def) from the version script: every function the
# objects define whose name matches a pattern of the script's "global:" list (orgsynth_*), so
# that a function added to the C API is exported on Windows with no second list to keep.
# Run as a script: cmake -DMAP=orgsynth.map -DNM=nm -DOBJECTS=a.obj;b.obj -DLIBRARY=x.dll
#                        -DOUT=x.def -P windows_exports.cmake
file(READ "${MAP}" map)
string(REGEX REPLACE "/\\*[^*]*\\*+([^/*][^*]*\\*+)*/" "" map "${map}")  # comments
string(REPLACE ";" " " map "${map}")  # the script's ';' would split CMake's lists
# Each version node's "global:" list, up to its "local:" or its end (later versions may add nodes).
string(REGEX MATCHALL "global:[^}]*" sections "${map}")
set(expressions "")
foreach(section IN LISTS sections)
  string(REGEX REPLACE "^global:" "" section "${section}")
  string(REGEX REPLACE "local:.*" "" section "${section}")
  string(REGEX MATCHALL "[A-Za-z_][A-Za-z0-9_*]*" patterns "${section}")
  foreach(pattern IN LISTS patterns)
    string(REPLACE "*" "[A-Za-z0-9_]*" expression "${pattern}")
    list(APPEND expressions "^${expression}$")
  endforeach()
endforeach()
if(NOT expressions)
  message(FATAL_ERROR "${MAP}: no global names")
endif()

execute_process(COMMAND "${NM}" --defined-only --extern-only ${OBJECTS}
                OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
string(REPLACE "\n" ";" lines "${symbols}")
set(exports "")
foreach(line IN LISTS lines)
  # "0000000000000000 T orgsynth_version": code only (T), as the C API holds functions only.
  if(NOT line MATCHES "^[0-9a-fA-F]+ T ([A-Za-z_][A-Za-z0-9_]*)$")
    continue()
  endif()
  set(name "${CMAKE_MATCH_1}")
  foreach(expression IN LISTS expressions)
    if(name MATCHES "${expression}")
      list(APPEND exports "${name}")
      break()
    endif()
  endforeach()
endforeach()
list(REMOVE_DUPLICATES exports)
list(SORT exports)
if(NOT exports)
  message(FATAL_ERROR "no function of ${OBJECTS} matches ${MAP}")
endif()
list(JOIN exports "\n  " body)
file(WRITE "${OUT}.new" "LIBRARY ${LIBRARY}\nEXPORTS\n  ${body}\n")
file(COPY_FILE "${OUT}.new" "${OUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUT}.new")
