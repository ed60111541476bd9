#include "soak/soak_comparison.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vellumine::soak {
namespace {

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
