# Writes OUTPUT, a C++ source defining vellumine::cli::BundledPage() over the
# bytes of INPUT. Run as: cmake -DINPUT=... -DOUTPUT=... -P embed_file.cmake
file(READ "${INPUT}" hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){16})" "\\1\n    " bytes "${bytes}")
file(WRITE "${OUTPUT}.tmp"
"// Generated from web/index.html at build time.
#include \"hosts/cli/bundled_page.h\"

namespace vellumine::cli {
namespace {
const unsigned char kPage[] = {
    ${bytes}0};
}  // namespace

std::string_view BundledPage() {
  return {reinterpret_cast<const char*>(kPage), sizeof(kPage) - 1};
}

}  // namespace vellumine::cli
")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
