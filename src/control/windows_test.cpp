#include "control/windows.h"

#include <gtest/gtest.h>

#include "control/skerrow.h"
#include "control/test_records.h"
#include "page/wide_format.h"
#include "store/records.h"
#include "tests/fake_documents.h"
#include "tests/support.h"

namespace vellumine {
namespace {

using control_test::ConfigRecords;
using control_test::FakeDocument;
using control_test::WallPaperRecords;
using control_test::Window;
using testing::Fixture;
using testing::U8;

constexpr char16_t kWallPaperPath[] = u"/pics/sea.jpg";
constexpr ItemKey kWallPaperKey{0x11111111, 0x22222222};
constexpr char kWallPaperFile[] = "wp/1111111122222222";

// Makes a wallpaper whose list mirrors the global one current.
WallPaperEntry& MakeCurrentWallPaper(ControlState& state) {
  WallPaperEntry entry;
  entry.path = kWallPaperPath;
  entry.key = kWallPaperKey;
  entry.windows = state.windows;
  state.wallpapers.push_back(entry);
  state.current_wallpaper = 0;
  return state.wallpapers.back();
}

TEST(WindowRecords, FindMatchesExactNameAmongEqualHashes) {
  // "A\x6000" and "B\x5a6b" hash alike: 65 * 1429 + 0x6000 == 66 * 1429 + 0x5a6b.
  const std::u16string a = u"A\x6000", b = u"B\x5a6b";
  ASSERT_EQ(StringHash(a), StringHash(b));
  const PageOptions o;
  WndList list{Window(o, a, 1, 1, 1), Window(o, b, 2, 2, 1)};
  EXPECT_EQ(windows::FindRecordIndex(list, b), 1);
  EXPECT_EQ(windows::FindRecordIndex(list, a), 0);
  EXPECT_EQ(windows::FindRecordIndex(list, u"A"), -1);
  EXPECT_EQ(windows::FindRecord(list, b), &list[1]);
  EXPECT_EQ(windows::FindRecord(list, u"zzz"), nullptr);
}

TEST(WindowRecords, RemoveClosesTheGap) {
  const PageOptions o;
  WndList list{Window(o, u"a", 1, 1, 1), Window(o, u"b", 2, 2, 1), Window(o, u"c", 3, 3, 0)};
  const WndList expected{list[0], list[2]};
  EXPECT_FALSE(windows::RemoveRecord(list, u"x"));
  EXPECT_EQ(list.size(), 3u);
  EXPECT_TRUE(windows::RemoveRecord(list, u"b"));
  EXPECT_EQ(list, expected);
}

TEST(SetWndPos, NewThenKnownNameWithoutWallPaper) {
  Fixture f;
  f.state().options.menu_text_color = 7;  // the record takes the options held now
  f.control().SetWndPos(u"calender", 10, 20, 1);
  WndRecord calender = Window(f.state().options, u"calender", 10, 20, 1);
  EXPECT_EQ(f.state().windows, WndList{calender});
  EXPECT_EQ(f.Records("config"), ConfigRecords(f.state().options, -1, {calender}));

  // A known name changes position and visibility only.
  f.state().windows[0].individual = 1;
  f.state().windows[0].font_size = 22;
  f.control().SetWndPos(u"memo", 1, 2, 0);
  f.control().SetWndPos(u"calender", -5, 30, 0);
  calender.individual = 1;
  calender.font_size = 22;
  calender.x = -5;
  calender.y = 30;
  calender.visibility = 0;
  const WndList expected{calender, Window(f.state().options, u"memo", 1, 2, 0)};
  EXPECT_EQ(f.state().windows, expected);
  EXPECT_EQ(f.Records("config"), ConfigRecords(f.state().options, -1, expected));
  EXPECT_FALSE(f.FileExists(kWallPaperFile));
  EXPECT_TRUE(f.Messages().empty());
}

TEST(SetWndPos, MirrorsIntoTheCurrentWallPaper) {
  Fixture f;
  f.control().SetWndPos(u"calender", 10, 20, 1);
  WallPaperEntry& wp = MakeCurrentWallPaper(f.state());
  const PageOptions wp_options = wp.options;

  f.control().SetWndPos(u"memo", 3, 4, 1);        // new
  f.control().SetWndPos(u"calender", 11, 21, 0);  // known
  const WndList expected{Window(f.state().options, u"calender", 11, 21, 0),
                         Window(f.state().options, u"memo", 3, 4, 1)};
  EXPECT_EQ(f.state().windows, expected);
  EXPECT_EQ(f.state().wallpapers[0].windows, expected);
  EXPECT_EQ(f.Records("config"), ConfigRecords(f.state().options, 0, expected));
  EXPECT_EQ(f.Records(kWallPaperFile), WallPaperRecords(kWallPaperPath, wp_options, expected));
}

TEST(SetWndPos, WallPaperListOutOfStepIsUpdatedByName) {
  // After a removal moved the current index, the wallpaper's list no longer
  // mirrors the global one; no window may take another's place.
  Fixture f;
  const PageOptions& o = f.state().options;
  f.state().windows = {Window(o, u"calender", 1, 1, 1), Window(o, u"memo", 2, 2, 1)};
  WallPaperEntry& wp = MakeCurrentWallPaper(f.state());
  wp.windows = {Window(o, u"link", 7, 7, 1)};

  f.control().SetWndPos(u"memo", 50, 60, 0);
  f.control().SetWndPos(u"link", 8, 9, 0);
  const WndList wp_expected{Window(o, u"link", 8, 9, 0), Window(o, u"memo", 50, 60, 0)};
  EXPECT_EQ(f.state().wallpapers[0].windows, wp_expected);
  EXPECT_EQ(f.Records(kWallPaperFile), WallPaperRecords(kWallPaperPath, wp.options, wp_expected));
  EXPECT_EQ(f.state().windows.back(), Window(o, u"link", 8, 9, 0));
}

TEST(SetWndPos, FullListRefusesANewNameSilently) {
  Fixture f;
  for (int i = 0; i < kMaxWindows; ++i) {
    f.state().windows.push_back(Window(f.state().options, u"w" + control_test::Num(i), i, i, 1));
  }
  const WndList before = f.state().windows;
  f.control().SetWndPos(u"one-too-many", 1, 1, 1);
  EXPECT_EQ(f.state().windows, before);
  EXPECT_FALSE(f.FileExists("config"));
  EXPECT_TRUE(f.Messages().empty());

  // A known window still moves.
  f.control().SetWndPos(u"w999", 5, 6, 0);
  EXPECT_EQ(f.state().windows[999].x, 5);
  EXPECT_TRUE(f.FileExists("config"));
}

TEST(SetWndPos, FullWallPaperListRefusesANewNameButTheGlobalListTakesIt) {
  // The wallpaper's list is out of step and full while the global one has
  // room: the global list grows, the wallpaper's stays at its limit.
  Fixture f;
  const PageOptions& o = f.state().options;
  WallPaperEntry& wp = MakeCurrentWallPaper(f.state());
  for (int i = 0; i < kMaxWindows; ++i) {
    wp.windows.push_back(Window(o, u"w" + control_test::Num(i), i, i, 1));
  }
  const WndList wp_before = wp.windows;

  f.control().SetWndPos(u"fresh", 7, 8, 1);
  EXPECT_EQ(f.state().windows, WndList{Window(o, u"fresh", 7, 8, 1)});
  EXPECT_EQ(f.state().wallpapers[0].windows.size(), static_cast<std::size_t>(kMaxWindows));
  EXPECT_EQ(f.state().wallpapers[0].windows, wp_before);
  EXPECT_EQ(f.Records(kWallPaperFile), WallPaperRecords(kWallPaperPath, wp.options, wp_before));

  // A window the wallpaper already knows still moves in both lists.
  f.control().SetWndPos(u"w10", 70, 80, 0);
  EXPECT_EQ(f.state().wallpapers[0].windows[10], Window(o, u"w10", 70, 80, 0));
  EXPECT_EQ(f.state().windows.back(), Window(o, u"w10", 70, 80, 0));
  EXPECT_TRUE(f.Messages().empty());
}

TEST(SetWndPos, NullOrEmptyNameChangesNothing) {
  Fixture f;
  f.control().SetWndPos(std::nullopt, 1, 2, 1);
  f.control().SetWndPos(u"", 1, 2, 1);
  f.control().SetWndPos(std::u16string(1, u'\0') + u"x", 1, 2, 1);
  EXPECT_TRUE(f.state().windows.empty());
  EXPECT_FALSE(f.FileExists("config"));
}

TEST(WindowLayout, AppliesPositionAndVisibility) {
  Fixture f;
  FakeDocument doc;
  auto& shown = doc.body.Add(u"DIV", u"shown");
  auto& hidden = doc.body.Add(u"DIV", u"hidden");
  auto& odd = doc.body.Add(u"DIV", u"odd");
  const PageOptions& o = f.state().options;
  f.state().windows = {Window(o, u"missing", 9, 9, 1), Window(o, u"shown", 10, 20, 1),
                       Window(o, u"hidden", -3, 4, 0), Window(o, u"odd", 5, 6, 2)};
  windows::ApplyWndLayout(f.control().context(), doc);
  EXPECT_EQ(shown.left, 10);
  EXPECT_EQ(shown.top, 20);
  EXPECT_EQ(shown.visibility, u"visible");
  EXPECT_EQ(hidden.left, -3);
  EXPECT_EQ(hidden.visibility, u"hidden");
  EXPECT_EQ(odd.left, 5);
  EXPECT_EQ(odd.top, 6);
  EXPECT_EQ(odd.visibility, std::nullopt);
}

TEST(WindowLayout, RestylesBodyThenIndividualWindows) {
  Fixture f;
  FakeDocument doc;
  auto& outer_div = doc.body.Add(u"DIV", u"plain");
  auto& outer_pre = outer_div.Add(u"PRE");
  auto& span = outer_div.Add(u"SPAN");
  auto& own = doc.body.Add(u"DIV", u"own");
  auto& own_pre = own.Add(u"DIV").Add(u"PRE");
  auto& follows = doc.body.Add(u"DIV", u"follows");
  auto& follows_pre = follows.Add(u"PRE");

  PageOptions& o = f.state().options;
  o.menu_text_color = 8;  // Red
  o.menu_font = u"Menu Face";
  o.menu_font_size = 15;
  WndRecord own_rec = Window(o, u"own", 0, 0, 1);
  own_rec.individual = 1;
  own_rec.text_color = 16;  // Blue
  own_rec.font = u"Own Face";
  own_rec.font_size = 25;
  WndRecord follows_rec = own_rec;
  follows_rec.name = u"follows";
  follows_rec.hash = StringHash(follows_rec.name);
  follows_rec.individual = 0;
  f.state().windows = {own_rec, follows_rec};

  windows::RestyleWindows(f.control().context(), doc);
  EXPECT_EQ(outer_div.color, u"Red");
  EXPECT_EQ(outer_div.font_family, std::nullopt);  // a DIV takes the colour only
  EXPECT_EQ(outer_pre.color, u"Red");
  EXPECT_EQ(outer_pre.font_family, u"Menu Face");
  EXPECT_EQ(outer_pre.font_size, 15);
  EXPECT_EQ(span.writes, 0);
  EXPECT_EQ(own.color, u"Red");  // the window itself belongs to the body
  EXPECT_EQ(own_pre.color, u"Blue");
  EXPECT_EQ(own_pre.font_family, u"Own Face");
  EXPECT_EQ(own_pre.font_size, 25);
  EXPECT_EQ(follows_pre.color, u"Red");
  EXPECT_EQ(follows_pre.font_size, 15);
}

TEST(WindowLayout, ColourOutsideTheTableDisablesStyling) {
  Fixture f;
  FakeDocument doc;
  auto& pre = doc.body.Add(u"DIV", u"own").Add(u"PRE");
  f.state().options.menu_text_color = 19;
  WndRecord own = Window(f.state().options, u"own", 0, 0, 1);
  own.individual = 1;
  own.text_color = -1;
  f.state().windows = {own};
  windows::RestyleWindows(f.control().context(), doc);
  EXPECT_EQ(doc.TotalWrites(), 0);
  EXPECT_EQ(pre.writes, 0);
}

TEST(WindowLayout, PruneDropsMissingWindowsKeepingOrder) {
  FakeDocument doc;
  doc.body.Add(u"DIV", u"b");
  doc.body.Add(u"DIV", u"d");
  const PageOptions o;
  WndList list{Window(o, u"a", 1, 1, 1), Window(o, u"b", 2, 2, 1), Window(o, u"c", 3, 3, 1),
               Window(o, u"c", 3, 3, 1), Window(o, u"d", 4, 4, 1)};
  EXPECT_EQ(windows::PruneWndList(doc, list), 2);
  EXPECT_EQ(list, (WndList{Window(o, u"b", 2, 2, 1), Window(o, u"d", 4, 4, 1)}));
}

TEST(WindowLayout, ForgetFixedPanelsInEveryList) {
  ControlState state;
  const PageOptions& o = state.options;
  state.windows = {Window(o, u"option", 1, 1, 1), Window(o, u"calender", 2, 2, 1),
                   Window(o, u"menumini", 3, 3, 1), Window(o, u"option", 4, 4, 1)};
  state.wallpapers.resize(2);
  state.wallpapers[1].windows = {Window(o, u"option_menu", 1, 1, 1),
                                 Window(o, u"menunormal", 1, 1, 1)};
  windows::ForgetFixedPanels(state);
  EXPECT_EQ(U8(state.windows[0].name), "o");
  EXPECT_EQ(U8(state.windows[1].name), "calender");
  EXPECT_EQ(U8(state.windows[2].name), "m");
  EXPECT_EQ(U8(state.windows[3].name), "o");  // a duplicate too
  EXPECT_EQ(U8(state.wallpapers[1].windows[0].name), "o");
  EXPECT_EQ(U8(state.wallpapers[1].windows[1].name), "m");
  for (std::u16string_view panel : {u"option", u"menumini", u"option_menu", u"menunormal"}) {
    EXPECT_EQ(windows::FindRecord(state.windows, panel), nullptr);
    EXPECT_EQ(windows::FindRecord(state.wallpapers[1].windows, panel), nullptr);
  }
}

std::u16string FrameTail(std::u16string_view n, std::u16string_view individual,
                         std::u16string_view color, std::u16string_view font, int size) {
  return WideFormatted(
      u"</div></div><div id=\"%s_main\" style=\"visibility:hidden\"></div>"
      u"<div id=\"%s_option\" style=\"visibility:hidden\">"
      u"<pre>個別設定:<span id=\"%sDefault\" "
      u"onmouseup=\"Skerrow.ChangeWindowOption(document,'%s','Default',1)\">%s</span></pre>"
      u"<pre><span id=\"%sTextColor\" "
      u"onmouseup=\"Skerrow.ChangeWindowOption(document,'%s','TextColor',1)\">文字色:%s</span>"
      u"</pre>"
      u"<pre>フォント:<span id=\"%sFont\" "
      u"onmouseup=\"Skerrow.ChangeWindowOption(document,'%s','Font',0)\">%s</span></pre>"
      u"<pre>フォントサイズ:<span "
      u"onmouseup=\"Skerrow.ChangeWindowOption(document,'%s','FontSize',-1)\">&lt;</span>"
      u"<span id=\"%sFontSize\">%d</span><span "
      u"onmouseup=\"Skerrow.ChangeWindowOption(document,'%s','FontSize',1)\">&gt;</span></pre>"
      u"<pre onmouseup=\"setview('%s_main','%s_view')\">戻る</pre></div>",
      {n, n, n, n, individual, n, n, color, n, n, font, n, n, size, n, n, n});
}

TEST(WindowFrame, WithoutCloseFollowsTheMenuOptions) {
  ControlState state;
  const std::u16string expected =
      u"<div id=\"link1_view\" style=\"visibility:inherit\">"
      u"<div id=\"link1_view_id\" style=\"visibility:hidden\">link1_main</div>"
      u"<div id=\"link1_view_value\" style=\"position:absolute;left:0px;top:0px;margin:0px;"
      u"border:0px;visibility:inherit\"><p>body</p>"
      u"<pre onmouseup=\"setview('link1_option','link1_view')\">設定</pre>" +
      FrameTail(u"link1", u"無効", u"Black", u"ＭＳ ゴシック", 13);
  EXPECT_EQ(U8(windows::WindowFrame(state, u"link1", u"<p>body</p>", false)), U8(expected));
}

TEST(WindowFrame, WithCloseShowsTheWindowsOwnRecord) {
  ControlState state;
  WndRecord r = Window(state.options, u"memo1", 0, 0, 1);
  r.individual = 1;
  r.text_color = 1;
  r.font = u"Serif";
  r.font_size = 9;
  state.windows = {Window(state.options, u"other", 0, 0, 1), r};
  const std::u16string expected =
      u"<div id=\"memo1_view\" style=\"visibility:inherit\">"
      u"<div id=\"memo1_view_id\" style=\"visibility:hidden\">memo1_main</div>"
      u"<div id=\"memo1_view_value\" style=\"position:absolute;left:0px;top:0px;margin:0px;"
      u"border:0px;visibility:inherit\">"
      u"<pre onmouseup=\"setview('memo1_option','memo1_view')\">設定</pre>"
      u"<pre onmouseup=change('memo1')>閉じる</pre>" +
      FrameTail(u"memo1", u"有効", u"土曜既定色", u"Serif", 9);
  EXPECT_EQ(U8(windows::WindowFrame(state, u"memo1", u"", true)), U8(expected));
}

// A page of just the windows a test names, as a fake document.
void AddWindows(FakeDocument& doc, std::initializer_list<std::u16string> ids) {
  for (const auto& id : ids) doc.body.Add(u"DIV", id);
}

TEST(InitPageWindows, StoredWindowMissingFromThePageIsPruned) {
  Fixture f;
  const PageOptions o;
  const WndRecord calender = Window(o, u"calender", 10, 20, 1);
  f.WriteRecords(
      "config",
      ConfigRecords(o, -1, {Window(o, u"nosuch", 5, 5, 1), calender, Window(o, u"gone", 1, 1, 0)}));
  FakeDocument doc;
  AddWindows(doc, {u"calender"});
  f.control().InitPage(doc);
  EXPECT_EQ(f.state().windows, WndList{calender});
  EXPECT_EQ(f.Records("config"), ConfigRecords(o, -1, {calender}));
  EXPECT_EQ(doc.Node(u"calender")->left, 10);
}

TEST(InitPageWindows, StoredOptionRecordDoesNotMoveTheOptionPanel) {
  Fixture f;
  const PageOptions o;
  const WndRecord calender = Window(o, u"calender", 10, 20, 1);
  f.WriteRecords("config", ConfigRecords(o, -1, {Window(o, u"option", 3, 4, 1), calender}));
  FakeDocument doc;
  AddWindows(doc, {u"calender", u"option"});
  f.control().InitPage(doc);
  const control_test::FakeNode& option = *doc.Node(u"option");
  EXPECT_EQ(option.left, std::nullopt);
  EXPECT_EQ(option.top, std::nullopt);
  EXPECT_EQ(option.visibility, std::nullopt);
  EXPECT_EQ(f.state().windows, WndList{calender});
  EXPECT_EQ(f.Records("config"), ConfigRecords(o, -1, {calender}));

  // Afterwards the panel is placed like any other window.
  f.control().SetWndPos(u"option", 7, 8, 1);
  EXPECT_EQ(f.state().windows.back(), Window(o, u"option", 7, 8, 1));
}

}  // namespace
}  // namespace vellumine
