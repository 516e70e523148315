# Turns a binary file into a C++ source holding its bytes, so that the tool carries its template
# database instead of looking for it at run time. Run with -P; takes INPUT, OUTPUT, NAME.
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){32})" "\\1\n" bytes "${bytes}")
file(WRITE "${OUTPUT}.tmp"
  "// Generated from ${INPUT}; do not edit.\n#include <cstddef>\n#include <cstdint>\n"
  "namespace kw {\nextern const std::uint8_t ${NAME}[${size}] = {\n${bytes}};\n"
  "extern const std::size_t ${NAME}Size = ${size};\n}\n")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
