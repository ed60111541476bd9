// A control over a generated data folder with the bundled page, as the
// benchmarks use it: the folder lives in /dev/shm when there is one, so the
// atomic file replace (write, fsync, rename) costs memory speed, not disk.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "bench/data_gen.h"
#include "control/skerrow.h"
#include "dom/html_document.h"
#include "platform/posix_platform.h"
#include "platform/scripted_platform.h"

namespace vellumine::bench {

// The date every session sees as today.
inline constexpr LocalDate kToday{2026, 6, 15};

// The folder holding every data folder of this process, removed at exit.
const std::filesystem::path& WorkRoot();
// The bundled host page (UTF-8).
const std::string& BundledPage();

class Session;
// Ends the session the benchmarks share (before the work folder goes).
void DropSession();

class Session {
 public:
  // A fresh copy of the scale's generated data, a control and the bundled
  // page; with init, InitPage has run.
  explicit Session(const Scale& scale, bool init = true);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // A new control and page over the same folder (InitPage not yet called).
  void Restart();

  CSkerrow& control() { return *control_; }
  HtmlDocument& doc() { return *doc_; }
  ScriptedPlatform& ui() { return *ui_; }
  ControlState& state() { return control_->state(); }
  const GeneratedData& data() const { return data_; }
  const std::filesystem::path& folder() const { return folder_; }
  const Scale& scale() const { return scale_; }

  // Messages shown since the last call (questions are not counted), cleared.
  std::size_t TakeMessages();

  // Alternation counter carried across the benchmark's repeated runs.
  std::int64_t step = 0;
  // A value a benchmark's setup notes for its checks.
  std::int64_t base = 0;
  // Why the benchmark can't run on this session; empty when it can.
  std::string broken;

 private:
  Scale scale_;
  std::filesystem::path folder_;
  GeneratedData data_;
  PosixPlatform files_;
  std::unique_ptr<ScriptedPlatform> ui_;
  std::unique_ptr<CSkerrow> control_;
  std::unique_ptr<HtmlDocument> doc_;
};

}  // namespace vellumine::bench
