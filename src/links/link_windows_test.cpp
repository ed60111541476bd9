#include "links/link_windows.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "control/windows.h"
#include "links/links_test_support.h"
#include "page/wide_format.h"
#include "store/records.h"
#include "tests/support.h"

namespace vellumine::links {
namespace {

using testing::Fixture;
using testing::KeyText;
using testing::ParsedOuter;
using testing::U8;

LinkMenu MenuOf(std::u16string name, ItemKey key, int links, std::int32_t page = 0) {
  LinkMenu menu;
  menu.name = std::move(name);
  menu.key = key;
  menu.page_num = page;
  for (int i = 0; i < links; ++i) {
    std::u16string path = u"/data/f" + Utf8ToUtf16(std::to_string(i)) + u".txt";
    menu.links.push_back({path, StringHash(path)});
  }
  return menu;
}

// The expected body, written out line by line from the window's templates.
std::u16string ExpectedBody(const LinkMenu& menu, int no, int first_link, int end_link, bool prev,
                            bool next, int page) {
  const std::u16string key = KeyText(menu.key);
  const std::u16string n = Utf8ToUtf16(std::to_string(no));
  std::u16string out = u"<pre id=\"menuname" + key + u"\"onmouseup=movewnd(\"link" + key + u"\")>" +
                       menu.name + u"</pre>";
  for (int k = first_link; k < end_link; ++k) {
    out += u"<pre onmouseup=Skerrow.Open(" + n + u"," + Utf8ToUtf16(std::to_string(k)) + u")>f" +
           Utf8ToUtf16(std::to_string(k)) + u".txt</pre>";
  }
  if (prev) {
    out += u"<pre onmouseup=Skerrow.ChangeLinkPage(document," + n + u"," +
           Utf8ToUtf16(std::to_string(page - 1)) + u")>前のページ</pre>";
  }
  if (next) {
    out += u"<pre onmouseup=Skerrow.ChangeLinkPage(document," + n + u"," +
           Utf8ToUtf16(std::to_string(page + 1)) + u")>次のページ</pre>";
  }
  out += u"<pre onmouseup=\"linkfrm.linkmenunum.value=" + n + u";Skerrow.ChangeLinkMenu(document," +
         n + u");trinputfield('menuname" + key +
         u"','linkmenuname');show('linkinput')\">変更</pre>";
  return out;
}

constexpr std::u16string_view kMoveLine = u"<pre onmouseup=movewnd(\"link\")>移動</pre>";
constexpr std::u16string_view kAddLine =
    u"<pre onmouseup=\"linkfrm.linkmenunum.value=-1;Skerrow.ChangeLinkMenu(document,-1);"
    u"linkfrm.linkmenuname.value='';show('linkinput');\">リンクメニューの追加</pre>";

std::u16string Container(const LinkMenu& menu, std::u16string_view inner) {
  return u"<div id=\"link" + KeyText(menu.key) +
         u"\" style=\"position:absolute;left:65%;top:80%;margin:0px;border:0px;"
         u"visibility:visible\">" +
         std::u16string(inner) + u"</div>";
}

TEST(LinkWindowsPaging, DisplayNameSplitsAtTheLastSeparatorBeforeTheLastUnit) {
  EXPECT_EQ(LinkDisplayName(u"/home/u/report.txt", u'/'), u"report.txt");
  EXPECT_EQ(LinkDisplayName(u"/home/u/Docs", u'/'), u"Docs");
  EXPECT_EQ(LinkDisplayName(u"D:", u'/'), u"D:");
  EXPECT_EQ(LinkDisplayName(u"x", u'/'), u"x");
  EXPECT_EQ(LinkDisplayName(u"/", u'/'), u"/");
  EXPECT_EQ(LinkDisplayName(u"", u'/'), u"");
  EXPECT_EQ(LinkDisplayName(u"/a/", u'/'), u"a/");
  EXPECT_EQ(LinkDisplayName(u"C:\\Docs\\report.txt", u'\\'), u"report.txt");
  EXPECT_EQ(LinkDisplayName(u"C:\\Docs\\report.txt", u'/'), u"C:\\Docs\\report.txt");
}

TEST(LinkWindowsPaging, LinksPerPageNeverBelowOne) {
  ControlState state;
  state.options.link_item_num = 4;
  EXPECT_EQ(LinksPerPage(state), 4);
  state.options.link_item_num = 0;
  EXPECT_EQ(LinksPerPage(state), 10);
  state.options.link_item_num = -7;
  EXPECT_EQ(LinksPerPage(state), 10);
}

TEST(LinkWindowsPaging, ClampBringsThePageIntoRange) {
  ControlState state;
  LinkMenu menu = MenuOf(u"M", {1, 2}, 5, 7);
  ClampPageNum(state, menu);
  EXPECT_EQ(menu.page_num, 0);
  menu.page_num = -3;
  ClampPageNum(state, menu);
  EXPECT_EQ(menu.page_num, 0);
  LinkMenu empty = MenuOf(u"E", {1, 3}, 0, 1);
  ClampPageNum(state, empty);
  EXPECT_EQ(empty.page_num, 0);
  LinkMenu big = MenuOf(u"B", {1, 4}, 25, 2);
  ClampPageNum(state, big);
  EXPECT_EQ(big.page_num, 2);
  state.options.link_item_num = 20;
  ClampPageNum(state, big);
  EXPECT_EQ(big.page_num, 1);
  state.options.link_item_num = 0;  // taken as 10
  big.page_num = 5;
  ClampPageNum(state, big);
  EXPECT_EQ(big.page_num, 2);
}

TEST(LinkWindowsBody, TwentyFiveLinksInThreePages) {
  ControlState state;
  LinkMenu menu = MenuOf(u"Docs", {0x1a2b3c4d, 0x00ff00ff}, 25, 0);
  EXPECT_EQ(ComposeLinkMenuBody(state, menu, 3, u'/'),
            ExpectedBody(menu, 3, 0, 10, false, true, 0));
  menu.page_num = 1;
  EXPECT_EQ(ComposeLinkMenuBody(state, menu, 3, u'/'),
            ExpectedBody(menu, 3, 10, 20, true, true, 1));
  menu.page_num = 2;
  EXPECT_EQ(ComposeLinkMenuBody(state, menu, 3, u'/'),
            ExpectedBody(menu, 3, 20, 25, true, false, 2));
  menu.page_num = 9;
  EXPECT_EQ(ComposeLinkMenuBody(state, menu, 3, u'/'),
            ExpectedBody(menu, 3, 20, 25, true, false, 2));
  EXPECT_EQ(menu.page_num, 2);
}

TEST(LinkWindowsBody, MenuWithoutLinksShowsNameAndChangeLinesOnly) {
  ControlState state;
  LinkMenu menu = MenuOf(u"A&amp;B", {0xabc, 0xdef}, 0, 3);
  EXPECT_EQ(ComposeLinkMenuBody(state, menu, 0, u'/'),
            ExpectedBody(menu, 0, 0, 0, false, false, 0));
  EXPECT_EQ(menu.page_num, 0);
}

TEST(LinkWindowsBody, NamesAndPathsAreEscapedInMarkupButStoredAsGiven) {
  ControlState state;
  state.data_folder = u"/tmp/d/";
  LinkMenu menu = MenuOf(u"M", {1, 2}, 0);
  const std::u16string odd = u"/data/a<b>&\"c\".txt";
  menu.links.push_back({odd, StringHash(odd)});
  const std::u16string body = ComposeLinkMenuBody(state, menu, 0);
  EXPECT_NE(body.find(u"<pre onmouseup=Skerrow.Open(0,0)>a&lt;b&gt;&amp;&quot;c&quot;.txt</pre>"),
            std::u16string::npos);
  EXPECT_EQ(ComposeLinkList(&menu),
            u"<select id=\"linklist\" size=\"8\"><option value=\"0\">"
            u"/data/a&lt;b&gt;&amp;&quot;c&quot;.txt</option></select>");
  EXPECT_EQ(menu.links[0].path, odd);
}

TEST(LinkWindowsBody, LinkListCarriesFullPaths) {
  LinkMenu menu = MenuOf(u"M", {1, 2}, 2);
  EXPECT_EQ(ComposeLinkList(&menu),
            u"<select id=\"linklist\" size=\"8\"><option value=\"0\">/data/f0.txt</option>"
            u"<option value=\"1\">/data/f1.txt</option></select>");
  EXPECT_EQ(ComposeLinkList(nullptr), u"<select id=\"linklist\" size=\"8\"></select>");
}

class LinkWindowsPage : public ::testing::Test {
 protected:
  std::string Window(const LinkMenu& menu) { return f.Html(u"link" + KeyText(menu.key)); }
  // The container written into "linkfield", framed around the body the
  // templates give for links [first, end) of page.
  std::string ExpectedWindow(const LinkMenu& menu, int no, int first, int end, bool prev, bool next,
                             int page) {
    const std::u16string id = u"link" + KeyText(menu.key);
    const std::u16string body = ExpectedBody(menu, no, first, end, prev, next, page);
    return ParsedOuter(Container(menu, windows::WindowFrame(f.state(), id, body, false)), id);
  }
  Fixture f;
};

TEST_F(LinkWindowsPage, NoMenusLeavesMoveAndAddLinesAndAnEmptyField) {
  RenderLinkWindows(f.control().context(), f.doc());
  EXPECT_EQ(f.Html(u"link"),
            ParsedOuter(u"<div id=\"link\" class=\"wnd\" style=\"left:480px;top:320px\">" +
                            std::u16string(kMoveLine) + std::u16string(kAddLine) + u"</div>",
                        u"link"));
  EXPECT_EQ(f.Html(u"linkfield"), "<div id=\"linkfield\"></div>");
}

TEST_F(LinkWindowsPage, EveryMenuGetsAListLineAndAFramedWindow) {
  f.state().menus = {MenuOf(u"Docs", {0x11, 0x22}, 3), MenuOf(u"A&amp;B", {0x33, 0x44}, 12, 1)};
  RenderLinkWindows(f.control().context(), f.doc());
  const auto& menus = f.state().menus;
  EXPECT_EQ(f.Html(u"link"),
            ParsedOuter(u"<div id=\"link\" class=\"wnd\" style=\"left:480px;top:320px\">" +
                            std::u16string(kMoveLine) +
                            u"<pre onmouseup=\"change('link0000001100000022')\">Docs</pre>"
                            u"<pre onmouseup=\"change('link0000003300000044')\">A&amp;B</pre>" +
                            std::u16string(kAddLine) + u"</div>",
                        u"link"));
  EXPECT_EQ(Window(menus[0]), ExpectedWindow(menus[0], 0, 0, 3, false, false, 0));
  EXPECT_EQ(Window(menus[1]), ExpectedWindow(menus[1], 1, 10, 12, true, false, 1));
  EXPECT_NE(Window(menus[1]).find("Skerrow.Open(1,11)"), std::string::npos);
  EXPECT_EQ(Window(menus[1]).find("閉じる"), std::string::npos);
}

TEST_F(LinkWindowsPage, ChangeLinkPageTurnsOnlyToExistingPages) {
  f.state().menus = {MenuOf(u"Docs", {0x11, 0x22}, 25)};
  RenderLinkWindows(f.control().context(), f.doc());
  const std::string page0 = Window(f.state().menus[0]);

  f.control().ChangeLinkPage(f.doc(), 0, 3);
  f.control().ChangeLinkPage(f.doc(), 0, -1);
  f.control().ChangeLinkPage(f.doc(), 1, 1);
  f.control().ChangeLinkPage(f.doc(), -1, 1);
  EXPECT_EQ(f.state().menus[0].page_num, 0);
  EXPECT_EQ(Window(f.state().menus[0]), page0);

  f.control().ChangeLinkPage(f.doc(), 0, 2);
  EXPECT_EQ(f.state().menus[0].page_num, 2);
  const std::string page2 = Window(f.state().menus[0]);
  EXPECT_EQ(page2, ExpectedWindow(f.state().menus[0], 0, 20, 25, true, false, 2));
  for (int k = 20; k < 25; ++k) {
    EXPECT_NE(page2.find("Skerrow.Open(0," + std::to_string(k) + ")"), std::string::npos) << k;
  }
  EXPECT_EQ(page2.find("Skerrow.Open(0,19)"), std::string::npos);
  EXPECT_EQ(f.FileBytes("link"), "");  // the page is not written here
}

TEST_F(LinkWindowsPage, ChangeLinkMenuWritesTheMenusListOrAnEmptyOne) {
  f.state().menus = {MenuOf(u"Docs", {0x11, 0x22}, 2)};
  f.control().ChangeLinkMenu(f.doc(), 0);
  EXPECT_EQ(f.Html(u"linklist"),
            "<select id=\"linklist\" size=\"8\"><option value=\"0\">/data/f0.txt</option>"
            "<option value=\"1\">/data/f1.txt</option></select>");
  f.control().ChangeLinkMenu(f.doc(), -1);
  EXPECT_EQ(f.Html(u"linklist"), "<select id=\"linklist\" size=\"8\"></select>");
  f.control().ChangeLinkMenu(f.doc(), 0);
  f.control().ChangeLinkMenu(f.doc(), 1);
  EXPECT_EQ(f.Html(u"linklist"), "<select id=\"linklist\" size=\"8\"></select>");
}

TEST(LinkWindowsMissing, MissingElementsSkipOnlyTheirOwnSteps) {
  Fixture f("<!DOCTYPE html><html><head></head><body><div id=\"linkfield\"></div></body></html>");
  f.state().menus = {MenuOf(u"Docs", {0x11, 0x22}, 1)};
  RenderLinkWindows(f.control().context(), f.doc());
  f.control().ChangeLinkMenu(f.doc(), 0);
  EXPECT_EQ(f.Html(u"link"), "");
  EXPECT_EQ(f.Html(u"linklist"), "");
  EXPECT_NE(f.Html(u"link0000001100000022").find("f0.txt"), std::string::npos);
}

}  // namespace
}  // namespace vellumine::links
