// vellumine_bench_mem: writes data folders and measures memory.
//
//   vellumine_bench_mem gen full|tenth DIR
//       writes a data folder; prints files= and bytes=
//   vellumine_bench_mem empty
//       what a control with no data adds to the process: the peak resident
//       size before and after a control on an empty data folder has run
//       InitPage on the bundled page; prints before=, after=, added=
//   vellumine_bench_mem initpage DIR
//       InitPage on DIR in this process; prints peak=, page_bytes=,
//       data_bytes=
//
// Sizes are bytes; the peak resident size is the kernel's VmHWM.
#include <cstdio>
#include <fstream>
#include <string>

#include "bench/data_gen.h"
#include "bench/session.h"
#include "page/text.h"

namespace vellumine::bench {
namespace {

namespace fs = std::filesystem;

long long StatusBytes(const char* key) {
  std::ifstream in("/proc/self/status");
  std::string line;
  const std::string prefix = std::string(key) + ":";
  while (std::getline(in, line)) {
    if (line.rfind(prefix, 0) == 0) return std::stoll(line.substr(prefix.size())) * 1024;
  }
  return -1;
}

// A control on folder with the bundled page, InitPage, and the final page.
std::string RunInitPage(const fs::path& folder) {
  PosixPlatform files;
  ScriptedPlatform ui(files, Utf8ToUtf16(folder.string() + "/"));
  ui.set_today(kToday);
  CSkerrow control(ui);
  auto doc = HtmlDocument::Parse(BundledPage());
  control.InitPage(*doc);
  return doc->Serialize();
}

int Usage() {
  std::fputs("usage: vellumine_bench_mem gen full|tenth DIR | empty | initpage DIR\n", stderr);
  return 2;
}

int Main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "gen" && argc == 4) {
    const GeneratedData data = Generate(argv[3], ScaleNamed(argv[2]), kToday);
    std::printf("files=%zu\nbytes=%ju\n", data.files, data.bytes);
    return 0;
  }
  if (mode == "empty" && argc == 2) {
    BundledPage();  // the page text belongs to the host, not the control
    const fs::path folder = WorkRoot() / "empty";
    const long long before = StatusBytes("VmHWM");
    const std::size_t page = RunInitPage(folder).size();
    const long long after = StatusBytes("VmHWM");
    std::printf("before=%lld\nafter=%lld\nadded=%lld\npage_bytes=%zu\n", before, after,
                after - before, page);
    return 0;
  }
  if (mode == "initpage" && argc == 3) {
    const fs::path folder = argv[2];
    const std::uintmax_t data = FolderBytes(folder);
    const std::size_t page = RunInitPage(folder).size();
    std::printf("peak=%lld\npage_bytes=%zu\ndata_bytes=%ju\n", StatusBytes("VmHWM"), page, data);
    return 0;
  }
  return Usage();
}

}  // namespace
}  // namespace vellumine::bench

int main(int argc, char** argv) { return vellumine::bench::Main(argc, argv); }
