# Writes OUT, the pseudo-language resource module: each form of FORMS (a
# comma-separated list) with every text the operator reads in brackets
# (PseudoForm.sed), under the matching name of NAMES. A session whose
# Language is "qps" takes it, so that any text shown without brackets is one
# that escapes translation.
string(REPLACE "," ";" forms "${FORMS}")
string(REPLACE "," ";" names "${NAMES}")
set(module "RESOURCES 1\n")
foreach(pair IN ZIP_LISTS forms names)
  execute_process(COMMAND sed -E -f ${SED} ${pair_0} OUTPUT_VARIABLE form RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "sed failed on ${pair_0}")
  endif()
  string(LENGTH "${form}" size)
  string(APPEND module "${pair_1} ${size}\n${form}\n")
endforeach()
file(WRITE ${OUT} "${module}")
