# Fails when a unit of one layer includes a folder that the layer may not see: run by the build
# before a layer is compiled (so a header that no unit of its own layer includes is checked too),
# and by the tests on small trees of their own.
#
#   cmake -DSRC=DIR -DFOLDER=NAME -DALLOWED="a;b;c" [-DEXCLUDE=REGEX] [-DSTAMP=FILE] -P CheckLayer.cmake
#
# Units whose path matches EXCLUDE (those the build leaves out on this platform) are passed over.
#
# Every quoted include of SRC/FOLDER/*.h and *.cpp must be written "folder/File.h" from SRC,
# with a folder in ALLOWED; a path that climbs with ".." or starts at the root is refused too.
# On success, STAMP (when given) is touched.
foreach(var SRC FOLDER ALLOWED)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "CheckLayer.cmake: ${var} is not set")
  endif()
endforeach()

file(GLOB files "${SRC}/${FOLDER}/*.h" "${SRC}/${FOLDER}/*.cpp")
if(EXCLUDE)
  list(FILTER files EXCLUDE REGEX "${EXCLUDE}")
endif()
list(SORT files)
set(faults "")
foreach(file ${files})
  file(STRINGS "${file}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  file(RELATIVE_PATH name "${SRC}" "${file}")
  foreach(line ${lines})
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*$" "\\1" path "${line}")
    if(path MATCHES "^/" OR path MATCHES "(^|/)\\.\\.(/|$)" OR NOT path MATCHES "^([^/]+)/[^/]+$")
      list(APPEND faults "${name} includes \"${path}\": write includes as \"folder/File.h\"")
      continue()
    endif()
    string(REGEX REPLACE "/.*$" "" folder "${path}")
    list(FIND ALLOWED "${folder}" found)
    if(found EQUAL -1)
      string(REPLACE ";" ", " allowed "${ALLOWED}")
      list(APPEND faults "${name} includes \"${path}\": ${FOLDER} may include only ${allowed}")
    endif()
  endforeach()
endforeach()

if(faults)
  string(REPLACE ";" "\n  " text "${faults}")
  message(FATAL_ERROR "Includes that leave the layer:\n  ${text}")
endif()
if(DEFINED STAMP)
  file(TOUCH "${STAMP}")
endif()
