// One live control on its own data folder and page, run call by call by the
// soak, with its checks after each call.
//
// What the checks compare, and why:
//  - Every call: the files are read back with the loaders InitPage uses
//    (config, wplist + wp settings, link index + menu files, memolist + memo
//    files) into an empty state, and compared field by field with the live
//    state. Left out by design: a window record's ItemNum (never stored), a
//    link menu's PageNum (reaches the index only with the next index write),
//    the memo list page and the calendar month (memory only); a record that
//    ChangeWindowOption appended before refusing the change (saved with the
//    next accepted one); and a fixed panel's record that InitPage cut to its
//    first unit in a wallpaper that was not current (saved when next applied).
//  - Every K calls: the data folder is copied, a fresh control runs InitPage on
//    the copy with a fresh page and the same today. The live control's
//    memory-only view is then brought onto the fresh one: the calendar month
//    (SetCalender), the memo list page (ChangeMemoPage) and each link menu's
//    page (ChangeLinkPage where it differs). Both controls then draw their memo
//    and link windows, window layout, styles and option texts again, so that
//    the pages differ only where the files differ (with
//    VELLUMINE_SOAK_AS_DRAWN=1 the live page is compared as its calls left it,
//    which also finds fragments a call forgot to redraw; =2 leaves out the
//    frame option texts of windows without a record, see
//    Session::WriteUnlistedFrameTexts). Both show the same date (ChangeDate)
//    and the same menu's link list (ChangeLinkMenu), which InitPage cannot
//    know. The content elements are compared with every style attribute
//    removed: positions, colours and fonts are styles derived from the window
//    lists and options that the per-call check compares, and the page keeps
//    styles of windows a wallpaper switch no longer lists. The calendar keeps
//    its inner styles (they are its markup). Left out: "bgimg" (after removing
//    a wallpaper before the current one the page keeps the former picture until
//    the next SetBG), "linkfilename" and "linkmenunum" (form fields the pickers
//    and MakeLinkMenu fill for the user's next command).
//  - The checks never disturb the live run's random numbers: the fresh control
//    draws its keys from an engine of its own.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "control/skerrow.h"
#include "dom/html_document.h"
#include "model/state.h"
#include "platform/posix_platform.h"
#include "soak/soak_calls.h"

namespace vellumine::soak {

namespace fs = std::filesystem;

struct Fault {
  std::size_t call = 0;  // index of the call after which the check failed
  std::string kind;      // which check
  std::string detail;
};

enum class CheckMode {
  kEvery,    // state after every call, page every K calls and after the last
  kSparse,   // state every K calls, both after the last (tables near their limits)
  kLastOnly  // both only after the last call (used while shrinking)
};

// The session's platform: dialogs answered as the running call says.
class SoakPlatform;

class Session {
 public:
  // A control on a data folder of its own (in a folder of this process's,
  // with pictures and files for the calls to name) and a fresh page, after
  // InitPage. full_every: the page check's interval; as_drawn: 1 compares
  // the live page as its calls left it, 2 as well, with the frame option
  // texts of windows without a record rewritten on both pages.
  Session(const std::string& page, std::size_t full_every, int as_drawn);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  fs::path data() const { return root_ / "data"; }
  fs::path pictures() const { return root_ / "pics"; }
  CSkerrow& control() { return *control_; }
  const ControlState& state() const { return control_->state(); }
  const std::vector<std::u16string>& paths() const { return paths_; }

  // A picture of its own for the i-th item that needs a distinct file (a
  // wallpaper, a link), made on first use.
  std::u16string FillPicture(std::size_t i) const;

  // What the tables hold, and what the sequence made the user see.
  std::string Summary() const;

  // Runs one call and checks; index is the call's place in the sequence.
  std::optional<Fault> Step(const Call& call, std::size_t index, bool last, CheckMode mode);

 private:
  void MakePictures();

  // The window name a call passes, its reference resolved against the tables.
  TextArg WindowArg(const Call& c) const;

  HResult Run(const Call& c);

  std::optional<std::string> CheckLimits() const;

  // The files read back as InitPage reads them, compared with the live state.
  std::optional<std::string> CheckStored();

  // RefreshOptionTexts rewrites the frame option texts of windows with a
  // record in the global list only; the frame of a window without one keeps
  // what it was drawn with. With VELLUMINE_SOAK_AS_DRAWN=2 both pages get the
  // current page-wide texts there, so that other stale fragments show.
  static void WriteUnlistedFrameTexts(const ControlState& live, Document& doc);

  std::optional<std::string> CheckPage();

  std::string page_;
  std::size_t full_every_;
  int as_drawn_;
  fs::path root_;
  PosixPlatform files_;
  std::unique_ptr<SoakPlatform> platform_;
  std::unique_ptr<CSkerrow> control_;
  std::unique_ptr<HtmlDocument> doc_;
  std::vector<std::u16string> paths_;
  LocalDate last_date_{2026, 12, 7};
  std::int32_t last_menu_ = 0;
  std::chrono::steady_clock::duration calls_time_{};
  std::chrono::steady_clock::duration stored_time_{};
  std::chrono::steady_clock::duration page_time_{};
  // The files as last read.
  std::unique_ptr<ControlState> stored_;
  // Windows named by ChangeWindowOption since the files last matched.
  std::vector<std::u16string> pending_windows_;
};

}  // namespace vellumine::soak
