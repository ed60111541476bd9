// Windows that commands draw afresh: they show their own stored options
// again, and a new memo or menu window never lands exactly on another one.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "control/windows.h"
#include "store/records.h"
#include "tests/support.h"

namespace vellumine {
namespace {

using testing::Fixture;
using testing::U8;

std::u16string Hex(const ItemKey& key) {
  char buf[17];
  std::snprintf(buf, sizeof buf, "%08x%08x", key.first, key.second);
  return Utf8ToUtf16(buf);
}

std::u16string MemoWindow(Fixture& f, std::size_t i) {
  return u"memo" + Hex(f.state().memos.at(i).key);
}
std::u16string LinkWindow(Fixture& f, std::size_t i) {
  return u"link" + Hex(f.state().menus.at(i).key);
}

// The style attribute of the first element with this id ("" when none).
std::string StyleOf(Fixture& f, const std::u16string& id) {
  const std::string html = f.Html(id);
  const std::size_t at = html.find("style=\"");
  if (at == std::string::npos || at > html.find('>')) return "";
  return html.substr(at + 7, html.find('"', at + 7) - at - 7);
}

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

std::vector<std::u16string> WindowNames(const WndList& list) {
  std::vector<std::u16string> names;
  for (const WndRecord& r : list) names.push_back(r.name);
  return names;
}

// Switches a window to its own options through the control, as the page's
// option panel does.
void OwnRed(Fixture& f, const std::u16string& name) {
  f.control().ChangeWindowOption(f.doc(), name, u"Default", 1);
  // Black (3) to Red (8).
  f.control().ChangeWindowOption(f.doc(), name, u"TextColor", 5);
}

TEST(WindowRedraw, AddingAMemoKeepsTheOtherMemosOwnColourAndTheMenuOptions) {
  Fixture f;
  f.control().InitPage(f.doc());
  f.control().ChangeOption(f.doc(), u"MenuFontSize", 3);  // 13 -> 16
  f.control().AddMemo(f.doc(), u"M1", u"first");
  const std::u16string m1 = MemoWindow(f, 0);
  OwnRed(f, m1);
  const std::u16string subject1 = u"subject" + Hex(f.state().memos[0].key);
  ASSERT_TRUE(Has(StyleOf(f, subject1), "Red")) << StyleOf(f, subject1);

  f.control().AddMemo(f.doc(), u"M2", u"second");
  // M1 is drawn afresh and shows its own colour again (its size was the
  // menu's when it got its own options).
  EXPECT_TRUE(Has(StyleOf(f, subject1), "color: Red")) << StyleOf(f, subject1);
  EXPECT_TRUE(Has(StyleOf(f, subject1), "font-size: 16px")) << StyleOf(f, subject1);
  // M2 follows the menu options, as every window of the styled page does.
  const std::u16string subject2 = u"subject" + Hex(f.state().memos[1].key);
  EXPECT_TRUE(Has(StyleOf(f, subject2), "color: Black")) << StyleOf(f, subject2);
  EXPECT_TRUE(Has(StyleOf(f, subject2), "font-size: 16px")) << StyleOf(f, subject2);
  // And the list window, drawn afresh too.
  EXPECT_TRUE(Has(f.Html(u"memo"), "font-size: 16px")) << f.Html(u"memo");

  // Renewing and removing redraw alike; the file still says red.
  f.control().RenewMemo(f.doc(), u"M2", u"changed", 1);
  EXPECT_TRUE(Has(StyleOf(f, subject1), "color: Red")) << StyleOf(f, subject1);
  f.control().RemoveMemo(f.doc(), 1);
  EXPECT_TRUE(Has(StyleOf(f, subject1), "color: Red")) << StyleOf(f, subject1);
  const auto config = f.Records("config");
  EXPECT_NE(std::find(config.begin(), config.end(), u"WndTextColor0=8"), config.end());
}

TEST(WindowRedraw, AnUnstyledPageGetsNoStylesButAnOwnWindowStillGetsItsOwn) {
  Fixture f;  // no InitPage: nothing on the page carries the menu options
  f.control().AddMemo(f.doc(), u"M1", u"first");
  const std::u16string subject1 = u"subject" + Hex(f.state().memos[0].key);
  EXPECT_EQ(StyleOf(f, subject1), "");
  // A record of its own read from the files, not yet applied to the page.
  WndRecord own;
  DefaultWndStyle(f.state().options, own);
  own.name = MemoWindow(f, 0);
  own.hash = StringHash(own.name);
  own.individual = 1;
  own.text_color = 8;  // Red
  own.font_size = 21;
  f.state().windows.push_back(own);
  f.control().AddMemo(f.doc(), u"M2", u"second");
  EXPECT_TRUE(Has(StyleOf(f, subject1), "color: Red")) << StyleOf(f, subject1);
  EXPECT_TRUE(Has(StyleOf(f, subject1), "font-size: 21px")) << StyleOf(f, subject1);
  EXPECT_EQ(StyleOf(f, u"subject" + Hex(f.state().memos[1].key)), "");
}

TEST(WindowRedraw, LinkWindowsKeepTheirOwnOptionsThroughEveryRedraw) {
  Fixture f;
  f.control().InitPage(f.doc());
  f.control().MakeLinkMenu(f.doc(), u"A", -1);
  f.control().MakeLinkMenu(f.doc(), u"B", -1);
  const std::u16string a = LinkWindow(f, 0);
  OwnRed(f, a);
  // Each command that draws the menus afresh.
  f.control().MakeLinkMenu(f.doc(), u"C", -1);
  const std::u16string view = a + u"_view";
  auto red = [&] {
    const std::string html = f.Html(view);
    return Has(html, "<pre style=\"color: Red") || Has(html, "style=\"color: Red");
  };
  EXPECT_TRUE(red()) << f.Html(view);
  f.control().ChangeLinkPage(f.doc(), 1, 0);
  EXPECT_TRUE(red()) << f.Html(view);
  f.control().ChangeOption(f.doc(), u"LinkItemNum", 1);
  EXPECT_TRUE(red()) << f.Html(view);
  f.ui().QueueAnswer(Answer::kYes);
  f.control().RemoveLinkMenu(f.doc(), 2);
  EXPECT_TRUE(red()) << f.Html(view);
  // A menu that follows the menu options is drawn in them.
  EXPECT_TRUE(Has(f.Html(LinkWindow(f, 1) + u"_view"), "color: Black"))
      << f.Html(LinkWindow(f, 1) + u"_view");
}

TEST(WindowRedraw, ScheduleAndMemoListPagesTakeTheMenuOptions) {
  Fixture f;
  f.control().InitPage(f.doc());
  f.control().ChangeOption(f.doc(), u"MenuFontSize", 5);  // 18
  f.control().ChangeDate(f.doc(), 2005, 3, 7);
  EXPECT_TRUE(Has(f.Html(u"schedule"), "font-size: 18px")) << f.Html(u"schedule");
  f.control().ChangeMemoPage(f.doc(), 0);
  EXPECT_TRUE(Has(f.Html(u"memo"), "font-size: 18px")) << f.Html(u"memo");
  f.control().ChangeOption(f.doc(), u"MemoItemNum", 1);
  EXPECT_TRUE(Has(f.Html(u"memo"), "font-size: 18px")) << f.Html(u"memo");
}

TEST(WindowRedraw, ANewMemoNeverLandsExactlyOnARecordedOne) {
  Fixture f;
  f.control().InitPage(f.doc());
  // Two memos without records share the default place; the page fans those
  // out, and nothing is recorded for them.
  f.control().AddMemo(f.doc(), u"M1", u"1");
  f.control().AddMemo(f.doc(), u"M2", u"2");
  EXPECT_EQ(windows::FindRecordIndex(f.state().windows, MemoWindow(f, 1)), -1);
  // M1 recorded at the default place (20, 10 on this page), M2 one step on.
  f.control().SetWndPos(MemoWindow(f, 0), 20, 10, 1);
  f.control().SetWndPos(MemoWindow(f, 1), 48, 38, 0);
  f.control().AddMemo(f.doc(), u"M3", u"3");
  const std::u16string m3 = MemoWindow(f, 2);
  const WndRecord* r = windows::FindRecord(f.state().windows, m3);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->x, 76);
  EXPECT_EQ(r->y, 66);
  EXPECT_EQ(r->visibility, 1);
  EXPECT_EQ(r->individual, 0);
  EXPECT_TRUE(Has(StyleOf(f, m3), "left: 76px")) << StyleOf(f, m3);
  EXPECT_TRUE(Has(StyleOf(f, m3), "top: 66px")) << StyleOf(f, m3);
  const auto config = f.Records("config");
  EXPECT_NE(std::find(config.begin(), config.end(), u"WndName2=" + m3), config.end());
  EXPECT_NE(std::find(config.begin(), config.end(), u"WndPos.x2=76"), config.end());
  // A record of a window that is not on the page takes no place.
  f.control().SetWndPos(u"nowhere", 20, 10, 1);
  f.state().windows.erase(f.state().windows.begin());  // M1's record
  f.control().AddMemo(f.doc(), u"M4", u"4");
  EXPECT_EQ(windows::FindRecordIndex(f.state().windows, MemoWindow(f, 3)), -1);
}

TEST(WindowRedraw, ANewMenuStepsUpAndLeftAndMirrorsIntoTheWallpaper) {
  Fixture f;
  f.control().InitPage(f.doc());
  f.control().MakeLinkMenu(f.doc(), u"A", -1);
  // The default place of a menu window on this page reads as 65, 80.
  f.control().SetWndPos(LinkWindow(f, 0), 65, 80, 1);
  f.state().wallpapers.push_back(WallPaperEntry{});
  f.state().wallpapers.back().path = u"/nowhere.png";
  f.state().wallpapers.back().windows = f.state().windows;
  f.state().current_wallpaper = 0;
  f.control().MakeLinkMenu(f.doc(), u"B", -1);
  const WndRecord* r = windows::FindRecord(f.state().windows, LinkWindow(f, 1));
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->x, 37);
  EXPECT_EQ(r->y, 52);
  EXPECT_EQ(WindowNames(f.state().wallpapers[0].windows), WindowNames(f.state().windows));
  // Renaming a menu is no new window.
  const std::size_t records = f.state().windows.size();
  f.control().SetWndPos(LinkWindow(f, 1), 65, 80, 1);
  f.control().MakeLinkMenu(f.doc(), u"A2", 0);
  EXPECT_EQ(f.state().windows.size(), records);
}

TEST(WindowRedraw, StepsTurnBackBeforeLeavingThePage) {
  Fixture f;
  f.control().InitPage(f.doc());
  f.control().MakeLinkMenu(f.doc(), u"A", -1);
  f.control().MakeLinkMenu(f.doc(), u"B", -1);
  f.control().MakeLinkMenu(f.doc(), u"C", -1);
  // A (65, 80), B one step up-left (37, 52), C the next (9, 24): a fourth
  // menu can't go up and left again and goes down and right instead.
  f.control().SetWndPos(LinkWindow(f, 0), 65, 80, 1);
  f.control().SetWndPos(LinkWindow(f, 1), 37, 52, 1);
  f.control().SetWndPos(LinkWindow(f, 2), 9, 24, 1);
  f.control().SetWndPos(u"link", 93, 108, 1);  // the list window one step the other way
  f.control().MakeLinkMenu(f.doc(), u"D", -1);
  const WndRecord* r = windows::FindRecord(f.state().windows, LinkWindow(f, 3));
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->x, 121);
  EXPECT_EQ(r->y, 136);
}

}  // namespace
}  // namespace vellumine
