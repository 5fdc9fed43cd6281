# Writes a C++ source that embeds files as module resources.
# Called at build time: cmake -DOUTPUT=out.cpp -DRESOURCES="NAME=path|NAME=path" -P EmbedResources.cmake
string(REPLACE "|" ";" RESOURCES "${RESOURCES}")
set(body "// Generated at build time; do not edit.\n#include \"rtl/Resources.h\"\n\nnamespace {\n")
set(regs "")
set(index 0)
foreach(entry IN LISTS RESOURCES)
  string(FIND "${entry}" "=" eq)
  string(SUBSTRING "${entry}" 0 ${eq} name)
  math(EXPR from "${eq} + 1")
  string(SUBSTRING "${entry}" ${from} -1 path)
  file(READ "${path}" hex HEX)
  string(LENGTH "${hex}" hexlen)
  if(hexlen EQUAL 0)
    set(bytes "0")
    set(size 0)
  else()
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
    math(EXPR size "${hexlen} / 2")
  endif()
  string(APPEND body "const unsigned char Resource${index}[] = {${bytes}};\n")
  string(APPEND regs "    RegisterResource(Module, u\"${name}\", Resource${index}, ${size});\n")
  math(EXPR index "${index} + 1")
endforeach()
string(APPEND body "
struct TResourceTable {
  HINSTANCE Module;
  TResourceTable() : Module(FindHInstance(&Resource0[0])) {
${regs}  }
  ~TResourceTable() { UnregisterResources(Module); }
} ResourceTable;
} // namespace
")
file(WRITE "${OUTPUT}.tmp" "${body}")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
