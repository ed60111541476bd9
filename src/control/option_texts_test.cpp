#include "control/option_texts.h"

#include <gtest/gtest.h>

#include "control/skerrow.h"
#include "control/test_records.h"
#include "page/page_ids.h"
#include "tests/fake_documents.h"
#include "tests/support.h"

namespace vellumine {
namespace {

using control_test::FakeDocument;
using control_test::Window;
using testing::Fixture;
using testing::U8;

std::string Text(FakeDocument& doc, std::u16string_view id) {
  const control_test::FakeNode* n = doc.Node(id);
  return n && n->inner_html ? U8(*n->inner_html) : "<unset>";
}

void AddOptionElements(FakeDocument& doc) {
  for (std::u16string_view id :
       {ids::kMenuTextColor, ids::kWeekDayColor, ids::kSatDayColor, ids::kSunDayColor,
        ids::kShadowColor, ids::kCalenderFont, ids::kCalenderFontSize, ids::kLinkItemNum,
        ids::kMemoItemNum, ids::kMenuFont, ids::kMenuFontSize}) {
    doc.body.Add(u"SPAN", std::u16string(id));
  }
}

TEST(OptionTexts, DefaultsOfTheOptionPanel) {
  Fixture f;
  FakeDocument doc;
  AddOptionElements(doc);
  options::RefreshOptionTexts(f.control().context(), doc);
  EXPECT_EQ(Text(doc, u"MenuTextColor"), "文字色:Black");
  EXPECT_EQ(Text(doc, u"WeekDayColor"), "平日色:平日既定色");
  EXPECT_EQ(Text(doc, u"SatDayColor"), "土曜色:土曜既定色");
  EXPECT_EQ(Text(doc, u"SunDayColor"), "日曜色:日曜既定色");
  EXPECT_EQ(Text(doc, u"ShadowColor"), "文字影色:White");
  EXPECT_EQ(Text(doc, u"CalenderFont"), "ＭＳ ゴシック");
  EXPECT_EQ(Text(doc, u"CalenderFontSize"), "20");
  EXPECT_EQ(Text(doc, u"LinkItemNum"), "10");
  EXPECT_EQ(Text(doc, u"MemoItemNum"), "10");
  EXPECT_EQ(Text(doc, u"MenuFont"), "ＭＳ ゴシック");
  EXPECT_EQ(Text(doc, u"MenuFontSize"), "13");
}

TEST(OptionTexts, ChangedOptionsAndEveryWindowsOwnTexts) {
  Fixture f;
  FakeDocument doc;
  AddOptionElements(doc);
  PageOptions& o = f.state().options;
  o.week_day_color = 18;
  o.shadow_color = 19;  // outside the table: no label
  o.calender_font = u"Cal";
  o.link_item_num = 4;
  o.menu_font_size = 30;
  WndRecord a = Window(o, u"memoA", 0, 0, 1);
  WndRecord b = Window(o, u"linkB", 0, 0, 1);
  b.individual = 1;
  b.text_color = 2;
  b.font = u"Own";
  b.font_size = 8;
  b.item_num = 12;
  f.state().windows = {a, b};
  for (std::u16string_view suffix : {u"Default", u"TextColor", u"Font", u"FontSize", u"ItemNum"}) {
    doc.body.Add(u"SPAN", u"memoA" + std::u16string(suffix));
    doc.body.Add(u"SPAN", u"linkB" + std::u16string(suffix));
  }
  options::RefreshOptionTexts(f.control().context(), doc);
  EXPECT_EQ(Text(doc, u"WeekDayColor"), "平日色:Aqua");
  EXPECT_EQ(Text(doc, u"ShadowColor"), "文字影色:");
  EXPECT_EQ(Text(doc, u"CalenderFont"), "Cal");
  EXPECT_EQ(Text(doc, u"LinkItemNum"), "4");
  EXPECT_EQ(Text(doc, u"MenuFontSize"), "30");
  EXPECT_EQ(Text(doc, u"memoADefault"), "無効");
  EXPECT_EQ(Text(doc, u"memoATextColor"), "文字色:Black");
  EXPECT_EQ(Text(doc, u"memoAFont"), "ＭＳ ゴシック");
  EXPECT_EQ(Text(doc, u"memoAFontSize"), "30");  // the options when it was made
  EXPECT_EQ(Text(doc, u"memoAItemNum"), "4");
  EXPECT_EQ(Text(doc, u"linkBDefault"), "有効");
  EXPECT_EQ(Text(doc, u"linkBTextColor"), "文字色:日曜既定色");
  EXPECT_EQ(Text(doc, u"linkBFont"), "Own");
  EXPECT_EQ(Text(doc, u"linkBFontSize"), "8");
  EXPECT_EQ(Text(doc, u"linkBItemNum"), "12");
}

TEST(OptionTexts, MissingElementsAreSkipped) {
  Fixture f;
  FakeDocument doc;
  doc.body.Add(u"SPAN", u"MenuFontSize");
  doc.body.Add(u"DIV", u"unrelated");
  f.state().windows = {Window(f.state().options, u"w", 0, 0, 1)};
  doc.body.Add(u"SPAN", u"wFontSize");
  options::RefreshOptionTexts(f.control().context(), doc);
  EXPECT_EQ(Text(doc, u"MenuFontSize"), "13");
  EXPECT_EQ(Text(doc, u"wFontSize"), "13");
  EXPECT_EQ(doc.TotalWrites(), 2);

  FakeDocument empty;
  options::RefreshOptionTexts(f.control().context(), empty);
  EXPECT_EQ(empty.TotalWrites(), 0);
}

}  // namespace
}  // namespace vellumine
