# Writes OUTPUT, a C++ source holding the compiled resource file RES as the
# array SYMBOL and its size SYMBOL_size. With REGISTER on, the array is
# handed to the POSIX layer, when the module it is linked into loads, as
# that module's resources.
file(READ ${RES} hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
get_filename_component(name ${RES} NAME)
set(body "// Generated from ${name} by ui/resources/embed.cmake; do not edit.\n#include <stddef.h>\n\n")
string(APPEND body "extern const unsigned char ${SYMBOL}[];\nextern const size_t ${SYMBOL}_size;\n\n")
string(APPEND body "alignas(4) const unsigned char ${SYMBOL}[] = {\n${bytes}};\n")
string(APPEND body "const size_t ${SYMBOL}_size = sizeof ${SYMBOL};\n")
if(REGISTER)
  string(APPEND body "\n#include \"platform/posix/posix_windows.h\"\n\nnamespace {\n\nint Register() {\n")
  string(APPEND body "    PosixAddEmbeddedResources(${SYMBOL}, sizeof ${SYMBOL});\n    return 1;\n}\n\n}  // namespace\n\n")
  string(APPEND body "extern \"C\" int tarn2_embedded_resources;\nint tarn2_embedded_resources = Register();\n")
endif()
file(WRITE ${OUTPUT} "${body}")
