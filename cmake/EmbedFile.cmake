# Writes a C++ source that holds a file's bytes as an array, so that the program carries the
# data it was built with and reads nothing from a path at run time.
# Usage: cmake -DIN=<file> -DOUT=<source.cpp> -DNAMESPACE=<ns> -DSYMBOL=<name> -P EmbedFile.cmake
# The source defines `const unsigned char <SYMBOL>Bytes[]` and `const std::size_t <SYMBOL>Size`.
cmake_minimum_required(VERSION 3.25)
file(READ "${IN}" hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
# Thirty-two bytes a line keeps the generated source readable in a diff or a debugger.
string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){32})" "\\1\n" bytes "${bytes}")
file(WRITE "${OUT}.tmp"
  "// Generated from ${IN}; do not edit.\n"
  "#include <cstddef>\n"
  "namespace ${NAMESPACE} {\n"
  "extern const unsigned char ${SYMBOL}Bytes[];\n"
  "extern const std::size_t ${SYMBOL}Size;\n"
  "const unsigned char ${SYMBOL}Bytes[] = {\n${bytes}0x00};\n"
  "const std::size_t ${SYMBOL}Size = ${size};\n"
  "} // namespace ${NAMESPACE}\n")
file(RENAME "${OUT}.tmp" "${OUT}")
