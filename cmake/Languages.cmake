# The product's languages besides Portuguese, read from cmake/Languages.txt:
#   SERVCLIENTE_LANGUAGES             every code
#   SERVCLIENTE_TRANSLATED_LANGUAGES  the codes whose texts are translation tables
file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/Languages.txt SERVCLIENTE_LANGUAGE_LINES REGEX "^[^#]")
set(SERVCLIENTE_LANGUAGES)
set(SERVCLIENTE_TRANSLATED_LANGUAGES)
foreach(line IN LISTS SERVCLIENTE_LANGUAGE_LINES)
  if(NOT line MATCHES "^([a-zA-Z_]+)[ \t]+(translated|pseudo)[ \t]*$")
    message(FATAL_ERROR "cmake/Languages.txt: not \"<code> translated\" or \"<code> pseudo\": ${line}")
  endif()
  list(APPEND SERVCLIENTE_LANGUAGES ${CMAKE_MATCH_1})
  if(CMAKE_MATCH_2 STREQUAL "translated")
    list(APPEND SERVCLIENTE_TRANSLATED_LANGUAGES ${CMAKE_MATCH_1})
  endif()
endforeach()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/Languages.txt)

# language_modules(PACKAGE FORMS form... TABLES table...) builds, beside the
# package module PACKAGE, one language resource module a language
# (PACKAGE.so.<code>): each form with its texts in that language, under the
# form's file name. TABLES pairs with FORMS; "<lang>" in a table's name stands
# for the language's code. A pseudo-language takes no tables.
function(language_modules package)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "FORMS;TABLES")
  set(script ${PROJECT_SOURCE_DIR}/cmake/LanguageModule.cmake)
  set(awk ${PROJECT_SOURCE_DIR}/cmake/FormTexts.awk)
  set(names)
  foreach(form IN LISTS arg_FORMS)
    get_filename_component(name ${form} NAME)
    list(APPEND names ${name})
  endforeach()
  string(REPLACE ";" "," forms_arg "${arg_FORMS}")
  string(REPLACE ";" "," names_arg "${names}")
  foreach(code IN LISTS SERVCLIENTE_LANGUAGES)
    set(out ${CMAKE_BINARY_DIR}/bin/${package}.so.${code})
    set(tables)
    if(code IN_LIST SERVCLIENTE_TRANSLATED_LANGUAGES)
      string(REPLACE "<lang>" "${code}" tables "${arg_TABLES}")
    endif()
    string(REPLACE ";" "," tables_arg "${tables}")
    add_custom_command(
      OUTPUT ${out}
      COMMAND ${CMAKE_COMMAND} -DFORMS=${forms_arg} -DTABLES=${tables_arg} -DNAMES=${names_arg} -DAWK=${awk}
              -DOUT=${out} -P ${script}
      DEPENDS ${arg_FORMS} ${tables} ${script} ${awk}
      COMMENT "Language resource module ${package}.so.${code}")
    add_custom_target(${package}_${code} ALL DEPENDS ${out})
    add_dependencies(${package} ${package}_${code})
  endforeach()
endfunction()
