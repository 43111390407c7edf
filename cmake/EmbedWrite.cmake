# Writes OUT: a C++ file that registers each of INPUTS with the resource table
# while the library is loaded, and takes them out again when it is unloaded.
set(body "#include \"platform/core/ResourceTable.h\"\n#include <string_view>\nnamespace {\n")
set(regs "")
set(unregs "")
set(i 0)
foreach(f ${INPUTS})
  file(READ ${f} hex HEX)
  string(LENGTH "${hex}" hexlen)
  math(EXPR len "${hexlen} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  get_filename_component(name ${f} NAME)
  string(APPEND body "const unsigned char res${i}[] = {${bytes} 0};\n")
  string(APPEND body "std::string_view view${i}() { return std::string_view(reinterpret_cast<const char*>(res${i}), ${len}); }\n")
  string(APPEND regs "    ResourceTable::Register(\"${name}\", view${i}());\n")
  # Reverse order, and by content, so that a library removes exactly the
  # entries it added even when another one carries the same names.
  string(PREPEND unregs "    ResourceTable::Unregister(\"${name}\", view${i}());\n")
  math(EXPR i "${i} + 1")
endforeach()
string(APPEND body "struct Registrar {\n  Registrar() {\n${regs}  }\n  ~Registrar() {\n${unregs}  }\n} registrar;\n}\n")
file(WRITE ${OUT} "${body}")
