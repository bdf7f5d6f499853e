# Writes a C++ source defining `std::string_view ${FUNCTION}()` that returns the
# bytes of INPUT with CRLF line ends (whatever the line ends of the checkout).
#   cmake -DINPUT=file -DOUTPUT=file.cpp -DHEADER=name.h -DFUNCTION=Name -P embed_text.cmake
file(READ "${INPUT}" hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REPLACE "0x0d," "" bytes "${bytes}")
string(REPLACE "0x0a," "0x0d,0x0a,\n" bytes "${bytes}")
file(WRITE "${OUTPUT}.tmp"
"// Generated from ${INPUT}: do not edit.
#include \"${HEADER}\"

namespace qa {
namespace {
constexpr unsigned char kBytes[] = {
${bytes}0x00};
}  // namespace

std::string_view ${FUNCTION}() {
  return {reinterpret_cast<const char*>(kBytes), sizeof(kBytes) - 1};
}

}  // namespace qa
")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
