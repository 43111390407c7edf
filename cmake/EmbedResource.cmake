# embed_resources(TARGET NAME file...) compiles the files into TARGET as a
# table of named byte strings, looked up at run time by file name.
function(embed_resources target)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.cpp)
  set(inputs)
  foreach(f ${ARGN})
    get_filename_component(abs ${f} ABSOLUTE)
    list(APPEND inputs ${abs})
  endforeach()
  # VERBATIM keeps the list one argument, its separators quoted for the shell.
  add_custom_command(
    OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -DOUT=${out} "-DINPUTS=${inputs}" -P ${PROJECT_SOURCE_DIR}/cmake/EmbedWrite.cmake
    DEPENDS ${inputs} ${PROJECT_SOURCE_DIR}/cmake/EmbedWrite.cmake
    COMMENT "Embedding resources of ${target}"
    VERBATIM)
  target_sources(${target} PRIVATE ${out})
endfunction()
