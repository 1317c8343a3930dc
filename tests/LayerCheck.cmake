# The include check of the layers, run on small trees: each case writes one unit into a fresh
# src/low/ that may see only low and base, and says whether the check must pass or which words
# its refusal must hold.
#
#   cmake -DCHECK=cmake/CheckLayer.cmake -DWORK=DIR -P LayerCheck.cmake
set(cases
    # file        include line                          expected
    "A.h|#include \"base/B.h\"|ok"
    "A.cpp|#include \"low/A.h\"|ok"
    "A.cpp|#include <vector>|ok"
    "A.h|#include \"high/C.h\"|low/A.h includes \"high/C.h\": low may include only low, base"
    "A.cpp|  #  include \"high/C.h\" // indented|low/A.cpp includes \"high/C.h\""
    "A.cpp|#include \"../high/C.h\"|write includes as \"folder/File.h\""
    "A.cpp|#include \"base/../high/C.h\"|write includes as \"folder/File.h\""
    "A.cpp|#include \"C.h\"|write includes as \"folder/File.h\""
    "A.cpp|#include \"/usr/include/high/C.h\"|write includes as \"folder/File.h\"")

set(failures 0)
set(n 0)
foreach(case ${cases})
  string(REPLACE "|" ";" fields "${case}")
  list(GET fields 0 file)
  list(GET fields 1 line)
  list(GET fields 2 expected)
  math(EXPR n "${n} + 1")
  set(src ${WORK}/case${n}/src)
  file(REMOVE_RECURSE ${WORK}/case${n})
  file(WRITE ${src}/low/${file} "// case ${n}\n${line}\nint x;\n")
  file(WRITE ${src}/base/B.h "#pragma once\n")
  execute_process(COMMAND ${CMAKE_COMMAND} -DSRC=${src} -DFOLDER=low "-DALLOWED=low;base"
                          -DSTAMP=${WORK}/case${n}/stamp -P ${CHECK}
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(expected STREQUAL "ok")
    if(NOT rc EQUAL 0 OR NOT EXISTS ${WORK}/case${n}/stamp)
      message(SEND_ERROR "case ${n} (${line}): refused, expected to pass:\n${err}")
      math(EXPR failures "${failures} + 1")
    endif()
  else()
    string(FIND "${err}" "${expected}" at)
    if(rc EQUAL 0 OR at EQUAL -1 OR EXISTS ${WORK}/case${n}/stamp)
      message(SEND_ERROR "case ${n} (${line}): rc ${rc}, expected a refusal saying '${expected}':\n${err}")
      math(EXPR failures "${failures} + 1")
    endif()
  endif()
endforeach()
math(EXPR passed "${n} - ${failures}")
message("${passed} passed, ${failures} failed")
