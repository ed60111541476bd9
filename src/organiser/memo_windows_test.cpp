#include "organiser/memo_windows.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "control/windows.h"
#include "model/messages.h"
#include "organiser/memo_store.h"
#include "store/records.h"
#include "store/settings.h"
#include "tests/fake_documents.h"
#include "tests/support.h"

namespace vellumine::memos {
namespace {

using testing::EncodeRecords;
using testing::Fixture;
using testing::MemoRecordingPage;

std::u16string Hex(const ItemKey& key) {
  char buf[17];
  std::snprintf(buf, sizeof buf, "%08x%08x", key.first, key.second);
  return Utf8ToUtf16(buf);
}

std::u16string Num(long n) { return Utf8ToUtf16(std::to_string(n)); }

std::u16string Name(const MemoEntry& memo) { return u"memo" + Hex(memo.key); }

// The list markup for memos [from, to) of the table and the paging links.
std::u16string ExpectedList(const ControlState& state, std::size_t from, std::size_t to,
                            std::optional<int> prev, std::optional<int> next) {
  std::u16string out = u"<pre onmouseup=movewnd(\"memo\")>移動</pre>";
  for (std::size_t i = from; i < to; ++i) {
    const MemoEntry& memo = state.memos[i];
    if (!memo.subject) continue;
    out += u"<pre onmouseup=change('" + Name(memo) + u"')>" + *memo.subject + u"</pre>";
  }
  if (prev) {
    out += u"<pre onmouseup=Skerrow.ChangeMemoPage(document," + Num(*prev) + u")>前のページ</pre>";
  }
  if (next) {
    out += u"<pre onmouseup=Skerrow.ChangeMemoPage(document," + Num(*next) + u")>次のページ</pre>";
  }
  out += u"<pre onmouseup=\"memofrm.memonum.value=-1;change('memoinput')\">メモの追加</pre>";
  out += u"<pre onmouseup=change(\"memo\")>閉じる</pre>";
  return out;
}

std::u16string ExpectedField(const ControlState& state) {
  std::u16string out;
  for (const MemoEntry& memo : state.memos) {
    out += u"<div id=\"" + Name(memo) +
           u"\" style=\"position:absolute;left:20%;top:10%;margin:0px;border:0px;"
           u"visibility:visible\")></div>";
  }
  return out;
}

std::u16string ExpectedWindow(const ControlState& state, std::size_t i) {
  const MemoEntry& memo = state.memos[i];
  const std::u16string h = Hex(memo.key);
  const std::u16string body =
      u"<pre id=\"subject" + h + u"\" onmouseup=movewnd('memo" + h + u"')>" +
      memo.subject.value_or(u"") + u"</pre><pre id=\"message" + h + u"\">" +
      memo.message.value_or(u"") + u"</pre><pre onmouseup=\"trinputfield('subject" + h +
      u"','subject');trinputfield('message" + h + u"','message');memofrm.memonum.value=" +
      Num(static_cast<long>(i)) + u";show('memoinput');\">編集</pre>";
  return windows::WindowFrame(state, u"memo" + h, body, true);
}

// Memos with distinct keys straight into the table.
void Fill(ControlState& state, int n) {
  for (int i = 0; i < n; ++i) {
    MemoEntry memo;
    memo.key = {static_cast<std::uint32_t>(i + 1), static_cast<std::uint32_t>(0x100 + i)};
    memo.subject = u"件名" + Num(i);
    memo.message = u"本文" + Num(i);
    state.memos.push_back(std::move(memo));
  }
}

void ExpectAllWindows(const MemoRecordingPage& doc, const ControlState& state) {
  EXPECT_EQ(doc.Inner(u"memofield"), ExpectedField(state));
  for (std::size_t i = 0; i < state.memos.size(); ++i) {
    EXPECT_EQ(doc.Inner(Name(state.memos[i])), ExpectedWindow(state, i)) << "memo " << i;
  }
}

TEST(MemoWindowsTest, NoMemosShowOnlyTheFixedLines) {
  Fixture f;
  MemoRecordingPage doc;
  RenderMemos(f.control().context(), doc);
  EXPECT_EQ(doc.Inner(u"memo"), ExpectedList(f.state(), 0, 0, std::nullopt, std::nullopt));
  EXPECT_EQ(doc.Inner(u"memofield"), u"");
  EXPECT_EQ(doc.node(u"memofield").writes, 1);
}

TEST(MemoWindowsTest, TwentyFiveMemosPageThroughChangeMemoPage) {
  Fixture f;
  MemoRecordingPage doc;
  Fill(f.state(), 25);
  const ControlState& s = f.state();
  RenderMemoList(f.control().context(), doc);
  EXPECT_EQ(doc.Inner(u"memo"), ExpectedList(s, 0, 10, std::nullopt, 1));

  f.control().ChangeMemoPage(doc, 1);
  EXPECT_EQ(s.memo_page, 1);
  EXPECT_EQ(doc.Inner(u"memo"), ExpectedList(s, 10, 20, 0, 2));

  f.control().ChangeMemoPage(doc, 2);
  EXPECT_EQ(doc.Inner(u"memo"), ExpectedList(s, 20, 25, 1, std::nullopt));

  // Pages outside the list are clamped and the clamped page is kept.
  f.control().ChangeMemoPage(doc, 7);
  EXPECT_EQ(s.memo_page, 2);
  EXPECT_EQ(doc.Inner(u"memo"), ExpectedList(s, 20, 25, 1, std::nullopt));
  f.control().ChangeMemoPage(doc, -3);
  EXPECT_EQ(s.memo_page, 0);
  EXPECT_EQ(doc.Inner(u"memo"), ExpectedList(s, 0, 10, std::nullopt, 1));
  EXPECT_TRUE(f.Messages().empty());
}

TEST(MemoWindowsTest, FullPagesGetNoPagingLinks) {
  Fixture f;
  MemoRecordingPage doc;
  Fill(f.state(), 10);
  RenderMemoList(f.control().context(), doc);
  EXPECT_EQ(doc.Inner(u"memo"), ExpectedList(f.state(), 0, 10, std::nullopt, std::nullopt));

  Fill(f.state(), 1);
  f.state().memos.back().key.first = 99;
  RenderMemoList(f.control().context(), doc);
  EXPECT_EQ(doc.Inner(u"memo"), ExpectedList(f.state(), 0, 10, std::nullopt, 1));
}

TEST(MemoWindowsTest, PageSizeFromSettingsBelowOneFallsBackToTen) {
  for (std::int32_t bad : {0, -4}) {
    Fixture f;
    MemoRecordingPage doc;
    Fill(f.state(), 25);
    f.state().options.memo_item_num = bad;
    f.state().memo_page = 1;
    RenderMemoList(f.control().context(), doc);
    EXPECT_EQ(doc.Inner(u"memo"), ExpectedList(f.state(), 10, 20, 0, 2)) << bad;
  }
  // Small positive values from a file are used as they are.
  Fixture f;
  MemoRecordingPage doc;
  Fill(f.state(), 7);
  f.state().options.memo_item_num = 3;
  f.control().ChangeMemoPage(doc, 2);
  EXPECT_EQ(doc.Inner(u"memo"), ExpectedList(f.state(), 6, 7, 1, std::nullopt));
}

TEST(MemoWindowsTest, MemoWithoutTextsKeepsItsPlaceAndIsDrawnEmpty) {
  Fixture f;
  MemoRecordingPage doc;
  Fill(f.state(), 12);
  f.state().memos[5].subject.reset();
  f.state().memos[5].message.reset();
  f.state().memos[0].subject.reset();  // the first one too
  f.state().memos[0].message.reset();
  RenderMemos(f.control().context(), doc);
  // Ten places on page 0, two of them without a line.
  EXPECT_EQ(doc.Inner(u"memo"), ExpectedList(f.state(), 0, 10, std::nullopt, 1));
  ExpectAllWindows(doc, f.state());
}

TEST(MemoWindowsTest, WindowsAreDrawnWithOneLookupEach) {
  Fixture f;
  MemoRecordingPage doc;
  Fill(f.state(), 40);
  RenderMemoWindows(f.control().context(), doc);
  EXPECT_EQ(doc.lookups(), 41);
  ExpectAllWindows(doc, f.state());
  // A second render replaces every window.
  f.state().memos.erase(f.state().memos.begin());
  doc.reset_lookups();
  RenderMemoWindows(f.control().context(), doc);
  EXPECT_EQ(doc.lookups(), 40);
  ExpectAllWindows(doc, f.state());
}

TEST(MemoWindowsTest, MissingElementsSilenceOnlyTheirOwnWindows) {
  Fixture f;
  Fill(f.state(), 25);
  MemoRecordingPage no_list({u"memofield"});
  f.state().memo_page = 9;
  RenderMemos(f.control().context(), no_list);
  EXPECT_EQ(f.state().memo_page, 9);  // not clamped without a list to draw
  ExpectAllWindows(no_list, f.state());

  MemoRecordingPage no_field({u"memo"});
  RenderMemos(f.control().context(), no_field);
  EXPECT_EQ(f.state().memo_page, 2);
  EXPECT_FALSE(no_field.Has(Name(f.state().memos[0])));
}

TEST(MemoWindowsTest, NullTextsAreRefusedSubjectFirst) {
  Fixture f;
  MemoRecordingPage doc;
  f.control().AddMemo(doc, std::nullopt, std::nullopt);
  f.control().AddMemo(doc, std::nullopt, u"m");
  f.control().AddMemo(doc, u"s", std::nullopt);
  EXPECT_EQ(f.Messages(), (std::vector<std::u16string>{std::u16string(msg::kNoSubject),
                                                       std::u16string(msg::kNoSubject),
                                                       std::u16string(msg::kNoMessage)}));
  EXPECT_TRUE(f.state().memos.empty());
  EXPECT_FALSE(f.FileExists("memolist"));
  EXPECT_FALSE(f.FileExists("memo"));
  EXPECT_EQ(doc.node(u"memo").writes, 0);

  // Empty texts are texts.
  f.control().AddMemo(doc, u"", u"");
  EXPECT_EQ(f.state().memos.size(), 1u);
  EXPECT_EQ(f.Messages().size(), 3u);
}

TEST(MemoWindowsTest, TypedMarkupIsShownAsTyped) {
  Fixture f;
  MemoRecordingPage doc;
  f.control().AddMemo(doc, u"a<b", u"\"x\" & y");
  ASSERT_EQ(f.state().memos.size(), 1u);
  const MemoEntry& memo = f.state().memos[0];
  EXPECT_EQ(memo.subject, u"a&lt;b");
  EXPECT_EQ(memo.message, u"&quot;x&quot; &amp; y");
  EXPECT_EQ(memo.key.first, StringHash(u"a&lt;b"));
  EXPECT_EQ(f.FileBytes("memo/" + testing::U8(Hex(memo.key))),
            EncodeRecords({u"Subject=a&lt;b", u"Message=&quot;x&quot; &amp; y"}));
  EXPECT_EQ(doc.Inner(u"memo"), ExpectedList(f.state(), 0, 1, std::nullopt, std::nullopt));
  ExpectAllWindows(doc, f.state());
}

TEST(MemoWindowsTest, FullTableRefusesAnAddAndChangesNothing) {
  Fixture f;
  MemoRecordingPage doc;
  Fill(f.state(), kMaxMemos - 1);
  f.control().AddMemo(doc, u"last", u"fits");
  ASSERT_EQ(f.state().memos.size(), static_cast<std::size_t>(kMaxMemos));
  EXPECT_TRUE(f.Messages().empty());
  const std::string list = f.FileBytes("memolist");
  const int writes = doc.node(u"memo").writes;

  f.control().AddMemo(doc, u"one", u"too many");
  EXPECT_EQ(f.Messages(), std::vector<std::u16string>{std::u16string(msg::kTableFull)});
  EXPECT_EQ(f.state().memos.size(), static_cast<std::size_t>(kMaxMemos));
  EXPECT_EQ(f.FileBytes("memolist"), list);
  EXPECT_EQ(doc.node(u"memo").writes, writes);
  std::size_t files = 0;
  for ([[maybe_unused]] const auto& entry :
       std::filesystem::directory_iterator(f.data() / "memo")) {
    ++files;
  }
  EXPECT_EQ(files, 1u);
}

TEST(MemoWindowsTest, TextsTooLongForARecordAreRefusedWholeAndChangeNothing) {
  Fixture f;
  MemoRecordingPage doc;
  f.control().AddMemo(doc, u"s", u"m");
  const std::string list = f.FileBytes("memolist");
  // Escaping makes each "<" four units: just past what a record can hold.
  const std::u16string huge(kMaxRecordUnits / 4, u'<');
  f.control().AddMemo(doc, u"s", huge);
  f.control().RenewMemo(doc, huge, u"m", 0);
  EXPECT_EQ(f.Messages(), (std::vector<std::u16string>{std::u16string(msg::kSaveFailed),
                                                       std::u16string(msg::kSaveFailed)}));
  ASSERT_EQ(f.state().memos.size(), 1u);
  EXPECT_EQ(f.state().memos[0].subject, u"s");
  EXPECT_EQ(f.FileBytes("memolist"), list);
}

TEST(MemoWindowsTest, RenewKeepsKeyFileAndWindow) {
  Fixture f;
  MemoRecordingPage doc;
  f.control().AddMemo(doc, u"first", u"one");
  f.control().AddMemo(doc, u"second", u"two");
  const ItemKey key = f.state().memos[1].key;
  const std::string list = f.FileBytes("memolist");

  f.control().RenewMemo(doc, u"re<named>", u"changed", 1);
  const MemoEntry& memo = f.state().memos[1];
  EXPECT_EQ(memo.key, key);
  EXPECT_EQ(memo.subject, u"re&lt;named&gt;");
  EXPECT_EQ(f.FileBytes("memo/" + testing::U8(Hex(key))),
            EncodeRecords({u"Subject=re&lt;named&gt;", u"Message=changed"}));
  EXPECT_EQ(f.FileBytes("memolist"), list);
  EXPECT_EQ(doc.Inner(u"memo"), ExpectedList(f.state(), 0, 2, std::nullopt, std::nullopt));
  ExpectAllWindows(doc, f.state());
  EXPECT_TRUE(f.Messages().empty());
}

TEST(MemoWindowsTest, RenewRefusesBadNumbersSilentlyAndNullTextsAloud) {
  Fixture f;
  MemoRecordingPage doc;
  f.control().AddMemo(doc, u"s", u"m");
  const std::string file = f.FileBytes("memo/" + testing::U8(Hex(f.state().memos[0].key)));
  for (std::int32_t bad : {-1, 1, 1000, std::numeric_limits<std::int32_t>::min()}) {
    f.control().RenewMemo(doc, u"x", u"y", bad);
    f.control().RemoveMemo(doc, bad);
  }
  EXPECT_TRUE(f.Messages().empty());
  f.control().RenewMemo(doc, std::nullopt, std::nullopt, 0);
  f.control().RenewMemo(doc, u"x", std::nullopt, 0);
  EXPECT_EQ(f.Messages(), (std::vector<std::u16string>{std::u16string(msg::kNoSubject),
                                                       std::u16string(msg::kNoMessage)}));
  ASSERT_EQ(f.state().memos.size(), 1u);
  EXPECT_EQ(f.state().memos[0].subject, u"s");
  EXPECT_EQ(f.FileBytes("memo/" + testing::U8(Hex(f.state().memos[0].key))), file);
}

TEST(MemoWindowsTest, EditMemoChangesNothing) {
  Fixture f;
  MemoRecordingPage doc;
  f.control().AddMemo(doc, u"s", u"m");
  const std::string list = f.FileBytes("memolist");
  const int writes = doc.node(u"memo").writes;
  for (std::int32_t n : {0, -1, 5}) EXPECT_EQ(f.control().EditMemo(doc, n), kOk);
  EXPECT_EQ(f.state().memos.size(), 1u);
  EXPECT_EQ(f.FileBytes("memolist"), list);
  EXPECT_EQ(doc.node(u"memo").writes, writes);
  EXPECT_TRUE(f.Messages().empty());
}

// Every record of the settings files, decoded.
std::vector<std::u16string> SettingsRecords(const Fixture& f) {
  std::vector<std::u16string> out = f.Records("config");
  const auto wp = f.data() / "wp";
  if (std::filesystem::exists(wp)) {
    for (const auto& entry : std::filesystem::directory_iterator(wp)) {
      for (auto& r : f.Records("wp/" + entry.path().filename().string())) out.push_back(r);
    }
  }
  return out;
}

bool Mentions(const std::vector<std::u16string>& records, std::u16string_view name) {
  for (const auto& r : records) {
    if (r.find(name) != std::u16string::npos) return true;
  }
  return false;
}

TEST(MemoWindowsTest, RemovingMemoThreeOfFiveForgetsItEverywhere) {
  Fixture f;
  MemoRecordingPage doc;
  for (int i = 0; i < 5; ++i) f.control().AddMemo(doc, u"m" + Num(i), u"text" + Num(i));
  ASSERT_EQ(f.state().memos.size(), 5u);
  std::vector<ItemKey> keys;
  for (const auto& m : f.state().memos) keys.push_back(m.key);
  const std::u16string gone = u"memo" + Hex(keys[3]);
  const std::u16string kept = u"memo" + Hex(keys[1]);

  auto record = [&](const std::u16string& name) {
    WndRecord r;
    DefaultWndStyle(f.state().options, r);
    r.name = name;
    r.hash = StringHash(name);
    r.x = 10;
    r.visibility = 1;
    return r;
  };
  ControlState& s = f.state();
  s.windows = {record(kept), record(gone)};
  WallPaperEntry with;
  with.path = u"/pictures/a.jpg";
  with.key = {StringHash(with.path), 2};
  with.windows = {record(gone), record(kept)};
  WallPaperEntry without;
  without.path = u"/pictures/b.jpg";
  without.key = {StringHash(without.path), 4};
  without.windows = {record(kept)};
  WallPaperEntry also;
  also.path = u"/pictures/c.jpg";
  also.key = {StringHash(also.path), 6};
  also.windows = {record(gone)};
  s.wallpapers = {with, without, also};
  // Saved as the control would, so that what it acts on is what is saved.
  SaveConfig(f.control().store(), s);
  SaveWallPaperList(f.control().store(), s);
  for (WallPaperEntry& wp : s.wallpapers) SaveWallPaperSettings(f.control().store(), wp);
  // A list without the window is not rewritten: its file stays the same file.
  const std::string without_file = "wp/" + testing::U8(Hex(without.key));
  const std::vector<std::u16string> without_records = f.Records(without_file);
  struct stat before {};
  ASSERT_EQ(stat((f.data() / without_file).c_str(), &before), 0);
  ASSERT_TRUE(Mentions(SettingsRecords(f), gone));

  f.control().RemoveMemo(doc, 3);

  ASSERT_EQ(s.memos.size(), 4u);
  EXPECT_EQ(
      f.FileBytes("memolist"),
      EncodeRecords({u"[memo0]", u"Hash=" + Hex(keys[0]), u"[memo1]", u"Hash=" + Hex(keys[1]),
                     u"[memo2]", u"Hash=" + Hex(keys[2]), u"[memo3]", u"Hash=" + Hex(keys[4])}));
  EXPECT_FALSE(f.FileExists("memo/" + testing::U8(Hex(keys[3]))));
  EXPECT_TRUE(f.FileExists("memo/" + testing::U8(Hex(keys[4]))));

  EXPECT_EQ(windows::FindRecordIndex(s.windows, gone), -1);
  EXPECT_EQ(s.windows.size(), 1u);
  for (const auto& wp : s.wallpapers) EXPECT_EQ(windows::FindRecordIndex(wp.windows, gone), -1);
  EXPECT_EQ(s.wallpapers[0].windows.size(), 1u);
  EXPECT_EQ(s.wallpapers[1].windows.size(), 1u);
  EXPECT_TRUE(s.wallpapers[2].windows.empty());
  EXPECT_EQ(f.Records(without_file), without_records);
  struct stat after {};
  ASSERT_EQ(stat((f.data() / without_file).c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
  EXPECT_FALSE(Mentions(SettingsRecords(f), gone));
  EXPECT_TRUE(Mentions(f.Records("config"), kept));

  // The former memo 4 now edits as number 3; the removed window is gone.
  EXPECT_EQ(doc.Inner(u"memo"), ExpectedList(s, 0, 4, std::nullopt, std::nullopt));
  ExpectAllWindows(doc, s);
  EXPECT_EQ(doc.Inner(u"memofield").find(gone), std::u16string::npos);
  EXPECT_NE(doc.Inner(u"memo" + Hex(keys[4])).find(u"memofrm.memonum.value=3;"),
            std::u16string::npos);
  EXPECT_TRUE(f.Messages().empty());
}

TEST(MemoWindowsTest, ListAndWindowsOnTheRealPage) {
  Fixture f;
  Fill(f.state(), 2);
  RenderMemos(f.control().context(), f.doc());
  // The expectation goes through the same parser as the page.
  auto reference = HtmlDocument::Parse(
      "<body><div id=\"memo\" class=\"wnd\" style=\"left:480px;top:40px\"></div>"
      "<div id=\"memofield\"></div></body>");
  auto set = [&](std::u16string_view id, const std::u16string& html) {
    auto element = reference->FindElementById(id);
    ASSERT_NE(element, nullptr) << testing::U8(id);
    element->SetInnerHtml(html);
  };
  set(u"memo", ExpectedList(f.state(), 0, 2, std::nullopt, std::nullopt));
  set(u"memofield", ExpectedField(f.state()));
  for (std::size_t i = 0; i < 2; ++i) {
    set(Name(f.state().memos[i]), ExpectedWindow(f.state(), i));
  }
  EXPECT_EQ(f.Html(u"memo"), reference->OuterHtmlById(u"memo").value_or("-"));
  EXPECT_EQ(f.Html(u"memofield"), reference->OuterHtmlById(u"memofield").value_or("-"));
  EXPECT_FALSE(f.Html(u"memofield").empty());
}

}  // namespace
}  // namespace vellumine::memos
