#include "tests/support.h"

#include <fstream>
#include <random>
#include <sstream>

#include "platform/platform.h"
#include "store/records.h"

namespace vellumine::testing {
namespace fs = std::filesystem;

TempDir::TempDir() {
  std::random_device rd;
  for (;;) {
    path_ = fs::temp_directory_path() / ("vellumine-test-" + std::to_string(rd()));
    if (fs::create_directory(path_)) break;
  }
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

std::string BundledPage() {
  std::ifstream in(VELLUMINE_WEB_DIR "/index.html", std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

Fixture::Fixture(std::optional<std::string> page, bool load) {
  Restart(std::move(page));
  if (load) control_->LoadState();
}

void Fixture::Restart(std::optional<std::string> page) {
  control_.reset();
  scripted_ = std::make_unique<ScriptedPlatform>(files_, Utf8ToUtf16(data().string() + "/"));
  control_ = std::make_unique<CSkerrow>(*scripted_);
  doc_ = HtmlDocument::Parse(page ? *page : BundledPage());
}

std::string Fixture::Html(const std::u16string& id) { return doc_->OuterHtmlById(id).value_or(""); }

std::string Fixture::FileBytes(const std::string& relative) const {
  return ReadAll(data() / relative);
}

bool Fixture::FileExists(const std::string& relative) const {
  return fs::exists(data() / relative);
}

std::vector<std::u16string> Fixture::Records(const std::string& relative) const {
  const std::string bytes = FileBytes(relative);
  RecordReader reader(bytes);
  std::vector<std::u16string> out;
  std::u16string record;
  while (reader.Next(&record)) out.push_back(record);
  return out;
}

void Fixture::WriteRecords(const std::string& relative,
                           const std::vector<std::u16string>& records) {
  const fs::path path = data() / relative;
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << EncodeRecords(records);
}

std::vector<std::u16string> Fixture::Messages() const {
  std::vector<std::u16string> out;
  for (const UiEvent& e : scripted_->events()) {
    if (e.kind == UiEvent::Kind::kMessage || e.kind == UiEvent::Kind::kQuestion) {
      out.push_back(e.text);
    }
  }
  return out;
}

Listed LoadListed(const fs::path& data) {
  PosixPlatform files;
  ScriptedPlatform ui(files, Utf8ToUtf16(data.string() + "/"));
  CSkerrow control(ui);
  control.LoadState();
  const ControlState& s = control.state();
  Listed out;
  for (const MemoEntry& m : s.memos) {
    if (!m.subject) ++out.missing_files;
    out.memos.push_back(KeyHex(m.key) + u":" + m.subject.value_or(u"?") + u":" +
                        m.message.value_or(u"?"));
  }
  for (const LinkMenu& m : s.menus) {
    if (!fs::is_regular_file(data / "linkmenu" / U8(KeyHex(m.key)))) ++out.missing_files;
    std::u16string text = KeyHex(m.key) + u":" + m.name;
    for (const LinkEntry& l : m.links) text += u"|" + l.path;
    out.menus.push_back(text);
  }
  for (const WallPaperEntry& wp : s.wallpapers) {
    if (!fs::is_regular_file(data / "wp" / U8(KeyHex(wp.key)))) ++out.missing_files;
    out.wallpapers.push_back(KeyHex(wp.key) + u":" + wp.path);
  }
  return out;
}

std::string Show(const Listed& listed) {
  std::string out;
  for (const auto& group : {listed.memos, listed.menus, listed.wallpapers}) {
    out += "[";
    for (const auto& item : group) out += U8(item) + " ";
    out += "] ";
  }
  return out;
}

bool HasTemporaries(const fs::path& folder) {
  std::error_code ec;
  for (const auto& entry : fs::recursive_directory_iterator(folder, ec)) {
    if (IsTemporaryName(Utf8ToUtf16(entry.path().filename().string()))) return true;
  }
  return false;
}

std::string EncodeRecords(const std::vector<std::u16string>& records) {
  std::string out;
  for (const std::u16string& r : records) {
    const std::uint32_t n = static_cast<std::uint32_t>(r.size());
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((n >> (8 * i)) & 0xFF));
    for (char16_t u : r) {
      out.push_back(static_cast<char>(u & 0xFF));
      out.push_back(static_cast<char>(u >> 8));
    }
  }
  return out;
}

std::string ShellQuote(const std::string& arg) {
  std::string quoted = "'";
  for (char c : arg) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string U8(std::u16string_view text) { return Utf16ToUtf8(text); }

}  // namespace vellumine::testing
