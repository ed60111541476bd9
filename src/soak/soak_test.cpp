// Randomised soak: long seeded sequences of every control method, with valid
// and invalid arguments, against the in-memory page. After every call the
// state the files hold must be the state the control holds, and every K calls
// (and at the end) a fresh control that starts on a copy of the data folder
// must render the same page as the live one.
//
// What "the same" means, and why:
//  - Every call: the files are read back with the loaders InitPage uses
//    (config, wplist + wp settings, link index + menu files, memolist + memo
//    files) into an empty state, and compared field by field with the live
//    state. Left out by design: a window record's ItemNum (never stored), a
//    link menu's PageNum (reaches the index only with the next index write),
//    the memo list page and the calendar month (memory only); a record that
//    ChangeWindowOption appended before refusing the change (saved with the
//    next accepted one); and a fixed panel's record that InitPage cut to its
//    first unit in a wallpaper that was not current (saved when next applied).
//  - Every K calls: the data folder is copied, a fresh control runs InitPage
//    on the copy with a fresh page and the same today. The live control's
//    memory-only view is then brought onto the fresh one: the calendar month
//    (SetCalender), the memo list page (ChangeMemoPage) and each link menu's
//    page (ChangeLinkPage where it differs). Both controls then draw their
//    memo and link windows, window layout, styles and option texts again, so
//    that the pages differ only where the files differ (with
//    VELLUMINE_SOAK_AS_DRAWN=1 the live page is compared as its calls left
//    it, which also finds fragments a call forgot to redraw; =2 leaves out
//    the frame option texts of windows without a record, see below). Both show the
//    same date (ChangeDate) and the same menu's link list (ChangeLinkMenu),
//    which InitPage cannot know. The content elements are compared with every
//    style attribute removed: positions, colours and fonts are styles derived
//    from the window lists and options that the per-call check compares, and
//    the page keeps styles of windows a wallpaper switch no longer lists. The
//    calendar keeps its inner styles (they are its markup). Left out: "bgimg"
//    (after removing a wallpaper before the current one the page keeps the
//    former picture until the next SetBG), "linkfilename" and "linkmenunum"
//    (form fields the pickers and MakeLinkMenu fill for the user's next
//    command).
//  - The checks never disturb the live run's random numbers: the process-wide
//    random source is saved before and restored after them.
//
// Knobs (environment): VELLUMINE_SOAK_CALLS (default 300), VELLUMINE_SOAK_SEED,
// VELLUMINE_SOAK_EVERY (page check interval, default 25, up to 100 for long runs),
// VELLUMINE_SOAK_TRACE=1 prints every call before it runs (for a crash, with the seed),
// VELLUMINE_SOAK_AS_DRAWN=1 (above), VELLUMINE_SOAK_SHRINK_SECONDS (default
// 300). A failure prints the seed and the shortest call sequence found in
// that time that still fails.
//
// Soak.TablesFillToTheirLimitsAndNoFurther is a mode of its own: it drives
// each table (memos, link menus, one menu's links, wallpapers, both window
// lists) to its limit and a few calls past it, checking the limits after
// every call and the files every 100 calls.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "control/methods.h"
#include "control/option_texts.h"
#include "control/skerrow.h"
#include "control/windows.h"
#include "dom/html_document.h"
#include "links/link_store.h"
#include "links/link_windows.h"
#include "model/messages.h"
#include "model/state.h"
#include "organiser/memo_store.h"
#include "organiser/memo_windows.h"
#include "page/text.h"
#include "page/wide_format.h"
#include "platform/posix_platform.h"
#include "platform/scripted_platform.h"
#include "store/records.h"
#include "store/settings.h"
#include "store/store.h"
#include "tests/support.h"

namespace vellumine::soak {
namespace {

namespace fs = std::filesystem;

// ---------------------------------------------------------------------------
// Calls

enum class M {
  SetBG_Random,
  SetCalender,
  AddWallPaper,
  RemoveWallPaper,
  SetBG,
  SetWndPos,
  InitPage,
  ChangeOption,
  OpenFile,
  OpenFolder,
  AddLink,
  ChangeLink,
  RemoveLink,
  Open,
  ChangeLinkPage,
  ChangeDate,
  ChangeSchedule,
  AddMemo,
  RenewMemo,
  RemoveMemo,
  EditMemo,
  MakeLinkMenu,
  ChangeLinkMenu,
  RemoveLinkMenu,
  PermuteLink,
  ChangeWindowOption,
  ChangeMemoPage,
  kCount
};

// The calls are the method table's, in its order.
const Method& MethodOf(M m) { return Methods()[static_cast<std::size_t>(m)]; }

// One method call with its arguments and the user's answers to whatever
// dialog it shows. Texts and numbers are used in the order the method takes
// them.
// A memo or link menu window named by the item's place in its table, so that
// a shrunk sequence names the same window though the keys drawn differ.
struct WindowRef {
  enum class Kind { kNone, kMemo, kLink, kMenuName };
  Kind kind = Kind::kNone;
  std::size_t index = 0;
};

struct Call {
  M method = M::EditMemo;
  WindowRef window;  // when set, replaces the first text
  std::vector<std::int32_t> n;
  std::vector<TextArg> t;
  Answer answer = Answer::kNo;         // a Yes/No question
  std::optional<FontChoice> font;      // the font dialog; nullopt cancels
  std::optional<std::u16string> pick;  // the file or folder picker; nullopt cancels
};

std::string Quote(const TextArg& text) {
  if (!text) return "null";
  std::ostringstream out;
  out << "u\"";
  const std::size_t shown = std::min<std::size_t>(text->size(), 80);
  for (std::size_t i = 0; i < shown; ++i) {
    const char16_t c = (*text)[i];
    if (c == u'"' || c == u'\\') {
      out << '\\' << static_cast<char>(c);
    } else if (c >= 0x20 && c < 0x7f) {
      out << static_cast<char>(c);
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(c));
      out << buf;
    }
  }
  out << '"';
  if (shown < text->size()) out << "...(" << text->size() << " units)";
  return out.str();
}

std::string Describe(const Call& call) {
  std::ostringstream out;
  out << MethodOf(call.method).name << "(";
  bool first = true;
  auto sep = [&] {
    if (!first) out << ", ";
    first = false;
  };
  for (std::size_t i = 0; i < call.t.size(); ++i) {
    sep();
    if (i == 0 && call.window.kind != WindowRef::Kind::kNone) {
      static const char* const kKinds[] = {"", "memo", "link", "menuname"};
      out << "<" << kKinds[static_cast<int>(call.window.kind)] << " window of item "
          << call.window.index << ">";
    } else {
      out << Quote(call.t[i]);
    }
  }
  for (std::int32_t v : call.n) {
    sep();
    out << v;
  }
  out << ")";
  switch (call.method) {
    case M::RemoveLinkMenu:
      out << " answering " << (call.answer == Answer::kYes ? "Yes" : "No");
      break;
    case M::ChangeOption:
    case M::ChangeWindowOption:
      if (call.font) {
        out << " font " << Quote(call.font->face) << " " << call.font->size;
      } else {
        out << " font cancelled";
      }
      break;
    case M::OpenFile:
    case M::OpenFolder:
      out << " picking " << Quote(call.pick);
      break;
    default:
      break;
  }
  return out.str();
}

// A call's texts and numbers as the table's invokers ask for them: each
// parameter takes the next value of its kind.
class CallArgs : public ArgumentSource {
 public:
  CallArgs(const Call& call, const Method& method) : call_(call) {
    std::size_t texts = 0;
    std::size_t numbers = 0;
    for (const MethodParam& p : method.params) {
      slots_.push_back(p.kind == ParamKind::kText ? texts++ : numbers++);
    }
  }
  std::int32_t Int(std::size_t i) override { return call_.n.at(slots_.at(i)); }
  TextArg Text(std::size_t i) override { return call_.t.at(slots_.at(i)); }

 private:
  const Call& call_;
  std::vector<std::size_t> slots_;
};

// ---------------------------------------------------------------------------
// The platform: scripted dialogs answered per call, files on a real folder.

class SoakPlatform : public ScriptedPlatform {
 public:
  using ScriptedPlatform::ScriptedPlatform;

  void Prepare(const Call& call) {
    call_ = &call;
    save_failed_ = false;
  }
  bool save_failed() const { return save_failed_; }
  int launches() const { return launches_; }
  int messages() const { return messages_; }

  Answer ShowMessage(std::u16string_view text, const std::optional<std::u16string>&,
                     Buttons buttons) override {
    if (text == msg::kSaveFailed) save_failed_ = true;
    ++messages_;
    if (buttons == Buttons::kYesNo) return call_ ? call_->answer : Answer::kNo;
    return Answer::kOk;
  }
  std::optional<FontChoice> PickFont(std::u16string_view, std::int32_t) override {
    return call_ ? call_->font : std::nullopt;
  }
  std::optional<std::u16string> PickFile() override { return call_ ? call_->pick : std::nullopt; }
  std::optional<std::u16string> PickFolder() override { return call_ ? call_->pick : std::nullopt; }
  void Launch(std::u16string_view) override { ++launches_; }
  // Notes which groups of files changed, so that the others need not be read
  // again: 1 config, 2 wallpapers, 4 link menus, 8 memos.
  bool WriteFileAtomic(std::u16string_view path, std::string_view bytes,
                       WriteFailure* failure = nullptr) override {
    Touch(path);
    return ScriptedPlatform::WriteFileAtomic(path, bytes, failure);
  }
  bool RemoveFile(std::u16string_view path) override {
    Touch(path);
    return ScriptedPlatform::RemoveFile(path);
  }
  std::uint64_t writes() const { return writes_; }
  unsigned TakeTouched() { return std::exchange(touched_, 0u); }

 private:
  const Call* call_ = nullptr;
  bool save_failed_ = false;
  int launches_ = 0;
  int messages_ = 0;
  std::uint64_t writes_ = 0;
  unsigned touched_ = 0;

  void Touch(std::u16string_view path) {
    ++writes_;
    const std::u16string folder = DataFolder();
    if (path.substr(0, folder.size()) != folder) return;
    const std::u16string_view rel = path.substr(folder.size());
    if (rel == u"config") touched_ |= 1;
    if (rel == u"wplist" || rel.starts_with(u"wp/")) touched_ |= 2;
    if (rel == u"link" || rel.starts_with(u"linkmenu/")) touched_ |= 4;
    if (rel == u"memolist" || rel.starts_with(u"memo/")) touched_ |= 8;
  }
};

// A folder on /dev/shm when there is one: the files are replaced durably on
// every write, and a memory file system makes that cheap.
fs::path SoakRoot() {
  std::error_code ec;
  fs::path base = fs::temp_directory_path();
  if (fs::is_directory("/dev/shm", ec)) base = "/dev/shm";
  // One fixed folder per process: replays while shrinking must see the same
  // picture paths as the run they replay. Sessions never overlap.
  fs::path p = base / ("vellumine-soak-" + std::to_string(::getpid()));
  fs::remove_all(p, ec);
  fs::create_directories(p);
  return p;
}

std::u16string U16(const fs::path& p) { return Utf8ToUtf16(p.string()); }

// ---------------------------------------------------------------------------
// Comparisons

std::string Diff(const std::string& what, const std::string& live, const std::string& stored) {
  return what + ": live " + live + ", stored " + stored;
}

std::string Num(std::int64_t v) { return std::to_string(v); }
std::string Str(const std::u16string& s) { return Quote(s); }

void CompareOptions(const std::string& where, const PageOptions& a, const PageOptions& b,
                    std::vector<std::string>& out) {
  auto n = [&](const char* name, std::int32_t x, std::int32_t y) {
    if (x != y) out.push_back(Diff(where + "." + name, Num(x), Num(y)));
  };
  auto s = [&](const char* name, const std::u16string& x, const std::u16string& y) {
    if (x != y) out.push_back(Diff(where + "." + name, Str(x), Str(y)));
  };
  n("WeekDayColor", a.week_day_color, b.week_day_color);
  n("SatDayColor", a.sat_day_color, b.sat_day_color);
  n("SunDayColor", a.sun_day_color, b.sun_day_color);
  n("ShadowColor", a.shadow_color, b.shadow_color);
  n("MenuTextColor", a.menu_text_color, b.menu_text_color);
  s("CalenderFont", a.calender_font, b.calender_font);
  n("CalenderFontSize", a.calender_font_size, b.calender_font_size);
  n("LinkItemNum", a.link_item_num, b.link_item_num);
  n("MemoItemNum", a.memo_item_num, b.memo_item_num);
  s("MenuFont", a.menu_font, b.menu_font);
  n("MenuFontSize", a.menu_font_size, b.menu_font_size);
}

// InitPage cuts a fixed panel's record to its first unit in every list, and
// only the lists it prunes and saves (the global one, the current
// wallpaper's) lose it on disk; another wallpaper keeps the cut record in
// memory until it is applied, pruned and saved.
bool ForgottenPanel(const WndRecord& live, const WndRecord& stored) {
  static const std::u16string_view kPanels[] = {u"menumini", u"menunormal", u"option",
                                                u"option_calender", u"option_menu"};
  if (live.name.size() != 1 || live.hash != StringHash(live.name)) return false;
  for (std::u16string_view panel : kPanels) {
    if (stored.name == panel && panel.substr(0, 1) == live.name) return true;
  }
  return false;
}

void CompareWindows(const std::string& where, const WndList& a, const WndList& b,
                    std::vector<std::string>& out) {
  if (a.size() != b.size()) {
    out.push_back(Diff(where + " count", Num(a.size()), Num(b.size())));
  }
  for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
    const WndRecord& x = a[i];
    const WndRecord& y = b[i];
    const std::string w = where + "[" + Num(i) + "]";
    if (ForgottenPanel(x, y)) continue;
    if (x.name != y.name) out.push_back(Diff(w + ".name", Str(x.name), Str(y.name)));
    if (x.hash != y.hash) out.push_back(Diff(w + ".hash", Num(x.hash), Num(y.hash)));
    if (x.x != y.x) out.push_back(Diff(w + ".x", Num(x.x), Num(y.x)));
    if (x.y != y.y) out.push_back(Diff(w + ".y", Num(x.y), Num(y.y)));
    if (x.visibility != y.visibility) {
      out.push_back(Diff(w + ".visibility", Num(x.visibility), Num(y.visibility)));
    }
    if (x.individual != y.individual) {
      out.push_back(Diff(w + ".individual", Num(x.individual), Num(y.individual)));
    }
    if (x.text_color != y.text_color) {
      out.push_back(Diff(w + ".text_color", Num(x.text_color), Num(y.text_color)));
    }
    if (x.font != y.font) out.push_back(Diff(w + ".font", Str(x.font), Str(y.font)));
    if (x.font_size != y.font_size) {
      out.push_back(Diff(w + ".font_size", Num(x.font_size), Num(y.font_size)));
    }
  }
}

std::string KeyText(const ItemKey& k) { return Utf16ToUtf8(KeyHex(k)); }

// Differences between the live state and the state read back from the files.
std::vector<std::string> CompareState(const ControlState& live, const ControlState& stored) {
  std::vector<std::string> out;
  CompareOptions("options", live.options, stored.options, out);
  if (live.current_wallpaper != stored.current_wallpaper) {
    out.push_back(
        Diff("current wallpaper", Num(live.current_wallpaper), Num(stored.current_wallpaper)));
  }
  CompareWindows("windows", live.windows, stored.windows, out);

  if (live.wallpapers.size() != stored.wallpapers.size()) {
    out.push_back(
        Diff("wallpaper count", Num(live.wallpapers.size()), Num(stored.wallpapers.size())));
  }
  for (std::size_t i = 0; i < std::min(live.wallpapers.size(), stored.wallpapers.size()); ++i) {
    const WallPaperEntry& a = live.wallpapers[i];
    const WallPaperEntry& b = stored.wallpapers[i];
    const std::string w = "wallpaper[" + Num(i) + "]";
    if (a.path != b.path) out.push_back(Diff(w + ".path", Str(a.path), Str(b.path)));
    if (!(a.key == b.key)) out.push_back(Diff(w + ".key", KeyText(a.key), KeyText(b.key)));
    CompareOptions(w + ".options", a.options, b.options, out);
    CompareWindows(w + ".windows", a.windows, b.windows, out);
  }

  if (live.menus.size() != stored.menus.size()) {
    out.push_back(Diff("menu count", Num(live.menus.size()), Num(stored.menus.size())));
  }
  for (std::size_t i = 0; i < std::min(live.menus.size(), stored.menus.size()); ++i) {
    const LinkMenu& a = live.menus[i];
    const LinkMenu& b = stored.menus[i];
    const std::string w = "menu[" + Num(i) + "]";
    if (a.name != b.name) out.push_back(Diff(w + ".name", Str(a.name), Str(b.name)));
    if (!(a.key == b.key)) out.push_back(Diff(w + ".key", KeyText(a.key), KeyText(b.key)));
    if (a.links.size() != b.links.size()) {
      out.push_back(Diff(w + " link count", Num(a.links.size()), Num(b.links.size())));
    }
    for (std::size_t k = 0; k < std::min(a.links.size(), b.links.size()); ++k) {
      const std::string l = w + ".link[" + Num(k) + "]";
      if (a.links[k].path != b.links[k].path) {
        out.push_back(Diff(l + ".path", Str(a.links[k].path), Str(b.links[k].path)));
      }
      if (a.links[k].path_hash != b.links[k].path_hash) {
        out.push_back(Diff(l + ".hash", Num(a.links[k].path_hash), Num(b.links[k].path_hash)));
      }
    }
  }

  if (live.memos.size() != stored.memos.size()) {
    out.push_back(Diff("memo count", Num(live.memos.size()), Num(stored.memos.size())));
  }
  for (std::size_t i = 0; i < std::min(live.memos.size(), stored.memos.size()); ++i) {
    const MemoEntry& a = live.memos[i];
    const MemoEntry& b = stored.memos[i];
    const std::string w = "memo[" + Num(i) + "]";
    if (!(a.key == b.key)) out.push_back(Diff(w + ".key", KeyText(a.key), KeyText(b.key)));
    if (a.subject != b.subject) {
      out.push_back(Diff(w + ".subject", Quote(a.subject), Quote(b.subject)));
    }
    if (a.message != b.message) {
      out.push_back(Diff(w + ".message", Quote(a.message), Quote(b.message)));
    }
  }
  return out;
}

// Removes every style="..." attribute (the serializer quotes with '"').
std::string StripStyles(const std::string& html) {
  std::string out;
  out.reserve(html.size());
  const std::string key = " style=\"";
  std::size_t pos = 0;
  for (;;) {
    const std::size_t at = html.find(key, pos);
    if (at == std::string::npos) break;
    const std::size_t end = html.find('"', at + key.size());
    if (end == std::string::npos) break;
    out.append(html, pos, at - pos);
    pos = end + 1;
  }
  out.append(html, pos, std::string::npos);
  return out;
}

// Removes the style attribute of the outermost tag only.
std::string StripOwnStyle(const std::string& html) {
  const std::size_t close = html.find('>');
  if (close == std::string::npos) return html;
  return StripStyles(html.substr(0, close)) + html.substr(close);
}

// Where two texts first differ, with some context.
std::string FirstDifference(const std::string& a, const std::string& b) {
  std::size_t i = 0;
  while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
  const std::size_t from = i > 60 ? i - 60 : 0;
  return "at byte " + std::to_string(i) + "\n      live:  ..." + a.substr(from, 200) +
         "\n      fresh: ..." + b.substr(from, 200);
}

// ---------------------------------------------------------------------------
// One live control on its own data folder and page.

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

class Session {
 public:
  Session(const std::string& page, std::size_t full_every, int as_drawn)
      : page_(page), full_every_(full_every), as_drawn_(as_drawn), root_(SoakRoot()) {
    MakePictures();
    platform_ = std::make_unique<SoakPlatform>(files_, U16(data()) + u"/");
    control_ = std::make_unique<CSkerrow>(*platform_);
    doc_ = HtmlDocument::Parse(page_);
    Call init;
    init.method = M::InitPage;
    Run(init);
  }
  ~Session() {
    control_.reset();
    std::error_code ec;
    fs::remove_all(root_, ec);
  }

  fs::path data() const { return root_ / "data"; }
  fs::path pictures() const { return root_ / "pics"; }
  CSkerrow& control() { return *control_; }
  const ControlState& state() const { return control_->state(); }
  const std::vector<std::u16string>& paths() const { return paths_; }

  // A picture of its own for the i-th item that needs a distinct file (a
  // wallpaper, a link), made on first use.
  std::u16string FillPicture(std::size_t i) const {
    const fs::path p = pictures() / "fill" / ("p" + std::to_string(i) + ".png");
    if (!fs::exists(p)) {
      fs::create_directories(p.parent_path());
      std::ofstream(p) << i;
    }
    return U16(p);
  }

  // What the tables hold, and what the sequence made the user see.
  std::string Summary() const {
    const ControlState& s = state();
    std::size_t links = 0;
    for (const LinkMenu& m : s.menus) links += m.links.size();
    std::ostringstream out;
    out << s.wallpapers.size() << " wallpapers, " << s.windows.size() << " window records, "
        << s.menus.size() << " link menus with " << links << " links, " << s.memos.size()
        << " memos; " << platform_->messages() << " messages, " << platform_->launches()
        << " launches, " << platform_->writes() << " file writes; seconds in calls "
        << Seconds(calls_time_) << ", file checks " << Seconds(stored_time_) << ", page checks "
        << Seconds(page_time_);
    return out.str();
  }

  // Runs one call and checks; index is the call's place in the sequence.
  std::optional<Fault> Step(const Call& call, std::size_t index, bool last, CheckMode mode) {
    const TextArg window = call.t.empty() ? TextArg() : WindowArg(call);
    const auto t0 = std::chrono::steady_clock::now();
    const HResult result = Run(call);
    const auto t1 = std::chrono::steady_clock::now();
    calls_time_ += t1 - t0;
    struct Timer {
      std::chrono::steady_clock::duration& sum;
      std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
      ~Timer() { sum += std::chrono::steady_clock::now() - start; }
    };
    if (call.method == M::ChangeSchedule || call.method == M::ChangeDate) {
      last_date_ = {call.n[0], call.n[1], call.n[2]};
    }
    if (call.method == M::ChangeWindowOption && window) {
      pending_windows_.emplace_back(UpToZero(*window));
    }
    if (call.method == M::ChangeLinkMenu || call.method == M::AddLink ||
        call.method == M::RemoveLinkMenu) {
      last_menu_ = call.n.back();
    }
    auto fault = [&](std::string kind, std::string detail) {
      return Fault{index, std::move(kind), std::move(detail)};
    };
    if (result != kOk) return fault("result", "returned " + std::to_string(result));
    if (platform_->save_failed()) return fault("save", "a data file could not be written");
    if (auto bad = CheckLimits()) return fault("limits", *bad);
    const bool check_now = mode == CheckMode::kEvery || last ||
                           (mode == CheckMode::kSparse && (index + 1) % full_every_ == 0);
    if (check_now) {
      Timer timer{stored_time_};
      if (auto bad = CheckStored()) return fault("persisted state", *bad);
    }
    const bool full_now = last || (mode == CheckMode::kEvery && (index + 1) % full_every_ == 0);
    if (full_now) {
      Timer timer{page_time_};
      if (auto bad = CheckPage()) return fault("page after a fresh InitPage", *bad);
    }
    return std::nullopt;
  }

 private:
  void MakePictures() {
    const fs::path pics = pictures();
    fs::create_directories(pics / "sub");
    fs::create_directories(pics / "フォルダ");
    const char* names[] = {"a.png",   "b.jpg",          "写真.jpg",    "b]x.png",      "[c].png",
                           "d e.png", "with'quote.png", "amp&lt;.png", "sub/inner.gif"};
    for (const char* n : names) std::ofstream(pics / n) << "x";
    // Two names of equal length and equal StringHash: 'a'*1429 + 0x600 ==
    // 'b'*1429 + 'k', so the whole paths collide too.
    const std::u16string base = U16(pics) + u"/h";
    const std::u16string collide[] = {base + u"a\u0600.png", base + u"bk.png"};
    for (const std::u16string& p : collide) std::ofstream(fs::path(Utf16ToUtf8(p))) << "x";
    for (const char* n : names) paths_.push_back(U16(pics / n));
    // Enough distinct files for link menus of several pages.
    for (int i = 0; i < 24; ++i) {
      const fs::path p = pics / ("f" + std::to_string(i) + ".txt");
      std::ofstream(p) << i;
      paths_.push_back(U16(p));
    }
    for (const std::u16string& p : collide) paths_.push_back(p);
    paths_.push_back(U16(pics));
    paths_.push_back(U16(pics) + u"/");
    paths_.push_back(U16(pics / "sub") + u"/");
    paths_.push_back(U16(pics / "フォルダ"));
    paths_.push_back(U16(pics / "missing.png"));
    paths_.push_back(U16(pics / "*.png"));
    paths_.push_back(U16(pics / "a?png"));
    paths_.push_back(U16(data() / "config"));
    paths_.push_back(u"C:");
    paths_.push_back(u"D:\\");
    paths_.push_back(u"c:\\windows\\");
    paths_.push_back(u"/");
    paths_.push_back(u"");
    paths_.push_back(U16(pics) + u"/a.png\u0000tail");
    paths_.push_back(U16(pics) + u"/\xD800.png");
  }

  // The window name a call passes, its reference resolved against the tables.
  TextArg WindowArg(const Call& c) const {
    const ControlState& s = state();
    switch (c.window.kind) {
      case WindowRef::Kind::kNone:
        return c.t.at(0);
      case WindowRef::Kind::kMemo:
        if (c.window.index < s.memos.size()) return u"memo" + KeyHex(s.memos[c.window.index].key);
        return u"memo-gone";
      case WindowRef::Kind::kLink:
      case WindowRef::Kind::kMenuName:
        if (c.window.index < s.menus.size()) {
          return (c.window.kind == WindowRef::Kind::kLink ? u"link" : u"menuname") +
                 KeyHex(s.menus[c.window.index].key);
        }
        return u"link-gone";
    }
    return c.t.at(0);
  }

  HResult Run(const Call& c) {
    platform_->Prepare(c);
    const Method& method = MethodOf(c.method);
    CallArgs args(c, method);
    return method.invoke(*control_, doc_.get(), args);
  }

  std::optional<std::string> CheckLimits() const {
    const ControlState& s = state();
    std::ostringstream out;
    if (s.wallpapers.size() > kMaxWallPapers) out << "wallpapers " << s.wallpapers.size() << "; ";
    if (s.windows.size() > kMaxWindows) out << "windows " << s.windows.size() << "; ";
    for (const WallPaperEntry& w : s.wallpapers) {
      if (w.windows.size() > kMaxWindows) out << "wallpaper windows " << w.windows.size() << "; ";
    }
    if (s.menus.size() > kMaxLinkMenus) out << "menus " << s.menus.size() << "; ";
    for (const LinkMenu& m : s.menus) {
      if (m.links.size() > kMaxLinks) out << "links " << m.links.size() << "; ";
    }
    if (s.memos.size() > kMaxMemos) out << "memos " << s.memos.size() << "; ";
    if (s.current_wallpaper < -1) out << "current wallpaper " << s.current_wallpaper << "; ";
    const std::string text = out.str();
    if (text.empty()) return std::nullopt;
    return "over capacity: " + text;
  }

  // The files read back as InitPage reads them, compared with the live state.
  std::optional<std::string> CheckStored() {
    unsigned touched = platform_->TakeTouched();
    if (!stored_) {
      stored_ = std::make_unique<ControlState>();
      stored_->data_folder = state().data_folder;
      touched = 15;
    }
    if (touched != 0) {
      // Each group is read as InitPage reads it; a wallpaper's window records
      // take style defaults from the options read before them, but every field
      // but ItemNum is stored, so the config need not be read again with them.
      Store store(*platform_, state().data_folder);
      ControlState& s = *stored_;
      if (touched & 1) {
        s.options = PageOptions();
        s.current_wallpaper = -1;
        s.windows.clear();
        LoadConfig(store, s);
      }
      if (touched & 2) LoadWallPaperList(store, s);
      if (touched & 4) links::LoadLinkMenus(store, s);
      if (touched & 8) memos::LoadMemoList(store, s);
    }
    const ControlState& stored = *stored_;
    std::vector<std::string> diffs = CompareState(state(), stored);
    if (diffs.empty()) {
      pending_windows_.clear();
      return std::nullopt;
    }
    if (!pending_windows_.empty()) {
      // A record ChangeWindowOption appended before refusing the change waits
      // in memory for the next accepted save.
      ControlState trimmed = state();
      auto drop = [&](WndList& live, const WndList& kept) {
        for (const std::u16string& name : pending_windows_) {
          if (windows::FindRecordIndex(kept, name) < 0) windows::RemoveRecord(live, name);
        }
      };
      // The wallpaper current then keeps it while another one is current.
      drop(trimmed.windows, stored.windows);
      for (std::size_t i = 0; i < trimmed.wallpapers.size() && i < stored.wallpapers.size(); ++i) {
        drop(trimmed.wallpapers[i].windows, stored.wallpapers[i].windows);
      }
      diffs = CompareState(trimmed, stored);
      if (diffs.empty()) return std::nullopt;
    }
    std::string text;
    for (std::size_t i = 0; i < diffs.size() && i < 12; ++i) text += "\n    " + diffs[i];
    if (diffs.size() > 12) text += "\n    ... " + std::to_string(diffs.size() - 12) + " more";
    return text;
  }

  // RefreshOptionTexts rewrites the frame option texts of windows with a
  // record in the global list only; the frame of a window without one keeps
  // what it was drawn with. With VELLUMINE_SOAK_AS_DRAWN=2 both pages get the
  // current page-wide texts there, so that other stale fragments show.
  static void WriteUnlistedFrameTexts(const ControlState& live, Document& doc) {
    auto set = [&](const std::u16string& id, std::u16string_view text) {
      if (std::unique_ptr<Element> e = doc.FindElementById(id)) e->SetInnerHtml(text);
    };
    auto write = [&](const std::u16string& name) {
      if (windows::FindRecordIndex(live.windows, name) >= 0) return;
      const PageOptions& o = live.options;
      set(name + u"Default", IndividualLabel(0));
      set(name + u"TextColor", WideFormatted(u"文字色:%s", {ColorLabel(o.menu_text_color)}));
      set(name + u"Font", o.menu_font);
      set(name + u"FontSize", WideFormatted(u"%d", {o.menu_font_size}));
    };
    for (const MemoEntry& m : live.memos) write(u"memo" + KeyHex(m.key));
    for (const LinkMenu& m : live.menus) write(u"link" + KeyHex(m.key));
  }

  std::optional<std::string> CheckPage() {
    const fs::path copy = root_ / "fresh";
    std::error_code ec;
    fs::remove_all(copy, ec);
    fs::create_directories(copy);
    if (fs::exists(data())) fs::copy(data(), copy / "data", fs::copy_options::recursive);
    SoakPlatform fresh_platform(files_, U16(copy / "data") + u"/");
    CSkerrow fresh(fresh_platform);
    auto fresh_doc = HtmlDocument::Parse(page_);
    fresh.InitPage(*fresh_doc);

    // The live control's memory-only view, shown on the fresh one.
    const ControlState& live = state();
    if (live.shown_year != 0) fresh.SetCalender(*fresh_doc, live.shown_year, live.shown_month);
    if (fresh.state().memo_page != live.memo_page) fresh.ChangeMemoPage(*fresh_doc, live.memo_page);
    for (std::size_t i = 0; i < live.menus.size() && i < fresh.state().menus.size(); ++i) {
      if (fresh.state().menus[i].page_num != live.menus[i].page_num) {
        fresh.ChangeLinkPage(*fresh_doc, static_cast<std::int32_t>(i), live.menus[i].page_num);
      }
    }
    // Unless the page is compared as drawn, both pages are drawn again from
    // their state, so that what differs is what the files hold.
    if (!as_drawn_) {
      for (auto [control, doc] : {std::pair<CSkerrow*, Document*>{control_.get(), doc_.get()},
                                  std::pair<CSkerrow*, Document*>{&fresh, fresh_doc.get()}}) {
        memos::RenderMemos(*control, *doc);
        links::RenderLinkWindows(*control, *doc);
        windows::Refresh(*control, *doc);
        options::RefreshOptionTexts(*control, *doc);
      }
    }
    if (as_drawn_ == 2) {
      WriteUnlistedFrameTexts(live, *doc_);
      WriteUnlistedFrameTexts(live, *fresh_doc);
    }
    // What the user looks at that InitPage can't know: one date, one link list.
    control_->ChangeDate(*doc_, last_date_.year, last_date_.month, last_date_.day);
    fresh.ChangeDate(*fresh_doc, last_date_.year, last_date_.month, last_date_.day);
    control_->ChangeLinkMenu(*doc_, last_menu_);
    fresh.ChangeLinkMenu(*fresh_doc, last_menu_);

    static const std::u16string kContent[] = {
        u"schedule",    u"schdllst",      u"schdllstsubmit", u"memo",
        u"memofield",   u"link",          u"linkfield",      u"linklist",
        u"wplist",      u"MenuTextColor", u"WeekDayColor",   u"SatDayColor",
        u"SunDayColor", u"ShadowColor",   u"CalenderFont",   u"CalenderFontSize",
        u"LinkItemNum", u"MemoItemNum",   u"MenuFont",       u"MenuFontSize"};
    std::string report;
    {
      const std::string a = StripOwnStyle(doc_->OuterHtmlById(u"calender").value_or(""));
      const std::string b = StripOwnStyle(fresh_doc->OuterHtmlById(u"calender").value_or(""));
      if (a != b) report += "\n    \"calender\" differs " + FirstDifference(a, b);
    }
    for (const std::u16string& id : kContent) {
      const std::string a = StripStyles(doc_->OuterHtmlById(id).value_or(""));
      const std::string b = StripStyles(fresh_doc->OuterHtmlById(id).value_or(""));
      if (a != b) report += "\n    \"" + Utf16ToUtf8(id) + "\" differs " + FirstDifference(a, b);
    }
    fs::remove_all(copy, ec);
    if (report.empty()) return std::nullopt;
    return report;
  }

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
  static double Seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
  }
  std::chrono::steady_clock::duration calls_time_{};
  std::chrono::steady_clock::duration stored_time_{};
  std::chrono::steady_clock::duration page_time_{};
  // The files as last read.
  std::unique_ptr<ControlState> stored_;
  // Windows named by ChangeWindowOption since the files last matched.
  std::vector<std::u16string> pending_windows_;
};

// ---------------------------------------------------------------------------
// The generator: arguments drawn from pools of valid and invalid values, led
// by the live state (existing numbers, window names) so that most calls do
// something.

class Generator {
 public:
  explicit Generator(std::uint64_t seed) : rng_(seed) {}

  // Calls that drive every table to its limit and a few past it, one table
  // after the other: the window list without a wallpaper, link menus, the
  // links of one menu, wallpapers, the current wallpaper's window list, and
  // memos last (each memo command draws every memo window). done() answers
  // when every table has been pushed past its limit.
  Call NextFill(const Session& session) {
    const ControlState& s = session.state();
    Fill fill = kFills;
    for (const Fill f : {kGlobalWindows, kMenus, kLinks, kWallPapers, kWallWindows, kMemos}) {
      if (pushed_[f] < kPast) {
        fill = f;
        break;
      }
    }
    if (fill == kFills) return Next(session);
    const auto at_limit = [&](std::size_t size, int limit) {
      if (static_cast<int>(size) >= limit) ++pushed_[fill];
    };
    Call c;
    switch (fill) {
      case kMemos:
        at_limit(s.memos.size(), kMaxMemos);
        c.method = M::AddMemo;
        c.t = {u"Memo " + Num(fill_count_++), u"m"};
        break;
      case kMenus:
        at_limit(s.menus.size(), kMaxLinkMenus);
        c.method = M::MakeLinkMenu;
        c.t = {u"menu " + Num(fill_count_++)};
        c.n = {-1};
        break;
      case kLinks:
        at_limit(s.menus.empty() ? 0 : s.menus[0].links.size(), kMaxLinks);
        c.method = M::AddLink;
        c.t = {session.FillPicture(s.menus.empty() ? 0 : s.menus[0].links.size() + 1)};
        c.n = {0};
        break;
      case kWallPapers:
        at_limit(s.wallpapers.size(), kMaxWallPapers);
        c.method = M::AddWallPaper;
        c.t = {session.FillPicture(s.wallpapers.size() + 1)};
        break;
      case kFills:
        break;
      case kGlobalWindows:
      case kWallWindows: {
        const bool wall = fill == kWallWindows;
        const WallPaperEntry* current =
            s.current_wallpaper >= 0 &&
                    static_cast<std::size_t>(s.current_wallpaper) < s.wallpapers.size()
                ? &s.wallpapers[static_cast<std::size_t>(s.current_wallpaper)]
                : nullptr;
        if (wall && current == nullptr) {
          c.method = M::SetBG;
          c.n = {0};
          break;
        }
        at_limit(wall ? current->windows.size() : s.windows.size(), kMaxWindows);
        c.method = M::SetWndPos;
        c.t = {u"w" + Num(fill_count_++)};
        c.n = {Range(0, 800), Range(0, 600), 1};
        break;
      }
    }
    return c;
  }
  bool done() const {
    return std::all_of(pushed_.begin(), pushed_.end(), [](int n) { return n >= kPast; });
  }

  Call Next(const Session& session) {
    const ControlState& s = session.state();
    Call c;
    c.method = PickMethod(s);
    const std::int32_t walls = static_cast<std::int32_t>(s.wallpapers.size());
    const std::int32_t menus = static_cast<std::int32_t>(s.menus.size());
    const std::int32_t memos = static_cast<std::int32_t>(s.memos.size());
    auto links_of = [&](std::int32_t menu) -> std::int32_t {
      if (menu < 0 || menu >= menus) return 0;
      return static_cast<std::int32_t>(s.menus[menu].links.size());
    };
    switch (c.method) {
      case M::SetBG_Random:
      case M::InitPage:
        break;
      case M::SetCalender:
        c.n = {Year(), Month()};
        break;
      case M::AddWallPaper:
        c.t = {Path(session)};
        break;
      case M::RemoveWallPaper:
      case M::SetBG:
        c.n = {Index(walls)};
        break;
      case M::SetWndPos:
        c.t = {WindowName(s, c)};
        c.n = {Coordinate(), Coordinate(), OneOf<std::int32_t>({0, 1, 1, 0, 2, -1})};
        break;
      case M::ChangeOption:
        c.t = {OneOf<TextArg>({u"MenuTextColor", u"WeekDayColor", u"SatDayColor", u"SunDayColor",
                               u"ShadowColor", u"CalenderFont", u"CalenderFontSize", u"LinkItemNum",
                               u"MemoItemNum", u"MenuFont", u"MenuFontSize", u"Bogus", std::nullopt,
                               u"", u"MenuFontSizeX"})};
        c.n = {Step()};
        c.font = Font();
        break;
      case M::OpenFile:
      case M::OpenFolder:
        if (Chance(0.8)) c.pick = Path(session);
        break;
      case M::AddLink: {
        const std::int32_t m = Index(menus);
        c.t = {Path(session)};
        c.n = {m};
        break;
      }
      case M::ChangeLink: {
        const std::int32_t m = Index(menus);
        c.t = {Path(session)};
        c.n = {Index(links_of(m)), m};
        break;
      }
      case M::RemoveLink: {
        const std::int32_t m = Index(menus);
        c.n = {Index(links_of(m)), m};
        break;
      }
      case M::Open: {
        const std::int32_t m = Index(menus);
        c.n = {m, Index(links_of(m))};
        break;
      }
      case M::ChangeLinkPage: {
        const std::int32_t m = Index(menus);
        c.n = {m, Index(4)};
        break;
      }
      case M::ChangeDate:
        c.n = Date();
        break;
      case M::ChangeSchedule:
        c.t = {Text()};
        c.n = Date();
        break;
      case M::AddMemo:
        c.t = {Text(), Text()};
        break;
      case M::RenewMemo:
        c.t = {Text(), Text()};
        c.n = {Index(memos)};
        break;
      case M::RemoveMemo:
      case M::EditMemo:
        c.n = {Index(memos)};
        break;
      case M::ChangeMemoPage:
        c.n = {Index(4)};
        break;
      case M::MakeLinkMenu:
        c.t = {Text()};
        c.n = {Chance(0.5) ? -1 : Index(menus)};
        break;
      case M::ChangeLinkMenu:
        c.n = {Index(menus)};
        break;
      case M::RemoveLinkMenu:
        c.n = {Index(menus)};
        c.answer = Chance(0.6) ? Answer::kYes : Answer::kNo;
        break;
      case M::PermuteLink: {
        const std::int32_t m = Index(menus);
        c.n = {Index(links_of(m)), Index(links_of(m)), m};
        break;
      }
      case M::ChangeWindowOption:
        c.t = {WindowName(s, c), OneOf<TextArg>({u"TextColor", u"ItemNum", u"Font", u"FontSize",
                                                 u"Default", u"DefaultX", u"Bogus", std::nullopt})};
        c.n = {Step()};
        c.font = Font();
        break;
      case M::kCount:
        break;
    }
    return c;
  }

 private:
  bool Chance(double p) { return std::uniform_real_distribution<double>(0, 1)(rng_) < p; }
  std::int32_t Range(std::int32_t lo, std::int32_t hi) {
    return std::uniform_int_distribution<std::int32_t>(lo, hi)(rng_);
  }
  template <typename T>
  T OneOf(std::initializer_list<T> values) {
    return *(values.begin() + Range(0, static_cast<std::int32_t>(values.size()) - 1));
  }

  M PickMethod(const ControlState& s) {
    // Weights keep the tables moving both ways around a working size.
    std::vector<double> w(static_cast<std::size_t>(M::kCount), 1.0);
    auto set = [&](M m, double v) { w[static_cast<std::size_t>(m)] = v; };
    set(M::AddMemo, s.memos.size() < 16 ? 4 : 0.5);
    set(M::RenewMemo, 2);
    set(M::RemoveMemo, s.memos.size() > 12 ? 3 : 1);
    set(M::MakeLinkMenu, s.menus.size() < 8 ? 3 : 0.5);
    set(M::RemoveLinkMenu, s.menus.size() > 6 ? 1.5 : 0.3);
    set(M::AddLink, 8);
    set(M::ChangeLink, 2);
    set(M::RemoveLink, 2);
    set(M::PermuteLink, 2);
    set(M::AddWallPaper, s.wallpapers.size() < 8 ? 3 : 1);
    set(M::RemoveWallPaper, s.wallpapers.size() > 5 ? 2 : 0.7);
    set(M::SetBG, 2);
    set(M::SetWndPos, 4);
    set(M::ChangeOption, 3);
    set(M::ChangeWindowOption, 4);
    set(M::ChangeSchedule, 2);
    set(M::InitPage, 0.3);
    std::discrete_distribution<int> pick(w.begin(), w.end());
    return static_cast<M>(pick(rng_));
  }

  // Mostly a valid position, sometimes one just outside, sometimes far out.
  std::int32_t Index(std::int32_t count) {
    const int r = Range(0, 99);
    if (r < 65 && count > 0) return Range(0, count - 1);
    if (r < 75) return -1;
    if (r < 83) return count;
    if (r < 88) return count + Range(1, 5);
    if (r < 92) return INT32_MIN;
    if (r < 96) return INT32_MAX;
    return Range(INT32_MIN, -2);
  }
  std::int32_t Step() {
    return OneOf<std::int32_t>({1, 1, -1, -1, 0, 2, -2, 5, 19, -20, 100, INT32_MAX, INT32_MIN});
  }
  std::int32_t Coordinate() {
    if (Chance(0.9)) return Range(-50, 1200);
    return OneOf<std::int32_t>({INT32_MIN, INT32_MAX, -100000});
  }
  std::int32_t Year() {
    if (Chance(0.85)) return Range(2024, 2028);
    return OneOf<std::int32_t>({0, 1979, 1980, -1, 99999, INT32_MAX, INT32_MIN});
  }
  std::int32_t Month() {
    if (Chance(0.85)) return Range(1, 12);
    return OneOf<std::int32_t>({0, 13, -1, INT32_MAX, INT32_MIN});
  }
  std::vector<std::int32_t> Date() {
    // A small set of real dates, so that schedules are written, read and
    // deleted again; sometimes nonsense.
    if (Chance(0.85)) return {2026, OneOf<std::int32_t>({11, 12}), Range(1, 8)};
    return {Year(), Month(), OneOf<std::int32_t>({0, 31, 32, -1, INT32_MAX})};
  }
  std::optional<FontChoice> Font() {
    if (Chance(0.25)) return std::nullopt;
    FontChoice f;
    f.face = OneOf<std::u16string>({u"Arial", u"ＭＳ 明朝", u"ＭＳ ゴシック", u"Courier New",
                                    u"a\"b<c>&d", u"0123456789012345678901234567890",
                                    u"フォントフォントフォントフォントフォントフォントフォントフォ",
                                    u""});
    f.size = Chance(0.9) ? Range(8, 30) : OneOf<std::int32_t>({8, 30});
    return f;
  }
  TextArg Text() {
    const int r = Range(0, 99);
    if (r < 6) return std::nullopt;
    if (r < 10) return u"";
    if (r < 18) return u"Memo " + std::u16string(1, static_cast<char16_t>(u'a' + Range(0, 25)));
    if (r < 26)
      return u"予定: 会議 " + std::u16string(1, static_cast<char16_t>(u'０' + Range(0, 9)));
    if (r < 34) return u"<b>x</b> & \"y\" 'z' &amp;lt;";
    if (r < 40) return u"line one\r\nline two\n\tthree";
    if (r < 45) return u"%s%d%n%% %c %08x";
    if (r < 50) return std::u16string(u"nul\0inside", 10);
    if (r < 54) return u"lone \xD800 surrogate \xDFFF";
    if (r < 58) return u"emoji \U0001F600 and ＡＢＣ";
    if (r < 62) return u"[memo0]";
    if (r < 65) return u"Hash=0000000100000002";
    if (r < 68) return u"]";
    if (r < 71) return u"[";
    if (r < 74) return u"Subject=Message=";
    if (r < 77) return u"');alert(1);//";
    if (r < 80) return u"C:\\Docs\\report.txt";
    if (r < 84) return std::u16string(static_cast<std::size_t>(Range(100, 400)), u'長');
    // Past a record's former 10000-unit buffer, now and then: every memo
    // command draws every memo window again, so long texts cost on each call.
    if (r < 87) {
      const int big = Range(0, 99);
      if (big < 15) return std::u16string(12000, u'x');
      if (big < 20) return std::u16string(70000, u'y');
      return std::u16string(static_cast<std::size_t>(Range(1, 60)), u'z');
    }
    std::u16string s;
    const int len = Range(1, 40);
    for (int i = 0; i < len; ++i) s.push_back(static_cast<char16_t>(Range(1, 0xFFFF)));
    return s;
  }
  TextArg Path(const Session& session) {
    if (Chance(0.05)) return std::nullopt;
    const auto& pool = session.paths();
    return pool[static_cast<std::size_t>(Range(0, static_cast<std::int32_t>(pool.size()) - 1))];
  }
  TextArg WindowName(const ControlState& s, Call& c) {
    const int r = Range(0, 99);
    if (r < 20 && !s.memos.empty()) {
      c.window = {WindowRef::Kind::kMemo, static_cast<std::size_t>(Range(0, s.memos.size() - 1))};
      return u"memo" + KeyHex(s.memos[c.window.index].key);
    }
    if (r < 40 && !s.menus.empty()) {
      c.window = {Chance(0.8) ? WindowRef::Kind::kLink : WindowRef::Kind::kMenuName,
                  static_cast<std::size_t>(Range(0, s.menus.size() - 1))};
      return (c.window.kind == WindowRef::Kind::kLink ? u"link" : u"menuname") +
             KeyHex(s.menus[c.window.index].key);
    }
    if (r < 80) {
      return OneOf<TextArg>({u"calender", u"schedule", u"memo", u"link", u"option", u"menumini",
                             u"menunormal", u"option_calender", u"option_menu", u"memoinput",
                             u"linkinput", u"schdlinput", u"wallpaper"});
    }
    if (r < 85) return std::nullopt;
    if (r < 88) return u"";
    if (r < 92) return u"nosuchwindow";
    if (r < 95) return std::u16string(u"calender\0x", 10);
    return Text();
  }

  enum Fill { kMemos, kMenus, kLinks, kWallPapers, kGlobalWindows, kWallWindows, kFills };
  static constexpr int kPast = 3;  // calls made at the limit, each refused
  static std::u16string Num(std::size_t n) { return Utf8ToUtf16(std::to_string(n)); }

  std::mt19937_64 rng_;
  std::array<int, static_cast<std::size_t>(kFills)> pushed_{};
  std::size_t fill_count_ = 0;
};

// ---------------------------------------------------------------------------
// Running and shrinking

struct Options {
  std::uint64_t seed = 20261207;
  std::size_t calls = 300;
  std::size_t every = 25;
  bool trace = false;
  int as_drawn = 0;  // 1, 2: compare the live page as its calls left it
  double shrink_seconds = 300;
};

std::uint64_t EnvNumber(const char* name, std::uint64_t fallback) {
  const char* v = std::getenv(name);
  if (!v || !*v) return fallback;
  return std::strtoull(v, nullptr, 10);
}

Options FromEnvironment() {
  Options o;
  o.seed = EnvNumber("VELLUMINE_SOAK_SEED", o.seed);
  o.calls = EnvNumber("VELLUMINE_SOAK_CALLS", o.calls);
  // A page check costs about as much as fifty calls: long runs check every
  // hundredth call, short ones every 25th.
  o.every = std::clamp<std::size_t>(o.calls / 200, 25, 100);
  o.every = std::max<std::uint64_t>(1, EnvNumber("VELLUMINE_SOAK_EVERY", o.every));
  o.trace = EnvNumber("VELLUMINE_SOAK_TRACE", 0) != 0;
  o.as_drawn = static_cast<int>(EnvNumber("VELLUMINE_SOAK_AS_DRAWN", 0));
  o.shrink_seconds = static_cast<double>(EnvNumber("VELLUMINE_SOAK_SHRINK_SECONDS", 300));
  return o;
}

// Replays a fixed sequence; the fault it shows, if any.
std::optional<Fault> Replay(const std::string& page, const std::vector<Call>& calls,
                            const Options& o, CheckMode mode) {
  Session session(page, o.every, o.as_drawn);
  for (std::size_t i = 0; i < calls.size(); ++i) {
    if (auto fault = session.Step(calls[i], i, i + 1 == calls.size(), mode)) return fault;
  }
  return std::nullopt;
}

// Removes calls while the sequence still fails in the same way: chunks of
// halving size, then single calls, until no removal keeps the fault. fails()
// answers whether a candidate still shows the fault.
std::vector<Call> Shrink(std::vector<Call> calls,
                         const std::function<bool(const std::vector<Call>&)>& fails,
                         std::size_t budget) {
  std::size_t chunk = std::max<std::size_t>(1, calls.size() / 2);
  for (;;) {
    bool removed = false;
    for (std::size_t start = 0; start < calls.size() && budget > 0;) {
      // Never drop the last call: it is where the fault shows.
      const std::size_t end = std::min(start + chunk, calls.size() - 1);
      if (end <= start) break;
      std::vector<Call> candidate;
      candidate.reserve(calls.size() - (end - start));
      candidate.insert(candidate.end(), calls.begin(), calls.begin() + start);
      candidate.insert(candidate.end(), calls.begin() + end, calls.end());
      --budget;
      if (fails(candidate)) {
        calls = std::move(candidate);
        removed = true;
      } else {
        start = end;
      }
    }
    if (budget == 0) break;
    if (chunk == 1 && !removed) break;
    if (!removed) chunk = std::max<std::size_t>(1, chunk / 2);
  }
  return calls;
}

std::string Report(const Options& o, const Fault& fault, const std::vector<Call>& minimal,
                   CheckMode mode) {
  std::ostringstream out;
  out << "Soak fault with VELLUMINE_SOAK_SEED=" << o.seed << " after call " << fault.call << ": "
      << fault.kind << fault.detail << "\n";
  out << "Shortest sequence found (" << minimal.size() << " calls after InitPage, checked "
      << (mode == CheckMode::kLastOnly ? "after the last call only"
                                       : "after every call, page every " + std::to_string(o.every))
      << "):\n";
  for (std::size_t i = 0; i < minimal.size(); ++i) {
    out << "  " << i << ": " << Describe(minimal[i]) << "\n";
  }
  return out.str();
}

TEST(Soak, RandomCallsKeepFilesAndPageInStep) {
  const Options o = FromEnvironment();
  std::cout << "[soak] seed " << o.seed << ", " << o.calls << " calls, page check every " << o.every
            << std::endl;
  const std::string page = testing::BundledPage();
  Generator gen(o.seed);
  std::vector<Call> calls;
  std::optional<Fault> fault;
  const auto started = std::chrono::steady_clock::now();
  {
    Session session(page, o.every, o.as_drawn);
    for (std::size_t i = 0; i < o.calls && !fault; ++i) {
      calls.push_back(gen.Next(session));
      if (o.trace) std::cout << "[soak] " << i << ": " << Describe(calls.back()) << std::endl;
      fault = session.Step(calls.back(), i, i + 1 == o.calls, CheckMode::kEvery);
    }
    std::cout << "[soak] " << session.Summary() << std::endl;
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::cout << "[soak] " << calls.size() << " calls in " << seconds << " s" << std::endl;
  if (!fault) return;

  // Shrink: first try checking the last call only (cheaper, and it shows
  // the fault's cause without the checks in between); else replay as run.
  const auto shrink_start = std::chrono::steady_clock::now();
  CheckMode mode = CheckMode::kLastOnly;
  auto same = [&](const std::optional<Fault>& f) { return f && f->kind == fault->kind; };
  if (!same(Replay(page, calls, o, mode))) mode = CheckMode::kEvery;
  std::vector<Call> minimal = calls;
  if (same(Replay(page, calls, o, mode))) {
    minimal = Shrink(
        calls,
        [&](const std::vector<Call>& candidate) {
          // Past the time allowed, stop removing and show what is left.
          const auto spent = std::chrono::steady_clock::now() - shrink_start;
          if (std::chrono::duration<double>(spent).count() > o.shrink_seconds) return false;
          return same(Replay(page, candidate, o, mode));
        },
        2000);
  }
  const std::optional<Fault> shown = Replay(page, minimal, o, mode);
  ADD_FAILURE() << Report(o, shown && same(shown) ? *shown : *fault, minimal, mode);
}

// Every table is driven to its limit and past it: the limits hold, the
// refused calls change nothing that is saved, and the files still match.
TEST(Soak, TablesFillToTheirLimitsAndNoFurther) {
  const Options o = FromEnvironment();
  Generator gen(o.seed);
  Session session(testing::BundledPage(), 100, 0);
  std::optional<Fault> fault;
  std::size_t i = 0;
  for (; i < 20000 && !gen.done() && !fault; ++i) {
    const Call c = gen.NextFill(session);
    if (o.trace) std::cout << "[soak fill] " << i << ": " << Describe(c) << std::endl;
    fault = session.Step(c, i, false, CheckMode::kSparse);
  }
  ASSERT_FALSE(fault) << fault->kind << fault->detail << " at call " << fault->call;
  EXPECT_TRUE(gen.done()) << session.Summary();
  Call last;
  last.method = M::InitPage;
  fault = session.Step(last, i, true, CheckMode::kSparse);
  EXPECT_FALSE(fault) << fault->kind << fault->detail;
  const ControlState& s = session.state();
  EXPECT_EQ(s.memos.size(), static_cast<std::size_t>(kMaxMemos));
  EXPECT_EQ(s.menus.size(), static_cast<std::size_t>(kMaxLinkMenus));
  ASSERT_FALSE(s.menus.empty());
  EXPECT_EQ(s.menus[0].links.size(), static_cast<std::size_t>(kMaxLinks));
  EXPECT_EQ(s.wallpapers.size(), static_cast<std::size_t>(kMaxWallPapers));
  std::cout << "[soak fill] " << i << " calls: " << session.Summary() << std::endl;
}

// The generator's calls carry what the table's methods take: as many texts
// and numbers as each method has parameters of that kind.
TEST(Soak, CallsCarryTheArgumentsTheirMethodsTake) {
  ASSERT_EQ(Methods().size(), static_cast<std::size_t>(M::kCount));
  EXPECT_EQ(MethodOf(M::SetBG_Random).name, "SetBG_Random");
  EXPECT_EQ(MethodOf(M::ChangeWindowOption).name, "ChangeWindowOption");
  EXPECT_EQ(MethodOf(M::ChangeMemoPage).name, "ChangeMemoPage");
  Session session(testing::BundledPage(), 1000, 0);
  Generator gen(7);
  std::vector<bool> seen(static_cast<std::size_t>(M::kCount));
  for (int i = 0; i < 600; ++i) {
    const Call c = gen.Next(session);
    seen[static_cast<std::size_t>(c.method)] = true;
    const Method& method = MethodOf(c.method);
    std::size_t texts = 0;
    for (const MethodParam& p : method.params) texts += p.kind == ParamKind::kText ? 1 : 0;
    EXPECT_EQ(c.t.size(), texts) << method.name;
    EXPECT_EQ(c.n.size(), method.params.size() - texts) << method.name;
  }
  EXPECT_EQ(std::count(seen.begin(), seen.end(), false), 0);
}

// The shrinker keeps exactly what a failure needs.
TEST(Soak, ShrinkKeepsOnlyTheCallsAFaultNeeds) {
  std::vector<Call> calls;
  for (int i = 0; i < 40; ++i) {
    Call c;
    c.method = M::EditMemo;
    c.n = {i};
    calls.push_back(c);
  }
  // Fails when calls 7 and 23 are both present, and the last call (39) ends it.
  auto fails = [](const std::vector<Call>& cs) {
    bool a = false, b = false;
    for (const Call& c : cs) {
      a = a || c.n[0] == 7;
      b = b || c.n[0] == 23;
    }
    return a && b && !cs.empty() && cs.back().n[0] == 39;
  };
  const std::vector<Call> minimal = Shrink(calls, fails, 1000);
  ASSERT_EQ(minimal.size(), 3u);
  EXPECT_EQ(minimal[0].n[0], 7);
  EXPECT_EQ(minimal[1].n[0], 23);
  EXPECT_EQ(minimal[2].n[0], 39);
}

// The page normalisation removes styles and nothing else.
TEST(Soak, StyleStrippingKeepsContent) {
  EXPECT_EQ(StripStyles("<div id=\"a\" style=\"left:1px\"><pre style=\"color:red\">x</pre></div>"),
            "<div id=\"a\"><pre>x</pre></div>");
  EXPECT_EQ(StripOwnStyle("<div style=\"top:2px\" id=\"c\"><b style=\"color:red\">y</b></div>"),
            "<div id=\"c\"><b style=\"color:red\">y</b></div>");
  EXPECT_EQ(StripStyles("<p data-style=\"x\">style=\"kept\"</p>"),
            "<p data-style=\"x\">style=\"kept\"</p>");
}

// Every field that differs is named; ItemNum and PageNum are memory only.
TEST(Soak, CompareStateNamesEveryDifference) {
  ControlState a;
  ControlState b;
  a.options.menu_font_size = 14;
  a.windows.push_back(WndRecord{u"memo", 1, 2, 3, 1, 0, 3, u"f", 13, 10});
  b.windows.push_back(WndRecord{u"memo", 1, 2, 4, 1, 0, 3, u"f", 13, 99});
  a.memos.push_back(MemoEntry{{1, 2}, u"s", u"m"});
  b.memos.push_back(MemoEntry{{1, 2}, u"s", std::nullopt});
  LinkMenu menu;
  menu.name = u"n";
  menu.page_num = 3;
  a.menus.push_back(menu);
  menu.page_num = 0;
  b.menus.push_back(menu);
  const std::vector<std::string> diffs = CompareState(a, b);
  ASSERT_EQ(diffs.size(), 3u);
  EXPECT_EQ(diffs[0], "options.MenuFontSize: live 14, stored 13");
  EXPECT_EQ(diffs[1], "windows[0].y: live 3, stored 4");
  EXPECT_EQ(diffs[2], "memo[0].message: live u\"m\", stored null");
}

}  // namespace
}  // namespace vellumine::soak
