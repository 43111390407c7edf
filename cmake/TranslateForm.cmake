# Writes OUT, a language resource module holding the resource NAME: the form
# FORM with each quoted text listed in TEXTS (original TAB translation, one a
# line) replaced by its translation. The module's format is the resource
# table's override file: a line "RESOURCES 1", then for each resource a line
# "<name> <byte count>", the bytes, and a line break.
file(READ ${FORM} form)
file(STRINGS ${TEXTS} lines ENCODING UTF-8)
foreach(line IN LISTS lines)
  if(line MATCHES "^#" OR line STREQUAL "")
    continue()
  endif()
  string(FIND "${line}" "\t" tab)
  if(tab LESS 0)
    message(FATAL_ERROR "${TEXTS}: a line without a tab: ${line}")
  endif()
  string(SUBSTRING "${line}" 0 ${tab} from)
  math(EXPR start "${tab} + 1")
  string(SUBSTRING "${line}" ${start} -1 to)
  string(FIND "${form}" "${from}" found)
  if(found LESS 0)
    message(FATAL_ERROR "${TEXTS}: ${from} is not in ${FORM}")
  endif()
  string(REPLACE "${from}" "${to}" form "${form}")
endforeach()
string(LENGTH "${form}" size)
file(WRITE ${OUT} "RESOURCES 1\n${NAME} ${size}\n${form}\n")
