#include "bench/session.h"

#include <unistd.h>

#include <fstream>
#include <map>
#include <sstream>

#include "page/text.h"

namespace vellumine::bench {
namespace fs = std::filesystem;

namespace {

struct Root {
  fs::path path;
  Root() {
    const fs::path base =
        fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    path = base / ("vellumine-bench-" + std::to_string(getpid()));
    fs::create_directories(path);
  }
  ~Root() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
};

// The generated master folder of each scale, written once per process.
struct Master {
  fs::path folder;
  GeneratedData data;
};

const Master& MasterOf(const Scale& scale) {
  static std::map<std::string, Master> masters;
  auto it = masters.find(scale.name);
  if (it == masters.end()) {
    Master m;
    m.folder = WorkRoot() / ("master-" + scale.name);
    m.data = Generate(m.folder, scale, kToday);
    it = masters.emplace(scale.name, std::move(m)).first;
  }
  return it->second;
}

}  // namespace

const fs::path& WorkRoot() {
  static Root root;
  return root.path;
}

const std::string& BundledPage() {
  static const std::string page = [] {
    std::ifstream in(VELLUMINE_WEB_DIR "/index.html", std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }();
  return page;
}

Session::Session(const Scale& scale, bool init) : scale_(scale) {
  static int serial = 0;
  const Master& master = MasterOf(scale);
  data_ = master.data;
  folder_ = WorkRoot() / (scale.name + "-" + std::to_string(++serial));
  fs::copy(master.folder, folder_, fs::copy_options::recursive);
  Restart();
  if (init) control_->InitPage(*doc_);
}

Session::~Session() {
  control_.reset();
  doc_.reset();
  std::error_code ec;
  fs::remove_all(folder_, ec);
}

void Session::Restart() {
  control_.reset();
  ui_ = std::make_unique<ScriptedPlatform>(files_, Utf8ToUtf16(folder_.string() + "/"));
  ui_->set_today(kToday);
  ui_->set_tick_count(12345);
  control_ = std::make_unique<CSkerrow>(*ui_);
  doc_ = HtmlDocument::Parse(BundledPage());
}

std::size_t Session::TakeMessages() {
  std::size_t n = 0;
  for (const UiEvent& e : ui_->events()) {
    if (e.kind == UiEvent::Kind::kMessage) ++n;
  }
  ui_->clear_events();
  return n;
}

}  // namespace vellumine::bench
