#include "soak/soak_session.h"

#include <unistd.h>

#include <fstream>
#include <sstream>
#include <utility>

#include "control/option_texts.h"
#include "control/windows.h"
#include "links/link_store.h"
#include "links/link_windows.h"
#include "model/messages.h"
#include "organiser/memo_store.h"
#include "organiser/memo_windows.h"
#include "page/text.h"
#include "page/wide_format.h"
#include "platform/scripted_platform.h"
#include "soak/soak_comparison.h"
#include "store/records.h"
#include "store/settings.h"
#include "store/store.h"

namespace vellumine::soak {

// Scripted dialogs answered per call, files on a real folder.
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

namespace {

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

double Seconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

}  // namespace

Session::Session(const std::string& page, std::size_t full_every, int as_drawn)
    : page_(page), full_every_(full_every), as_drawn_(as_drawn), root_(SoakRoot()) {
  MakePictures();
  platform_ = std::make_unique<SoakPlatform>(files_, U16(data()) + u"/");
  control_ = std::make_unique<CSkerrow>(*platform_);
  doc_ = HtmlDocument::Parse(page_);
  Call init;
  init.method = M::InitPage;
  Run(init);
}

Session::~Session() {
  control_.reset();
  std::error_code ec;
  fs::remove_all(root_, ec);
}

// A picture of its own for the i-th item that needs a distinct file (a
// wallpaper, a link), made on first use.
std::u16string Session::FillPicture(std::size_t i) const {
  const fs::path p = pictures() / "fill" / ("p" + std::to_string(i) + ".png");
  if (!fs::exists(p)) {
    fs::create_directories(p.parent_path());
    std::ofstream(p) << i;
  }
  return U16(p);
}

// What the tables hold, and what the sequence made the user see.
std::string Session::Summary() const {
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
std::optional<Fault> Session::Step(const Call& call, std::size_t index, bool last, CheckMode mode) {
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

void Session::MakePictures() {
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
TextArg Session::WindowArg(const Call& c) const {
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

HResult Session::Run(const Call& c) {
  platform_->Prepare(c);
  const Method& method = MethodOf(c.method);
  CallArgs args(c, method);
  return method.invoke(*control_, doc_.get(), args);
}

std::optional<std::string> Session::CheckLimits() const {
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
std::optional<std::string> Session::CheckStored() {
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
void Session::WriteUnlistedFrameTexts(const ControlState& live, Document& doc) {
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

std::optional<std::string> Session::CheckPage() {
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
      memos::RenderMemos(control->context(), *doc);
      links::RenderLinkWindows(control->context(), *doc);
      windows::Refresh(control->context(), *doc);
      options::RefreshOptionTexts(control->context(), *doc);
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

}  // namespace vellumine::soak
