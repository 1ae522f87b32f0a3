# Writes the bytes of INPUT as the array behind report/certificate_logo.h into OUTPUT.
file(READ ${INPUT} hex HEX)
string(LENGTH "${hex}" hex_length)
math(EXPR size "${hex_length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){16})" "\\1\n" bytes "${bytes}")
file(WRITE ${OUTPUT}
  "// Generated from res/logo@2x.png at build time.\n"
  "#include \"report/certificate_logo.h\"\n\n"
  "namespace ql::report {\n"
  "namespace {\n"
  "const unsigned char kLogo[${size}] = {\n${bytes}\n};\n"
  "}  // namespace\n"
  "std::span<const unsigned char> LogoPng() { return kLogo; }\n"
  "}  // namespace ql::report\n")
