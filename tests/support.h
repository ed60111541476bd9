// Shared test fixtures: a control over a fresh temporary data folder, a
// scripted user interface and the bundled host page in an in-memory document.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "control/skerrow.h"
#include "dom/html_document.h"
#include "platform/posix_platform.h"
#include "platform/scripted_platform.h"

namespace vellumine::testing {

// A fresh folder below the system's temporary folder, removed on destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// The bundled host page's HTML.
std::string BundledPage();

// One control on a temporary data folder and a page document.
class Fixture {
 public:
  // page: HTML of the page; nullopt takes the bundled page. The control has
  // loaded the (empty) data folder, so that a test may set its state
  // directly; with load false it has not (a control's first call loads).
  explicit Fixture(std::optional<std::string> page = std::nullopt, bool load = true);

  // A new control and document over the same data folder (a restart); the
  // new control has not loaded the folder yet.
  void Restart(std::optional<std::string> page = std::nullopt);

  CSkerrow& control() { return *control_; }
  ControlState& state() { return control_->state(); }
  HtmlDocument& doc() { return *doc_; }
  ScriptedPlatform& ui() { return *scripted_; }
  // The data folder (ends with "/").
  std::filesystem::path data() const { return dir_.path() / "data"; }
  std::filesystem::path temp() const { return dir_.path(); }

  // Outer HTML of the first element with this id ("" when none).
  std::string Html(const std::u16string& id);
  // Raw bytes of a data file ("" when missing); relative path with "/".
  std::string FileBytes(const std::string& relative) const;
  bool FileExists(const std::string& relative) const;
  // The records of a data file, decoded.
  std::vector<std::u16string> Records(const std::string& relative) const;
  // Writes a data file from records (creating its folders).
  void WriteRecords(const std::string& relative, const std::vector<std::u16string>& records);
  // Messages and questions shown so far, in order.
  std::vector<std::u16string> Messages() const;

 private:
  TempDir dir_;
  PosixPlatform files_;
  std::unique_ptr<ScriptedPlatform> scripted_;
  std::unique_ptr<CSkerrow> control_;
  std::unique_ptr<HtmlDocument> doc_;
};

// What a fresh load of a data folder lists: each memo, link menu and
// wallpaper as one text (its key, then what its own file gives it: a memo's
// texts, a menu's name and links, a wallpaper's path). missing_files counts
// listed items whose own file is missing or unreadable. Equality compares
// the lists.
struct Listed {
  std::vector<std::u16string> memos;
  std::vector<std::u16string> menus;
  std::vector<std::u16string> wallpapers;
  int missing_files = 0;
  bool operator==(const Listed& o) const {
    return memos == o.memos && menus == o.menus && wallpapers == o.wallpapers;
  }
};
Listed LoadListed(const std::filesystem::path& data);
std::string Show(const Listed& listed);
// True when a file of the atomic writer's temporary pattern is in the folder
// or below it.
bool HasTemporaries(const std::filesystem::path& folder);

// Encodes records as a data file's bytes.
std::string EncodeRecords(const std::vector<std::u16string>& records);
// arg quoted for a POSIX shell command line.
std::string ShellQuote(const std::string& arg);
// The whole content of a file ("" when it can't be read).
std::string ReadAll(const std::filesystem::path& path);
// UTF-8 of a UTF-16 text, for readable assertions.
std::string U8(std::u16string_view text);

}  // namespace vellumine::testing
