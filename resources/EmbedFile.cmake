# Writes a C++ source that holds a file's bytes as an array behind a function:
#   cmake -DINPUT=file -DOUTPUT=source.cpp -DHEADER=app/X.h -DNAMESPACE=app -DFUNCTION=X -P EmbedFile.cmake
file(READ "${INPUT}" hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n  " bytes "${bytes}")
get_filename_component(name "${INPUT}" NAME)
file(WRITE "${OUTPUT}.tmp" "// Generated at build time from ${name}.
#include \"${HEADER}\"

namespace ${NAMESPACE} {
namespace {

constexpr unsigned char kBytes[] = {
  ${bytes}
};

}  // namespace

std::span<const unsigned char> ${FUNCTION}() {
  return kBytes;
}

}  // namespace ${NAMESPACE}
")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
