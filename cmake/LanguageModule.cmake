# Writes OUT, a language resource module holding one resource a form: each
# form of FORMS (a comma-separated list) under the matching name of NAMES,
# its texts replaced by those of the matching table of TABLES (lines
# "component.property|text"), or, without TABLES, put in brackets (the
# pseudo-language). AWK is FormTexts.awk, which knows a form's texts. The
# module's format is the resource table's override file: a line
# "RESOURCES 1", then for each resource a line "<name> <byte count>", the
# bytes, and a line break.
string(REPLACE "," ";" forms "${FORMS}")
string(REPLACE "," ";" tables "${TABLES}")
string(REPLACE "," ";" names "${NAMES}")
set(module "RESOURCES 1\n")
set(index 0)
foreach(form IN LISTS forms)
  list(GET names ${index} name)
  if(tables)
    list(GET tables ${index} table)
    if(NOT EXISTS ${table})
      message(FATAL_ERROR "${table}: the texts of ${form} in this language are missing")
    endif()
    set(mode -v mode=translate -v table=${table})
  else()
    set(mode -v mode=pseudo)
  endif()
  # Bytes, not characters: the form's UTF-8 passes through unchanged.
  execute_process(COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C awk ${mode} -f ${AWK} ${form}
    OUTPUT_VARIABLE text RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "FormTexts.awk failed on ${form}")
  endif()
  string(LENGTH "${text}" size)
  string(APPEND module "${name} ${size}\n${text}\n")
  math(EXPR index "${index} + 1")
endforeach()
file(WRITE ${OUT} "${module}")
