// The control sharing its data folder: calls act on what is saved, one at a
// time under the folder's lock; saves are ordered so that a failure or a
// crash at any step leaves the old or the new lists, each item with its file.
#include "control/skerrow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dom/html_document.h"
#include "model/messages.h"
#include "platform/faulty_platform.h"
#include "platform/forwarding_platform.h"
#include "platform/posix_platform.h"
#include "platform/scripted_platform.h"
#include "store/records.h"
#include "store/settings.h"
#include "tests/support.h"

namespace vellumine {
namespace {

namespace fs = std::filesystem;
using testing::HasTemporaries;
using testing::Listed;
using testing::LoadListed;
using testing::Show;
using testing::U8;

std::u16string U16(const fs::path& p) { return Utf8ToUtf16(p.string()); }

// One writer: a control over a data folder that others may share, its files
// passing through a platform that can be made to fail or crash.
struct Writer {
  explicit Writer(const fs::path& data, ReloadStyle style = ReloadStyle::kStateOnly)
      : faulty(files), ui(faulty, U16(data) + u"/"), control(ui) {
    control.set_reload_style(style);
    doc = HtmlDocument::Parse(testing::BundledPage());
  }
  std::vector<std::u16string> Messages() const {
    std::vector<std::u16string> out;
    for (const UiEvent& e : ui.events()) out.push_back(e.text);
    return out;
  }
  std::string Html(std::u16string_view id) { return doc->OuterHtmlById(id).value_or(""); }

  PosixPlatform files;
  FaultyPlatform faulty;
  ScriptedPlatform ui;
  CSkerrow control;
  std::unique_ptr<HtmlDocument> doc;
};

std::vector<std::u16string> Records(const fs::path& file) {
  const std::string bytes = testing::ReadAll(file);
  RecordReader reader(bytes);
  std::vector<std::u16string> out;
  for (std::u16string r; reader.Next(&r);) out.push_back(r);
  return out;
}

// The stored x of a window in "config" records ("" when it has none).
std::u16string WindowX(const std::vector<std::u16string>& config, std::u16string_view name) {
  for (const std::u16string& r : config) {
    if (!r.starts_with(u"WndName") || !r.ends_with(u"=" + std::u16string(name))) continue;
    const std::u16string index = r.substr(7, r.find(u'=') - 7);
    const std::u16string key = u"WndPos.x" + index + u"=";
    for (const std::u16string& x : config) {
      if (x.starts_with(key)) return x.substr(key.size());
    }
  }
  return u"";
}

// A data folder with three memos, two link menus (one link each), one
// wallpaper, and window records for memo 1 and menu 0.
void MakeSample(const fs::path& data, const fs::path& files) {
  fs::create_directories(files);
  std::ofstream(files / "a.jpg") << "a";
  std::ofstream(files / "b.jpg") << "b";
  std::ofstream(files / "doc.txt") << "d";
  Writer w(data);
  Document& d = *w.doc;
  w.control.InitPage(d);
  for (int i = 0; i < 3; ++i) {
    w.control.AddMemo(d, u"m" + std::u16string(1, u'0' + i), u"text");
  }
  w.control.MakeLinkMenu(d, u"Docs", -1);
  w.control.MakeLinkMenu(d, u"Tools", -1);
  w.control.AddLink(d, U16(files / "doc.txt"), 0);
  w.control.AddLink(d, U16(files / "doc.txt"), 1);
  w.control.AddWallPaper(d, U16(files / "a.jpg"));
  w.control.SetBG(d, 0);
  const ControlState& s = w.control.state();
  w.control.SetWndPos(u"memo" + KeyHex(s.memos[1].key), 5, 6, 1);
  w.control.SetWndPos(u"link" + KeyHex(s.menus[0].key), 7, 8, 1);
  ASSERT_TRUE(w.Messages().empty());
}

class SharedFolder : public ::testing::Test {
 protected:
  fs::path data() const { return dir_.path() / "data"; }
  fs::path files() const { return dir_.path() / "files"; }
  testing::TempDir dir_;
};

// --- Acting on what is saved ---

TEST_F(SharedFolder, AFirstCallWithoutInitPageActsOnWhatIsSaved) {
  MakeSample(data(), files());
  const Listed before = LoadListed(data());
  const std::vector<std::u16string> config = Records(data() / "config");
  Writer w(data());
  const std::string calendar = w.Html(u"calender");
  w.control.AddMemo(*w.doc, u"new", u"memo");
  w.control.ChangeOption(*w.doc, u"MemoItemNum", 1);
  const Listed after = LoadListed(data());
  ASSERT_EQ(after.memos.size(), 4u);
  EXPECT_TRUE(std::equal(before.memos.begin(), before.memos.end(), after.memos.begin()));
  EXPECT_EQ(after.menus, before.menus);
  EXPECT_EQ(after.wallpapers, before.wallpapers);
  // Every window record and option is kept; only the one option changed.
  std::vector<std::u16string> expected = config;
  for (std::u16string& r : expected) {
    if (r == u"MemoItemNum=10") r = u"MemoItemNum=11";
  }
  EXPECT_EQ(Records(data() / "config"), expected);
  // Loaded as InitPage loads, but nothing of InitPage's was drawn.
  EXPECT_EQ(w.Html(u"calender"), calendar);
  EXPECT_TRUE(w.Messages().empty());
}

TEST_F(SharedFolder, TwoWritersInTurnKeepEachOthersChanges) {
  MakeSample(data(), files());
  Writer a(data());
  Writer b(data());
  a.control.AddMemo(*a.doc, u"from a", u"1");
  b.control.AddMemo(*b.doc, u"from b", u"2");
  a.control.MakeLinkMenu(*a.doc, u"A menu", -1);
  b.control.ChangeOption(*b.doc, u"LinkItemNum", 2);
  a.control.SetWndPos(u"calender", 100, 200, 1);
  b.control.RemoveMemo(*b.doc, 0);
  a.control.ChangeOption(*a.doc, u"MemoItemNum", 3);

  const Listed now = LoadListed(data());
  ASSERT_EQ(now.memos.size(), 4u);
  EXPECT_NE(U8(now.memos[2]).find(":from a:"), std::string::npos);
  EXPECT_NE(U8(now.memos[3]).find(":from b:"), std::string::npos);
  ASSERT_EQ(now.menus.size(), 3u);
  EXPECT_NE(U8(now.menus[2]).find(":A menu"), std::string::npos);
  const std::vector<std::u16string> config = Records(data() / "config");
  for (std::u16string_view r : {u"LinkItemNum=12", u"MemoItemNum=13"}) {
    EXPECT_NE(std::find(config.begin(), config.end(), r), config.end()) << U8(r);
  }
  EXPECT_EQ(WindowX(config, u"calender"), u"100");
  EXPECT_EQ(now.missing_files, 0);
  // b has not called since a's last change; its next call sees it.
  EXPECT_EQ(b.control.state().options.memo_item_num, 10);
  b.control.ChangeMemoPage(*b.doc, 0);
  EXPECT_EQ(b.control.state().options.memo_item_num, 13);
}

TEST_F(SharedFolder, AnUnchangedFolderIsNotLoadedAgain) {
  MakeSample(data(), files());
  Writer w(data());
  w.control.ChangeMemoPage(*w.doc, 0);  // the first call loads
  const int reads = w.faulty.calls(FaultKind::kRead);
  w.control.ChangeMemoPage(*w.doc, 0);
  w.control.SetCalender(*w.doc, 2026, 1);
  // Only the stamp was read, once a call: no list and no item file.
  EXPECT_EQ(w.faulty.calls(FaultKind::kRead), reads + 2);
  // An outside writer changes an index file: the next call loads.
  Writer other(data());
  other.control.AddMemo(*other.doc, u"x", u"y");
  w.control.ChangeMemoPage(*w.doc, 0);
  EXPECT_GT(w.faulty.calls(FaultKind::kRead), reads + 10);
  EXPECT_EQ(w.control.state().memos.size(), 4u);
}

TEST_F(SharedFolder, AnEditedIndexIsSeenEvenWithoutAStamp) {
  MakeSample(data(), files());
  Writer w(data());
  w.control.ChangeMemoPage(*w.doc, 0);
  ASSERT_EQ(w.control.state().memos.size(), 3u);
  // An editor or a sync tool writes the list, and nothing else.
  std::vector<std::u16string> list = Records(data() / "memolist");
  list.resize(4);
  std::ofstream(data() / "memolist", std::ios::binary | std::ios::trunc)
      << testing::EncodeRecords(list);
  w.control.ChangeMemoPage(*w.doc, 0);
  EXPECT_EQ(w.control.state().memos.size(), 2u);
}

TEST_F(SharedFolder, RedrawingHostsGetThePageReloadedBeforeTheCall) {
  MakeSample(data(), files());
  Writer app(data(), ReloadStyle::kRedrawPage);
  app.control.InitPage(*app.doc);
  Writer other(data());
  other.control.AddMemo(*other.doc, u"outside", u"o");
  const std::string calendar = app.Html(u"calender");
  app.doc = HtmlDocument::Parse(testing::BundledPage());  // a blank page shows the redraw
  app.control.AddMemo(*app.doc, u"inside", u"i");
  const std::string memo_list = app.Html(u"memo");
  EXPECT_NE(memo_list.find("outside"), std::string::npos);
  EXPECT_NE(memo_list.find("inside"), std::string::npos);
  EXPECT_EQ(app.Html(u"calender"), calendar);  // InitPage drew it again
  EXPECT_EQ(LoadListed(data()).memos.size(), 5u);

  // A call without the page loads the state; the page follows at the next
  // call that has it.
  other.control.MakeLinkMenu(*other.doc, u"Later", -1);
  app.control.SetWndPos(u"calender", 1, 2, 1);
  EXPECT_EQ(app.control.state().menus.size(), 3u);
  EXPECT_EQ(app.Html(u"link").find("Later"), std::string::npos);
  app.control.ChangeMemoPage(*app.doc, 0);
  EXPECT_NE(app.Html(u"link").find("Later"), std::string::npos);
  EXPECT_EQ(WindowX(Records(data() / "config"), u"calender"), u"1");
}

TEST_F(SharedFolder, OutsideChangesAreToldFromTheControlsOwn) {
  MakeSample(data(), files());
  Writer app(data(), ReloadStyle::kRedrawPage);
  app.control.InitPage(*app.doc);
  app.control.AddMemo(*app.doc, u"mine", u"m");
  const std::u16string mine = u"memo/" + KeyHex(app.control.state().memos.back().key);
  EXPECT_FALSE(app.control.RefreshAfterOutsideChange(*app.doc, {u"memolist", mine, u".stamp"}));
  // A memo's file changed from outside, its list untouched.
  const std::u16string theirs = u"memo/" + KeyHex(app.control.state().memos[0].key);
  std::ofstream(data() / U8(theirs), std::ios::binary | std::ios::trunc)
      << testing::EncodeRecords({u"Subject=edited", u"Message=elsewhere"});
  EXPECT_TRUE(app.control.RefreshAfterOutsideChange(*app.doc, {theirs}));
  EXPECT_NE(app.Html(u"memo").find("edited"), std::string::npos);
  EXPECT_FALSE(app.control.RefreshAfterOutsideChange(*app.doc, {theirs}));
  // Another writer's call: its stamp alone tells.
  Writer other(data());
  other.control.ChangeOption(*other.doc, u"MemoItemNum", 1);
  EXPECT_TRUE(app.control.RefreshAfterOutsideChange(*app.doc, {}));
  EXPECT_EQ(app.control.state().options.memo_item_num, 11);
}

TEST_F(SharedFolder, TheFolderIsLockedForTheWholeCallAndFreeForItsMessages) {
  MakeSample(data(), files());
  Writer w(data());
  PosixPlatform probe;
  const std::u16string lock = U16(data() / ".lock");
  std::vector<bool> locked_when_shown;
  w.ui.set_observer([&](const UiEvent&) {
    bool busy = false;
    std::unique_ptr<FileLock> mine = probe.LockFile(lock, false, &busy);
    locked_when_shown.push_back(busy);
  });
  w.ui.QueueAnswer(Answer::kNo);
  w.control.RemoveLinkMenu(*w.doc, 0);  // the question comes mid-call
  w.faulty.Inject(FaultKind::kWrite, 1);
  w.control.ChangeOption(*w.doc, u"MemoItemNum", 1);  // the failure is told after it
  EXPECT_EQ(w.Messages(), (std::vector<std::u16string>{std::u16string(msg::kConfirmRemoveMenu),
                                                       std::u16string(msg::kSaveFailed)}));
  EXPECT_EQ(locked_when_shown, (std::vector<bool>{true, false}));
  bool busy = true;
  EXPECT_NE(probe.LockFile(lock, false, &busy), nullptr);
}

TEST_F(SharedFolder, LeftoverTemporariesGoWhenTheFolderIsLoaded) {
  MakeSample(data(), files());
  std::ofstream(data() / ".memolist.tmp99-1-0") << "half";
  std::ofstream(data() / "memo" / ".0000000100000002.tmp99-1-1") << "half";
  std::ofstream(data() / "memolist.sync-conflict-20260101-000000-ABC") << "theirs";
  Writer w(data());
  w.control.ChangeMemoPage(*w.doc, 0);
  EXPECT_FALSE(HasTemporaries(data()));
  EXPECT_TRUE(fs::exists(data() / "memolist.sync-conflict-20260101-000000-ABC"));
}

TEST_F(SharedFolder, AFailedSaveHasTheNextCallLoadWhatIsSaved) {
  MakeSample(data(), files());
  Writer w(data());
  w.control.ChangeMemoPage(*w.doc, 0);
  w.faulty.Inject(FaultKind::kWrite, 1);
  w.control.ChangeOption(*w.doc, u"MemoItemNum", 5);
  EXPECT_EQ(w.control.state().options.memo_item_num, 15);  // shown, not saved
  EXPECT_FALSE(w.control.loaded());
  w.control.ChangeMemoPage(*w.doc, 0);
  EXPECT_EQ(w.control.state().options.memo_item_num, 10);
  EXPECT_EQ(w.Messages(), std::vector<std::u16string>{std::u16string(msg::kSaveFailed)});
}

// Every file of the folder written a while ago, as in a folder in use.
void AgeFolder(const fs::path& data) {
  const auto then = fs::file_time_type::clock::now() - std::chrono::minutes(5);
  for (const auto& e : fs::recursive_directory_iterator(data)) {
    if (e.is_regular_file()) fs::last_write_time(e.path(), then);
  }
}

// Real files, with the path of every file read.
struct ReadLog : ForwardingPlatform {
  explicit ReadLog(Platform& inner) : ForwardingPlatform(inner) {}
  std::optional<std::string> ReadFile(std::u16string_view path) override {
    reads.emplace_back(path);
    return ForwardingPlatform::ReadFile(path);
  }
  bool Read(const fs::path& file) const {
    return std::find(reads.begin(), reads.end(), U16(file)) != reads.end();
  }
  std::vector<std::u16string> reads;
};

TEST_F(SharedFolder, ALoadReadsAgainOnlyTheItemFilesChangedSinceTheLast) {
  MakeSample(data(), files());
  AgeFolder(data());
  PosixPlatform real;
  ReadLog log(real);
  ScriptedPlatform ui(log, U16(data()) + u"/");
  CSkerrow control(ui);
  auto doc = HtmlDocument::Parse(testing::BundledPage());
  control.InitPage(*doc);
  const ControlState& s = control.state();
  auto item = [&](const char* folder, const ItemKey& key) {
    return data() / folder / U8(KeyHex(key));
  };
  const fs::path memo0 = item("memo", s.memos[0].key), memo1 = item("memo", s.memos[1].key);
  const fs::path menu0 = item("linkmenu", s.menus[0].key), menu1 = item("linkmenu", s.menus[1].key);
  const fs::path wp = item("wp", s.wallpapers[0].key);
  ASSERT_TRUE(log.Read(memo0) && log.Read(memo1) && log.Read(menu1) && log.Read(wp));

  // Another writer changes one memo, one menu and the wallpaper's windows.
  Writer other(data());
  other.control.RenewMemo(*other.doc, u"changed", u"elsewhere", 1);
  other.control.AddLink(*other.doc, U16(files() / "b.jpg"), 0);
  other.control.SetWndPos(u"memo" + KeyHex(s.memos[1].key), 40, 50, 1);
  log.reads.clear();
  control.InitPage(*doc);
  EXPECT_TRUE(log.Read(memo1));
  EXPECT_TRUE(log.Read(menu0));
  EXPECT_TRUE(log.Read(wp));
  EXPECT_FALSE(log.Read(memo0));
  EXPECT_FALSE(log.Read(menu1));
  EXPECT_EQ(s.memos[1].subject, u"changed");
  EXPECT_EQ(s.memos[0].subject, u"m0");
  ASSERT_EQ(s.menus[0].links.size(), 2u);
  ASSERT_EQ(s.menus[1].links.size(), 1u);
  bool moved = false;
  for (const WndRecord& r : s.wallpapers[0].windows) moved |= r.x == 40 && r.y == 50;
  EXPECT_TRUE(moved);
  EXPECT_NE(doc->OuterHtmlById(u"memofield").value_or("").find("changed"), std::string::npos);

  // Written just now, the changed files are read again next time: a change
  // within the same tick of the file clock would not show in their stamps.
  log.reads.clear();
  control.InitPage(*doc);
  EXPECT_TRUE(log.Read(memo1));
  EXPECT_FALSE(log.Read(memo0));

  // A save that fails leaves memory ahead of the disk: all is read again.
  AgeFolder(data());
  control.InitPage(*doc);
  FaultyPlatform faulty(real);
  ScriptedPlatform failing_ui(faulty, U16(data()) + u"/");
  CSkerrow failing(failing_ui);
  failing.InitPage(*doc);
  const std::u16string name = u"memo" + KeyHex(s.memos[1].key);
  auto at = [&](const CSkerrow& c) {
    for (const WndRecord& r : c.state().wallpapers[0].windows) {
      if (r.name == name) return std::pair(r.x, r.y);
    }
    return std::pair(-1, -1);
  };
  faulty.Inject(FaultKind::kWrite, 1, FaultEffect::kFail, true);
  failing.SetWndPos(name, 99, 98, 1);
  EXPECT_EQ(at(failing), std::pair(99, 98));  // shown, not saved
  faulty.ClearFaults();
  failing.ChangeMemoPage(*doc, 0);
  EXPECT_EQ(at(failing), std::pair(40, 50));
}

// A load made ahead of the first call on another platform, as the desktop
// host does on another thread while the page loads.
FolderPreload Preload(const fs::path& data) {
  PosixPlatform files;
  files.set_data_folder(U16(data) + u"/");
  return PreloadFolder(files);
}

TEST_F(SharedFolder, APreloadSparesTheFirstLoadOnlyTheFilesStillAsItReadThem) {
  MakeSample(data(), files());
  Writer other(data());
  other.control.InitPage(*other.doc);
  const ControlState& o = other.control.state();
  // One memo's file ends in a broken record.
  const ItemKey damaged_key = o.memos[2].key;
  const fs::path damaged = data() / "memo" / U8(KeyHex(damaged_key));
  std::ofstream(damaged, std::ios::binary | std::ios::app) << "\x05\x00";
  AgeFolder(data());
  FolderPreload preload = Preload(data());

  // Another writer changes a memo and a menu between the preload and the
  // first call.
  const fs::path memo0 = data() / "memo" / U8(KeyHex(o.memos[0].key));
  const fs::path memo1 = data() / "memo" / U8(KeyHex(o.memos[1].key));
  const fs::path menu0 = data() / "linkmenu" / U8(KeyHex(o.menus[0].key));
  const fs::path menu1 = data() / "linkmenu" / U8(KeyHex(o.menus[1].key));
  const fs::path wp = data() / "wp" / U8(KeyHex(o.wallpapers[0].key));
  other.control.RenewMemo(*other.doc, u"changed", u"elsewhere", 1);
  other.control.AddLink(*other.doc, U16(files() / "b.jpg"), 0);

  PosixPlatform real;
  ReadLog log(real);
  ScriptedPlatform ui(log, U16(data()) + u"/");
  CSkerrow control(ui);
  control.Prime(std::move(preload));
  // The load alone: InitPage's saves read the files they would replace.
  control.LoadState();
  EXPECT_FALSE(log.Read(memo0));
  EXPECT_FALSE(log.Read(menu1));
  EXPECT_FALSE(log.Read(wp));
  EXPECT_TRUE(log.Read(memo1));
  EXPECT_TRUE(log.Read(menu0));
  // Found damaged by the preload, it is read and found damaged again.
  EXPECT_TRUE(log.Read(damaged));
  EXPECT_TRUE(control.store().IsDamaged(u"memo/" + KeyHex(damaged_key)));

  // What the first load made is what a load without the preload makes.
  auto doc = HtmlDocument::Parse(testing::BundledPage());
  control.InitPage(*doc);
  Writer plain(data());
  plain.control.InitPage(*plain.doc);
  const ControlState& s = control.state();
  const ControlState& p = plain.control.state();
  ASSERT_EQ(s.memos.size(), p.memos.size());
  for (std::size_t i = 0; i < s.memos.size(); ++i) {
    EXPECT_EQ(s.memos[i].subject, p.memos[i].subject) << i;
    EXPECT_EQ(s.memos[i].message, p.memos[i].message) << i;
  }
  ASSERT_EQ(s.menus.size(), p.menus.size());
  for (std::size_t i = 0; i < s.menus.size(); ++i) {
    EXPECT_EQ(s.menus[i].links.size(), p.menus[i].links.size()) << i;
  }
  ASSERT_EQ(s.wallpapers.size(), 1u);
  EXPECT_EQ(s.wallpapers[0].windows.size(), p.wallpapers[0].windows.size());
  EXPECT_EQ(doc->OuterHtmlById(u"memofield"), plain.doc->OuterHtmlById(u"memofield"));
  EXPECT_EQ(doc->OuterHtmlById(u"linkfield"), plain.doc->OuterHtmlById(u"linkfield"));
}

TEST_F(SharedFolder, APreloadComingAfterTheFirstLoadChangesNothing) {
  MakeSample(data(), files());
  AgeFolder(data());
  FolderPreload late = Preload(data());
  Writer w(data());
  w.control.InitPage(*w.doc);
  w.control.RenewMemo(*w.doc, u"renewed", u"here", 0);
  w.control.Prime(std::move(late));
  EXPECT_EQ(w.control.state().memos[0].subject, u"renewed");
  w.control.ChangeMemoPage(*w.doc, 0);
  EXPECT_NE(w.Html(u"memofield").find("renewed"), std::string::npos);
}

// --- Write order: a failed step ---

struct FailCase {
  const char* name;
  FaultKind kind;
  int nth;  // which call of that kind, within the command
  std::function<void(Writer&, const fs::path& files)> command;
};

TEST_F(SharedFolder, AFailedStepStopsTheCallAndLeavesMemoryAsOnDisk) {
  const std::vector<FailCase> cases = {
      {"AddMemo, its file", FaultKind::kWrite, 1,
       [](Writer& w, const fs::path&) { w.control.AddMemo(*w.doc, u"new", u"n"); }},
      {"AddMemo, the list", FaultKind::kWrite, 2,
       [](Writer& w, const fs::path&) { w.control.AddMemo(*w.doc, u"new", u"n"); }},
      {"RenewMemo, its file", FaultKind::kWrite, 1,
       [](Writer& w, const fs::path&) { w.control.RenewMemo(*w.doc, u"re", u"r", 1); }},
      {"RemoveMemo, the list", FaultKind::kWrite, 1,
       [](Writer& w, const fs::path&) { w.control.RemoveMemo(*w.doc, 1); }},
      {"MakeLinkMenu, its file", FaultKind::kWrite, 1,
       [](Writer& w, const fs::path&) { w.control.MakeLinkMenu(*w.doc, u"new", -1); }},
      {"MakeLinkMenu, the index", FaultKind::kWrite, 2,
       [](Writer& w, const fs::path&) { w.control.MakeLinkMenu(*w.doc, u"new", -1); }},
      {"MakeLinkMenu renaming, the index", FaultKind::kWrite, 1,
       [](Writer& w, const fs::path&) { w.control.MakeLinkMenu(*w.doc, u"renamed", 1); }},
      {"RemoveLinkMenu, the index", FaultKind::kWrite, 1,
       [](Writer& w, const fs::path&) {
         w.ui.QueueAnswer(Answer::kYes);
         w.control.RemoveLinkMenu(*w.doc, 0);
       }},
      {"AddWallPaper, its settings", FaultKind::kWrite, 1,
       [](Writer& w, const fs::path& files) {
         w.control.AddWallPaper(*w.doc, U16(files / "b.jpg"));
       }},
      {"AddWallPaper, the list", FaultKind::kWrite, 2,
       [](Writer& w, const fs::path& files) {
         w.control.AddWallPaper(*w.doc, U16(files / "b.jpg"));
       }},
      {"RemoveWallPaper, the list", FaultKind::kWrite, 1,
       [](Writer& w, const fs::path&) { w.control.RemoveWallPaper(*w.doc, 0); }},
      {"AddLink", FaultKind::kWrite, 1,
       [](Writer& w, const fs::path& files) {
         w.control.AddLink(*w.doc, U16(files / "a.jpg"), 0);
       }},
      {"ChangeLink", FaultKind::kWrite, 1,
       [](Writer& w, const fs::path& files) {
         w.control.ChangeLink(*w.doc, 0, U16(files / "b.jpg"), 0);
       }},
      {"RemoveLink", FaultKind::kWrite, 1,
       [](Writer& w, const fs::path&) { w.control.RemoveLink(*w.doc, 0, 0); }},
  };
  for (const FailCase& c : cases) {
    SCOPED_TRACE(c.name);
    testing::TempDir dir;
    const fs::path data = dir.path() / "data";
    MakeSample(data, files());
    const Listed before = LoadListed(data);
    Writer w(data);
    w.control.ChangeMemoPage(*w.doc, 0);
    const ControlState loaded = w.control.state();
    const std::string memo_list = w.Html(u"memo");
    w.faulty.Inject(c.kind, c.nth);
    c.command(w, files());
    EXPECT_EQ(w.faulty.hits(), 1);
    // The message once, last.
    const std::vector<std::u16string> messages = w.Messages();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back(), msg::kSaveFailed);
    EXPECT_EQ(std::count(messages.begin(), messages.end(), msg::kSaveFailed), 1);
    // Nothing listed changed, in memory or on disk, and every item still
    // has its file; the page was not redrawn.
    const Listed now = LoadListed(data);
    EXPECT_EQ(now, before) << Show(now) << "\n" << Show(before);
    EXPECT_EQ(now.missing_files, 0);
    const ControlState& s = w.control.state();
    EXPECT_EQ(s.memos.size(), loaded.memos.size());
    for (std::size_t i = 0; i < s.memos.size() && i < loaded.memos.size(); ++i) {
      EXPECT_EQ(s.memos[i].key, loaded.memos[i].key);
      EXPECT_EQ(s.memos[i].subject, loaded.memos[i].subject);
    }
    ASSERT_EQ(s.menus.size(), loaded.menus.size());
    for (std::size_t i = 0; i < s.menus.size(); ++i) {
      EXPECT_EQ(s.menus[i].name, loaded.menus[i].name);
      EXPECT_EQ(s.menus[i].links.size(), loaded.menus[i].links.size());
    }
    EXPECT_EQ(s.wallpapers.size(), loaded.wallpapers.size());
    EXPECT_EQ(w.Html(u"memo"), memo_list);
    // No orphan: the item folders hold the listed items' files only.
    EXPECT_EQ(std::distance(fs::directory_iterator(data / "memo"), fs::directory_iterator()), 3);
    EXPECT_EQ(std::distance(fs::directory_iterator(data / "linkmenu"), fs::directory_iterator()),
              2);
  }
}

TEST_F(SharedFolder, ARemovalDeletesTheFileOnlyOnceTheListIsSaved) {
  MakeSample(data(), files());
  Writer w(data());
  w.control.ChangeMemoPage(*w.doc, 0);
  const ItemKey key = w.control.state().memos[1].key;
  const std::vector<std::u16string> config = Records(data() / "config");
  w.faulty.Inject(FaultKind::kWrite, 1);  // "memolist"
  w.control.RemoveMemo(*w.doc, 1);
  EXPECT_TRUE(fs::exists(data() / "memo" / U8(KeyHex(key))));
  EXPECT_EQ(Records(data() / "config"), config);  // its window record stays too
  EXPECT_EQ(w.faulty.calls(FaultKind::kRemove), 0);
  // Once the list is saved, the file goes.
  w.control.RemoveMemo(*w.doc, 1);
  EXPECT_FALSE(fs::exists(data() / "memo" / U8(KeyHex(key))));
  EXPECT_EQ(LoadListed(data()).memos.size(), 2u);
}

// --- Write order: a crash at every step ---

struct CrashCase {
  const char* name;
  std::function<void(Writer&, const fs::path& files)> command;
};

TEST_F(SharedFolder, ACrashAtAnyStepLeavesTheOldOrTheNewLists) {
  const std::vector<CrashCase> cases = {
      {"AddMemo", [](Writer& w, const fs::path&) { w.control.AddMemo(*w.doc, u"new", u"n"); }},
      {"RenewMemo",
       [](Writer& w, const fs::path&) { w.control.RenewMemo(*w.doc, u"re", u"r", 1); }},
      {"RemoveMemo", [](Writer& w, const fs::path&) { w.control.RemoveMemo(*w.doc, 1); }},
      {"MakeLinkMenu",
       [](Writer& w, const fs::path&) { w.control.MakeLinkMenu(*w.doc, u"new", -1); }},
      {"RemoveLinkMenu",
       [](Writer& w, const fs::path&) {
         w.ui.QueueAnswer(Answer::kYes);
         w.control.RemoveLinkMenu(*w.doc, 0);
       }},
      {"AddWallPaper",
       [](Writer& w, const fs::path& files) {
         w.control.AddWallPaper(*w.doc, U16(files / "b.jpg"));
       }},
      {"RemoveWallPaper", [](Writer& w, const fs::path&) { w.control.RemoveWallPaper(*w.doc, 0); }},
  };
  const fs::path sample = dir_.path() / "sample";
  MakeSample(sample, files());
  const Listed before = LoadListed(sample);
  int crashes = 0;
  for (const CrashCase& c : cases) {
    // A clean run: the new lists, and how many steps of each kind it takes.
    const fs::path clean = dir_.path() / "clean";
    fs::remove_all(clean);
    fs::copy(sample, clean, fs::copy_options::recursive);
    int steps[kFaultKinds] = {};
    {
      Writer w(clean);
      w.control.ChangeMemoPage(*w.doc, 0);
      const int start[] = {w.faulty.calls(FaultKind::kWrite), w.faulty.calls(FaultKind::kRemove),
                           w.faulty.calls(FaultKind::kOverwrite)};
      c.command(w, files());
      steps[0] = w.faulty.calls(FaultKind::kWrite) - start[0];
      steps[1] = w.faulty.calls(FaultKind::kRemove) - start[1];
      steps[2] = w.faulty.calls(FaultKind::kOverwrite) - start[2];
      ASSERT_TRUE(w.Messages().empty() || c.name == std::string("RemoveLinkMenu")) << c.name;
    }
    const Listed after = LoadListed(clean);
    ASSERT_NE(after, before) << c.name;
    ASSERT_GT(steps[0], 0) << c.name;

    const FaultKind kinds[] = {FaultKind::kWrite, FaultKind::kRemove, FaultKind::kOverwrite};
    for (int k = 0; k < 3; ++k) {
      for (int n = 1; n <= steps[k]; ++n) {
        SCOPED_TRACE(std::string(c.name) + ", step kind " + std::to_string(k) + " #" +
                     std::to_string(n));
        const fs::path data = dir_.path() / "crash";
        fs::remove_all(data);
        fs::copy(sample, data, fs::copy_options::recursive);
        {
          Writer w(data);
          w.control.ChangeMemoPage(*w.doc, 0);
          w.faulty.Inject(kinds[k], n, FaultEffect::kCrash);
          bool crashed = false;
          try {
            c.command(w, files());
          } catch (const CrashInjected&) {
            crashed = true;
          }
          EXPECT_TRUE(crashed);
          ++crashes;
        }
        const Listed now = LoadListed(data);
        EXPECT_TRUE(now == before || now == after)
            << Show(now) << "\nbefore " << Show(before) << "\nafter " << Show(after);
        EXPECT_EQ(now.missing_files, 0) << Show(now);
      }
    }
  }
  EXPECT_GT(crashes, 20);
}

TEST_F(SharedFolder, ACrashedCallReleasesTheLockAndTheNextCallLoads) {
  MakeSample(data(), files());
  Writer w(data());
  w.control.ChangeMemoPage(*w.doc, 0);
  w.faulty.Inject(FaultKind::kWrite, 2, FaultEffect::kCrash);
  EXPECT_THROW(w.control.AddMemo(*w.doc, u"new", u"n"), CrashInjected);
  EXPECT_FALSE(w.control.loaded());
  bool busy = true;
  EXPECT_NE(w.files.LockFile(U16(data() / ".lock"), false, &busy), nullptr);
  w.control.AddMemo(*w.doc, u"again", u"a");
  EXPECT_EQ(LoadListed(data()).memos.size(), 4u);
  EXPECT_EQ(w.control.state().memos.size(), 4u);
  EXPECT_TRUE(w.Messages().empty());
}

// --- Damaged lists ---

TEST_F(SharedFolder, ADamagedListIsKeptBeforeItIsRewrittenAndTheUserTold) {
  MakeSample(data(), files());
  // The list cut inside its last section head, as by a full disk or a bad
  // copy: the last key record (4 + 2 * 21 bytes) and 3 bytes more go.
  std::string list = testing::ReadAll(data() / "memolist");
  list.resize(list.size() - 46 - 3);
  std::ofstream(data() / "memolist", std::ios::binary | std::ios::trunc) << list;
  Writer w(data());
  w.ui.set_time_of_day(9, 8, 7);
  w.control.InitPage(*w.doc);  // InitPage saves "config" only: no copy yet
  EXPECT_TRUE(w.Messages().empty());
  w.control.AddMemo(*w.doc, u"new", u"n");
  w.control.AddMemo(*w.doc, u"newer", u"n");
  const std::string copy = "memolist.damaged-20261207-090807";
  EXPECT_EQ(testing::ReadAll(data() / copy), list);
  EXPECT_EQ(w.Messages(),
            std::vector<std::u16string>{
                u"ファイルが壊れていたため、元のファイルを memolist.damaged-20261207-090807 "
                u"として残しました"});
  EXPECT_EQ(LoadListed(data()).memos.size(), 4u);  // two read, two added
}

TEST_F(SharedFolder, ANegativeCountOrAnOverfullListIsDamagedToo) {
  MakeSample(data(), files());
  std::string bytes = testing::ReadAll(data() / "link");
  bytes += std::string("\xff\xff\xff\xff", 4);  // a count of -1
  std::ofstream(data() / "link", std::ios::binary | std::ios::trunc) << bytes;
  std::vector<std::u16string> wallpapers;
  for (int i = 0; i <= kMaxWallPapers; ++i) {
    wallpapers.push_back(u"[/p/" + std::u16string(1, u'a' + i % 26) + u".jpg]");
  }
  std::ofstream(data() / "wplist", std::ios::binary | std::ios::trunc)
      << testing::EncodeRecords(wallpapers);
  Writer w(data());
  w.control.MakeLinkMenu(*w.doc, u"new", -1);
  w.control.RemoveWallPaper(*w.doc, 0);
  ASSERT_EQ(w.Messages().size(), 2u) << (w.Messages().empty() ? "" : U8(w.Messages()[0]));
  EXPECT_NE(U8(w.Messages()[0]).find("link.damaged-"), std::string::npos);
  EXPECT_NE(U8(w.Messages()[1]).find("wplist.damaged-"), std::string::npos);
  int copies = 0;
  for (const auto& entry : fs::directory_iterator(data())) {
    copies += entry.path().filename().string().find(".damaged-") != std::string::npos;
  }
  EXPECT_EQ(copies, 2);
}

}  // namespace
}  // namespace vellumine
