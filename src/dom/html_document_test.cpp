#include "dom/html_document.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "page/page_ids.h"
#include "page/text.h"
#include "tests/support.h"

namespace vellumine {
namespace {

std::string Page(const std::string& body) {
  return "<!DOCTYPE html><html><head></head><body>" + body + "</body></html>";
}

std::string Outer(const HtmlDocument& doc, std::u16string_view id) {
  return doc.OuterHtmlById(id).value_or("<missing>");
}

TEST(HtmlDocumentSerialize, TypicalPageRoundTripsUnchanged) {
  const std::string page =
      "<!DOCTYPE html><html lang=\"ja\"><head><meta charset=\"utf-8\">"
      "<title>整理</title><link rel=\"stylesheet\" href=\"a.css\">"
      "<style>div > p { color: red; } a[title=\"x&y\"] {}</style>"
      "<script>if (a < b && c > d) { x = \"</p>\"; }</script></head>"
      "<body onload=\"Skerrow.InitPage(document)\">\n"
      "<!-- memo windows -->\n"
      "<div id=\"memolist\" class=\"wnd\" style=\"left: 10px; top: 20px\">"
      "<table><tbody><tr><td>1&amp;2 &lt;b&gt;</td></tr></tbody></table></div>\n"
      "<pre id=\"schedule\">line1\nline2</pre>"
      "<img src=\"bg.jpg\" id=\"bgimg\"><br><input type=\"text\" value=\"a&amp;&quot;b\">"
      "<p>a&nbsp;b</p><textarea>&lt;x&gt;</textarea>"
      "<select id=\"s\"><option value=\"1\" selected=\"\">one</option></select>\n"
      "</body></html>";
  const auto doc = HtmlDocument::Parse(page);
  EXPECT_EQ(doc->Serialize(), page);
}

TEST(HtmlDocumentSerialize, PageWithoutDoctypeGetsImpliedElementsOnly) {
  const auto doc = HtmlDocument::Parse("<p id=x>hi");
  EXPECT_EQ(doc->Serialize(), "<html><head></head><body><p id=\"x\">hi</p></body></html>");
}

TEST(HtmlDocumentSerialize, LegacyDoctypeIsWrittenAsHtml5) {
  const auto doc =
      HtmlDocument::Parse("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\"><title>t</title>");
  EXPECT_EQ(doc->Serialize(),
            "<!DOCTYPE html><html><head><title>t</title></head><body></body></html>");
}

TEST(HtmlDocumentSerialize, RawTextElementsAreNotEscaped) {
  const auto doc = HtmlDocument::Parse(Page("<div id=d></div>"));
  auto d = doc->FindElementById(u"d");
  ASSERT_NE(d, nullptr);
  d->SetInnerHtml(
      u"<xmp>a<b>&amp;</xmp><noembed>1 < 2</noembed><noframes>&</noframes>"
      u"<iframe>x<y></iframe><script>a<b&&c</script><style>p>q{}</style>");
  EXPECT_EQ(Outer(*doc, u"d"),
            "<div id=\"d\"><xmp>a<b>&amp;</xmp><noembed>1 < 2</noembed><noframes>&</noframes>"
            "<iframe>x<y></iframe><script>a<b&&c</script><style>p>q{}</style></div>");
}

TEST(HtmlDocumentSerialize, PlaintextSwallowsTheRestUnescaped) {
  const auto doc = HtmlDocument::Parse("<body><plaintext></body>&amp;<b>");
  EXPECT_EQ(doc->Serialize(),
            "<html><head></head><body><plaintext></body>&amp;<b></plaintext></body></html>");
}

TEST(HtmlDocumentSerialize, ForeignElementsKeepTheirNames) {
  const auto doc = HtmlDocument::Parse(
      Page("<svg viewbox=\"0 0 1 1\"><clippath id=c></clippath><a xlink:href=\"#c\"></a></svg>"));
  EXPECT_EQ(Outer(*doc, u"c"), "<clipPath id=\"c\"></clipPath>");
  EXPECT_NE(doc->Serialize().find("<svg viewBox=\"0 0 1 1\">"), std::string::npos);
  EXPECT_NE(doc->Serialize().find("<a xlink:href=\"#c\"></a>"), std::string::npos);
}

TEST(HtmlDocumentSerialize, BundledPageHasItsElementsAndReparsesToItself) {
  const auto doc = HtmlDocument::Parse(testing::BundledPage());
  const std::u16string_view wanted[] = {
      ids::kCalender,         ids::kSchedule,      ids::kMemo,
      ids::kMemoField,        ids::kLink,          ids::kLinkField,
      ids::kWpList,           ids::kLinkList,      ids::kBgImg,
      ids::kSchdlLst,         ids::kLinkFileName,  ids::kLinkMenuNum,
      ids::kMenuTextColor,    ids::kWeekDayColor,  ids::kSatDayColor,
      ids::kSunDayColor,      ids::kShadowColor,   ids::kCalenderFont,
      ids::kCalenderFontSize, ids::kLinkItemNum,   ids::kMemoItemNum,
      ids::kMenuFont,         ids::kMenuFontSize,  ids::kMemoForm,
      ids::kLinkForm,         ids::kScheduleForm,  ids::kMemoInput,
      ids::kLinkInput,        ids::kScheduleInput, ids::kSchdlLstSubmit};
  for (std::u16string_view id : wanted) {
    auto e = doc->FindElementById(id);
    ASSERT_NE(e, nullptr) << Utf16ToUtf8(id);
    EXPECT_EQ(e->Id(), id);
  }
  for (std::u16string_view id : ids::kFixedPanels) EXPECT_NE(doc->FindElementById(id), nullptr);
  EXPECT_EQ(doc->FindElementById(ids::kSchdlLst)->TagName(), u"TEXTAREA");
  EXPECT_EQ(doc->FindElementById(ids::kWpList)->TagName(), u"SELECT");
  EXPECT_EQ(doc->FindElementById(ids::kBgImg)->TagName(), u"IMG");
  const std::string once = doc->Serialize();
  EXPECT_EQ(once.rfind("<!DOCTYPE html><html lang=\"ja\"><head>", 0), 0u);
  EXPECT_EQ(HtmlDocument::Parse(once)->Serialize(), once);
}

TEST(HtmlDocumentSerialize, TextBeforeAFormEndTagStaysInTheForm) {
  const auto doc =
      HtmlDocument::Parse(Page("<div id=\"d\"><form id=\"f\">a&amp;<input> &lt;</form>z&gt;</div>"
                               "<div id=\"e\"><form></form>a</form>b</div>"));
  EXPECT_EQ(Outer(*doc, u"d"), "<div id=\"d\"><form id=\"f\">a&amp;<input> &lt;</form>z&gt;</div>");
  // A stray end tag after the form closed changes nothing.
  EXPECT_EQ(Outer(*doc, u"e"), "<div id=\"e\"><form></form>ab</div>");
  doc->FindElementById(u"e")->SetInnerHtml(u"<form id=\"g\">\n  <input>\n  </form>\n");
  EXPECT_EQ(Outer(*doc, u"e"), "<div id=\"e\"><form id=\"g\">\n  <input>\n  </form>\n</div>");
}

TEST(HtmlDocumentText, InnerTextIsOneEscapedTextNode) {
  const auto doc = HtmlDocument::Parse(Page("<pre id=\"p\"><b id=\"old\">x</b></pre>"));
  auto p = doc->FindElementById(u"p");
  ASSERT_NE(p, nullptr);
  p->SetInnerText(u"a < b & c > d\r\nline2\n\u00a0\"q\" <b>");
  EXPECT_EQ(Outer(*doc, u"p"),
            "<pre id=\"p\">a &lt; b &amp; c &gt; d\r\nline2\n&nbsp;\"q\" &lt;b&gt;</pre>");
  EXPECT_EQ(doc->FindElementById(u"old"), nullptr);
  p->SetInnerText(u"");
  EXPECT_EQ(Outer(*doc, u"p"), "<pre id=\"p\"></pre>");
}

TEST(HtmlDocumentText, NonAsciiTextSurvivesInnerHtmlAndInnerText) {
  const auto doc = HtmlDocument::Parse(Page("<div id=d></div><div id=e></div>"));
  doc->FindElementById(u"d")->SetInnerHtml(u"予定 😀 &lt;");
  doc->FindElementById(u"e")->SetInnerText(u"\u65e5\U0001F600");
  EXPECT_EQ(Outer(*doc, u"d"), "<div id=\"d\">予定 😀 &lt;</div>");
  EXPECT_EQ(Outer(*doc, u"e"), "<div id=\"e\">日😀</div>");
}

TEST(HtmlDocumentFragments, OptionsParseInsideSelect) {
  const auto doc = HtmlDocument::Parse(Page("<select id=\"s\"></select><div id=\"d\"></div>"));
  doc->FindElementById(u"s")->SetInnerHtml(u"<option value=1>a<option id=o2>b</select>c");
  EXPECT_EQ(Outer(*doc, u"s"),
            "<select id=\"s\"><option value=\"1\">a</option><option id=\"o2\">bc</option>"
            "</select>");
  auto o2 = doc->FindElementById(u"o2");
  ASSERT_NE(o2, nullptr);
  EXPECT_EQ(o2->TagName(), u"OPTION");
}

TEST(HtmlDocumentFragments, TableRowsNeedATableContext) {
  const auto doc = HtmlDocument::Parse(
      Page("<table id=\"t\"><tbody id=\"tb\"><tr id=\"r1\"><td>1</td></tr></tbody></table>"
           "<div id=\"d\"></div>"));
  doc->FindElementById(u"tb")->SetInnerHtml(u"<tr id=r2><td>2</td></tr><tr><td>3");
  EXPECT_EQ(Outer(*doc, u"tb"),
            "<tbody id=\"tb\"><tr id=\"r2\"><td>2</td></tr><tr><td>3</td></tr></tbody>");
  // Replacing a row parses in its section's context.
  doc->FindElementById(u"r2")->SetOuterHtml(u"<tr id=r3><td>x</td></tr>");
  EXPECT_EQ(Outer(*doc, u"tb"),
            "<tbody id=\"tb\"><tr id=\"r3\"><td>x</td></tr><tr><td>3</td></tr></tbody>");
  // Inside a table the section is implied.
  doc->FindElementById(u"t")->SetInnerHtml(u"<tr id=r4><td>4</td></tr>");
  EXPECT_EQ(Outer(*doc, u"t"),
            "<table id=\"t\"><tbody><tr id=\"r4\"><td>4</td></tr></tbody></table>");
  // Inside a div, table parts are dropped as a browser drops them.
  doc->FindElementById(u"d")->SetInnerHtml(u"<tr id=r5><td>5</td></tr>");
  EXPECT_EQ(Outer(*doc, u"d"), "<div id=\"d\">5</div>");
  EXPECT_EQ(doc->FindElementById(u"r5"), nullptr);
  EXPECT_EQ(doc->FindElementById(u"tb"), nullptr);
  EXPECT_NE(doc->FindElementById(u"r4"), nullptr);
}

TEST(HtmlDocumentFragments, InnerHtmlIdsAreFoundAndOldOnesForgotten) {
  const auto doc = HtmlDocument::Parse(
      Page("<div id=\"w\"><span id=\"old\">o</span></div><p id=\"after\"></p>"));
  auto w = doc->FindElementById(u"w");
  auto old = doc->FindElementById(u"old");
  ASSERT_NE(old, nullptr);
  w->SetInnerHtml(u"<ul id=\"list\"><li id=\"i1\">a</li><li><b id=\"deep\">b</b></li></ul>");
  EXPECT_EQ(doc->FindElementById(u"old"), nullptr);
  ASSERT_NE(doc->FindElementById(u"deep"), nullptr);
  EXPECT_EQ(doc->FindElementById(u"deep")->TagName(), u"B");
  EXPECT_EQ(doc->FindElementById(u"i1")->TagName(), u"LI");
  // The handle to the removed element does nothing harmful.
  old->SetInnerHtml(u"<i id=\"ghost\"></i>");
  old->SetOuterHtml(u"<i id=\"ghost\"></i>");
  old->SetAttribute(u"id", u"w", 0);
  old->SetStyleLeft(5);
  EXPECT_EQ(old->Id(), u"");
  EXPECT_EQ(old->PixelLeft(), std::nullopt);
  EXPECT_EQ(doc->FindElementById(u"ghost"), nullptr);
  EXPECT_EQ(Outer(*doc, u"w"),
            "<div id=\"w\"><ul id=\"list\"><li id=\"i1\">a</li><li><b id=\"deep\">b</b></li>"
            "</ul></div>");
}

TEST(HtmlDocumentFragments, OuterHtmlReplacesTheElementWithANewOneOfTheSameId) {
  const auto doc = HtmlDocument::Parse(
      Page("<div id=\"a\">1</div><div id=\"memo\" style=\"left: 3px\">old<i id=\"in\"></i></div>"
           "<div id=\"z\">2</div>"));
  auto memo = doc->FindElementById(u"memo");
  memo->SetOuterHtml(u"<div id=\"memo\" class=\"wnd\">new</div>text<span id=\"s\"></span>");
  EXPECT_EQ(doc->Serialize(),
            "<!DOCTYPE html><html><head></head><body><div id=\"a\">1</div>"
            "<div id=\"memo\" class=\"wnd\">new</div>text<span id=\"s\"></span>"
            "<div id=\"z\">2</div></body></html>");
  EXPECT_EQ(doc->FindElementById(u"in"), nullptr);
  // The old handle is dead; writes through it change nothing.
  memo->SetInnerText(u"x");
  memo->SetOuterHtml(u"<p id=\"memo\"></p>");
  memo->SetStyleColor(u"red");
  EXPECT_EQ(memo->TagName(), u"");
  auto fresh = doc->FindElementById(u"memo");
  ASSERT_NE(fresh, nullptr);
  fresh->SetInnerText(u"y");
  EXPECT_EQ(Outer(*doc, u"memo"), "<div id=\"memo\" class=\"wnd\">y</div>");
  // An empty replacement removes the element.
  fresh->SetOuterHtml(u"");
  EXPECT_EQ(doc->FindElementById(u"memo"), nullptr);
  EXPECT_EQ(Outer(*doc, u"s"), "<span id=\"s\"></span>");
}

TEST(HtmlDocumentFragments, OuterHtmlOfTheRootElementIsRefused) {
  const auto doc = HtmlDocument::Parse("<html id=\"h\"><body id=\"b\"></body></html>");
  const std::string before = doc->Serialize();
  doc->FindElementById(u"h")->SetOuterHtml(u"<p>x</p>");
  EXPECT_EQ(doc->Serialize(), before);
}

TEST(HtmlDocumentIds, DuplicatesAnswerTheFirstInDocumentOrder) {
  const auto doc = HtmlDocument::Parse(
      Page("<div id=\"x\" style=\"left: 1px\"><span id=\"x\" style=\"left: 2px\"></span></div>"
           "<p id=\"y\" style=\"left: 3px\"></p><p id=\"z\" style=\"left: 4px\"></p>"));
  EXPECT_EQ(doc->FindElementById(u"x")->PixelLeft(), 1);
  // A later element taking the id does not win; an earlier one does.
  doc->FindElementById(u"z")->SetAttribute(u"id", u"y", 0);
  EXPECT_EQ(doc->FindElementById(u"y")->PixelLeft(), 3);
  EXPECT_EQ(doc->FindElementById(u"z"), nullptr);
  doc->FindElementById(u"x")->SetAttribute(u"id", u"y", 0);
  EXPECT_EQ(doc->FindElementById(u"y")->PixelLeft(), 1);
  EXPECT_EQ(doc->FindElementById(u"x")->PixelLeft(), 2);
  // Removing the first leaves the next.
  doc->FindElementById(u"y")->SetOuterHtml(u"");
  EXPECT_EQ(doc->FindElementById(u"y")->PixelLeft(), 3);
  EXPECT_EQ(doc->FindElementById(u"x"), nullptr);
}

TEST(HtmlDocumentIds, IdsAreCaseSensitiveAndExact) {
  const auto doc = HtmlDocument::Parse(Page("<div id=\"Memo\"></div><div id=\"memo \"></div>"));
  EXPECT_EQ(doc->FindElementById(u"memo"), nullptr);
  EXPECT_EQ(doc->FindElementById(u"MEMO"), nullptr);
  EXPECT_EQ(doc->FindElementById(u"Memo")->Id(), u"Memo");
  EXPECT_EQ(doc->FindElementById(u"memo ")->Id(), u"memo ");
  EXPECT_EQ(doc->FindElementById(u""), nullptr);
  EXPECT_EQ(doc->OuterHtmlById(u"none"), std::nullopt);
  // A zero unit ends the wanted id.
  EXPECT_EQ(doc->FindElementById(std::u16string_view(u"Memo\0x", 6))->Id(), u"Memo");
}

TEST(HtmlDocumentIds, IdsInHeadAndAttributeNameCase) {
  const auto doc = HtmlDocument::Parse(Page("<div id=\"d\"></div>"));
  auto d = doc->FindElementById(u"d");
  d->SetAttribute(u"ID", u"e", 0);  // HTML attribute names are case-insensitive
  EXPECT_EQ(doc->FindElementById(u"d"), nullptr);
  EXPECT_EQ(doc->FindElementById(u"e")->Id(), u"e");
  EXPECT_EQ(Outer(*doc, u"e"), "<div id=\"e\"></div>");
  d->SetAttribute(u"id", u"", 0);
  EXPECT_EQ(doc->FindElementById(u"e"), nullptr);
  EXPECT_EQ(d->Id(), u"");
}

TEST(HtmlDocumentAttributes, TextAndIntegerValues) {
  const auto doc =
      HtmlDocument::Parse(Page("<img id=\"bgimg\" src=\"a.jpg\"><input id=\"linkmenunum\">"));
  doc->FindElementById(u"bgimg")->SetAttribute(u"src", u"C:/壁紙/a&b\"c.jpg\u00a0", 0);
  doc->FindElementById(u"linkmenunum")->SetAttribute(u"value", -42, 0);
  doc->FindElementById(u"linkmenunum")->SetAttribute(u"value", 7, 1);
  EXPECT_EQ(Outer(*doc, u"bgimg"), "<img id=\"bgimg\" src=\"C:/壁紙/a&amp;b&quot;c.jpg&nbsp;\">");
  EXPECT_EQ(Outer(*doc, u"linkmenunum"), "<input id=\"linkmenunum\" value=\"7\">");
  // Names a page refuses are ignored.
  auto img = doc->FindElementById(u"bgimg");
  img->SetAttribute(u"", u"x", 0);
  img->SetAttribute(u"a b", u"x", 0);
  img->SetAttribute(u"a=b", u"x", 0);
  img->SetAttribute(u"a\"", u"x", 0);
  EXPECT_EQ(Outer(*doc, u"bgimg"), "<img id=\"bgimg\" src=\"C:/壁紙/a&amp;b&quot;c.jpg&nbsp;\">");
}

TEST(HtmlDocumentStyle, SettersKeepOtherDeclarations) {
  const auto doc = HtmlDocument::Parse(
      Page("<div id=\"w\" style=\"position:absolute; LEFT: 1px;background:url('a;b.png')\"></div>"
           "<div id=\"v\"></div>"));
  auto w = doc->FindElementById(u"w");
  w->SetStyleLeft(10);
  w->SetStyleTop(-20);
  w->SetStyleVisibility(u"visible");
  w->SetStyleColor(u"#ff0000");
  w->SetStyleFontFamily(u"ＭＳ ゴシック");
  w->SetStyleFontSize(12);
  w->SetStyleVisibility(u"hidden");
  EXPECT_EQ(Outer(*doc, u"w"),
            "<div id=\"w\" style=\"position:absolute; left: 10px; "
            "background:url('a;b.png'); top: -20px; visibility: hidden; color: #ff0000; "
            "font-family: ＭＳ ゴシック; font-size: 12px\"></div>");
  EXPECT_EQ(w->PixelLeft(), 10);
  EXPECT_EQ(w->PixelTop(), -20);

  auto v = doc->FindElementById(u"v");
  EXPECT_EQ(v->PixelLeft(), 0);
  EXPECT_EQ(v->PixelTop(), 0);
  v->SetStyleLeft(10);
  v->SetStyleTop(20);
  v->SetStyleVisibility(u"visible");
  EXPECT_EQ(Outer(*doc, u"v"),
            "<div id=\"v\" style=\"left: 10px; top: 20px; visibility: visible\"></div>");
  // A value that would break out of its declaration is refused.
  v->SetStyleFontFamily(u"a; left: 99px");
  v->SetStyleColor(u"red}");
  v->SetStyleFontFamily(u"O'Reilly Sans");
  v->SetStyleFontFamily(u"a(b");
  v->SetStyleFontFamily(u"a\\");
  EXPECT_EQ(v->PixelLeft(), 10);
  EXPECT_EQ(Outer(*doc, u"v"),
            "<div id=\"v\" style=\"left: 10px; top: 20px; visibility: visible\"></div>");
}

TEST(HtmlDocumentStyle, PixelPositionReadsTheLeadingInteger) {
  const auto doc = HtmlDocument::Parse(
      Page("<p id=\"a\" style=\"left:12.7px;top: -3px\"></p><p id=\"b\" style=\"left: auto\"></p>"
           "<p id=\"c\" style=\"top: 1px; top: 2px\"></p>"));
  EXPECT_EQ(doc->FindElementById(u"a")->PixelLeft(), 12);
  EXPECT_EQ(doc->FindElementById(u"a")->PixelTop(), -3);
  EXPECT_EQ(doc->FindElementById(u"b")->PixelLeft(), 0);
  EXPECT_EQ(doc->FindElementById(u"c")->PixelTop(), 2);
  doc->FindElementById(u"c")->SetStyleTop(5);
  EXPECT_EQ(Outer(*doc, u"c"), "<p id=\"c\" style=\"top: 5px\"></p>");
  // Quoted values keep the declarations after them readable.
  auto a = doc->FindElementById(u"a");
  a->SetStyleFontFamily(u"'Ｏ;Ｋ', \"x\\\"y\", serif");
  a->SetStyleLeft(4);
  a->SetStyleFontSize(9);
  a->SetStyleFontSize(10);
  EXPECT_EQ(a->PixelLeft(), 4);
  EXPECT_EQ(Outer(*doc, u"a"),
            "<p id=\"a\" style=\"left: 4px; top: -3px; font-family: 'Ｏ;Ｋ', "
            "&quot;x\\&quot;y&quot;, serif; font-size: 10px\"></p>");
}

TEST(HtmlDocumentWalk, DescendantsInDocumentOrderWithoutSelf) {
  const auto doc = HtmlDocument::Parse(
      Page("<div id=\"w\">t<p id=\"1\"><b id=\"2\"></b><!--c--></p><pre id=\"3\"><i id=\"4\">"
           "</i></pre></div><div id=\"5\"></div>"));
  std::u16string seen;
  doc->FindElementById(u"w")->ForEachDescendant([&](Element& e) {
    seen += e.TagName() + e.Id() + u" ";
    e.SetStyleTop(1);  // allowed: a style write
  });
  EXPECT_EQ(seen, u"P1 B2 PRE3 I4 ");
  EXPECT_EQ(doc->FindElementById(u"4")->PixelTop(), 1);
  EXPECT_EQ(doc->FindElementById(u"w")->PixelTop(), 0);

  auto body = doc->Body();
  ASSERT_NE(body, nullptr);
  EXPECT_EQ(body->TagName(), u"BODY");
  int count = 0;
  body->ForEachDescendant([&](Element&) { ++count; });
  EXPECT_EQ(count, 6);
}

TEST(HtmlDocumentWalk, StructuralWritesInsideTheWalkDoNotCrash) {
  const auto doc =
      HtmlDocument::Parse(Page("<div id=\"a\"><p id=\"b\"><i id=\"c\"></i></p></div>"));
  int calls = 0;
  doc->Body()->ForEachDescendant([&](Element& e) {
    ++calls;
    e.SetOuterHtml(u"<span id=\"n\"></span>");
  });
  EXPECT_EQ(calls, 3);
  EXPECT_EQ(Outer(*doc, u"n"), "<span id=\"n\"></span>");
  EXPECT_EQ(doc->FindElementById(u"c"), nullptr);
}

TEST(HtmlDocumentHandles, HandlesToGoneContentDoNothingEvenAfterTheDocument) {
  auto doc = HtmlDocument::Parse(Page("<div id=\"box\"><p id=\"old\">x</p></div>"));
  std::unique_ptr<Element> old = doc->FindElementById(u"old");
  std::unique_ptr<Element> box = doc->FindElementById(u"box");
  ASSERT_TRUE(old && box);
  // Rewrites reuse the memory the replaced content had.
  for (int i = 0; i < 200; ++i) {
    box->SetInnerHtml(u"<p id=\"new\" title=\"a long attribute value of some length\">" +
                      std::u16string(static_cast<std::size_t>(i % 40), u'y') + u"</p>");
  }
  old->SetInnerHtml(u"<b id=\"ghost\"></b>");
  old->SetAttribute(u"id", u"new", 0);
  EXPECT_EQ(doc->FindElementById(u"ghost"), nullptr);
  EXPECT_EQ(old->Id(), u"");
  EXPECT_EQ(Outer(*doc, u"new"), "<p id=\"new\" title=\"a long attribute value of some length\">" +
                                     std::string(199 % 40, 'y') + "</p>");
  std::unique_ptr<Element> fresh = doc->FindElementById(u"new");
  doc.reset();
  // The document is gone; its handles answer nothing and write nothing.
  EXPECT_EQ(fresh->Id(), u"");
  fresh->SetInnerHtml(u"<i>late</i>");
  box->SetAttribute(u"title", u"late", 0);
  EXPECT_EQ(box->PixelLeft(), std::nullopt);
}

// A replaced content leaves at once, though its memory goes later: deep
// handles into it do nothing, and its ids, even written again, are not found.
TEST(HtmlDocumentHandles, ReplacedContentIsGoneAtOnceWhenReleasedLater) {
  auto doc = HtmlDocument::Parse(
      Page("<div id=\"box\"><div id=\"w\"><p><span id=\"deep\">x</span></p></div></div>"));
  std::unique_ptr<Element> deep = doc->FindElementById(u"deep");
  std::unique_ptr<Element> box = doc->FindElementById(u"box");
  ASSERT_TRUE(deep && box);
  box->SetInnerHtml(u"<div id=\"w\"><span id=\"deep\">y</span></div>");
  // Before any other write could release the old content.
  EXPECT_EQ(deep->Id(), u"");
  EXPECT_EQ(deep->TagName(), u"");
  deep->SetAttribute(u"id", u"again", 0);
  deep->SetInnerHtml(u"<b id=\"ghost\"></b>");
  EXPECT_EQ(doc->FindElementById(u"again"), nullptr);
  EXPECT_EQ(doc->FindElementById(u"ghost"), nullptr);
  EXPECT_EQ(Outer(*doc, u"deep"), "<span id=\"deep\">y</span>");
  EXPECT_EQ(Outer(*doc, u"box"),
            "<div id=\"box\"><div id=\"w\"><span id=\"deep\">y</span></div></div>");
  // Many writes later the old content has surely been released.
  for (int i = 0; i < 50; ++i) doc->FindElementById(u"w")->SetInnerText(u"t");
  EXPECT_EQ(deep->Id(), u"");
  EXPECT_EQ(Outer(*doc, u"w"), "<div id=\"w\">t</div>");
  EXPECT_EQ(doc->FindElementById(u"deep"), nullptr);
}

TEST(HtmlDocumentRobustness, GarbageAndDeepNestingDoNotCrash) {
  std::mt19937 rng(7);
  const std::string alphabet = "<>/=\"' &;!-abcdiv#x\n\0\xC3\xA9\xFF\xED\xA0\x80tablrsecop";
  for (int round = 0; round < 200; ++round) {
    std::string junk;
    const int len = static_cast<int>(rng() % 300);
    for (int i = 0; i < len; ++i) junk.push_back(alphabet[rng() % alphabet.size()]);
    auto doc = HtmlDocument::Parse(junk);
    doc->Serialize();
    if (auto body = doc->Body()) {
      body->SetInnerHtml(Utf8ToUtf16(junk));
      body->ForEachDescendant([](Element& e) { e.SetOuterHtml(u"<td><tr>x"); });
    }
    doc->Serialize();
  }
  std::string deep;
  for (int i = 0; i < 200000; ++i) deep += "<span>";
  auto doc = HtmlDocument::Parse(Page("<div id=\"d\"></div>"));
  doc->FindElementById(u"d")->SetInnerHtml(Utf8ToUtf16(deep + "<i id=\"bottom\"></i>"));
  EXPECT_NE(doc->FindElementById(u"bottom"), nullptr);
  EXPECT_GT(doc->Serialize().size(), deep.size());
  doc->FindElementById(u"d")->SetInnerText(u"flat");
  EXPECT_EQ(Outer(*doc, u"d"), "<div id=\"d\">flat</div>");
}

TEST(HtmlDocumentRobustness, JunkWrittenIntoEveryKindOfElement) {
  const std::string page =
      "<!DOCTYPE html><html id=\"e0\"><head id=\"e1\"><title id=\"e2\">t</title>"
      "<style id=\"e3\"></style><script id=\"e4\"></script><noscript id=\"e5\"></noscript>"
      "</head><body id=\"e6\"><table id=\"e7\"><caption id=\"e8\"></caption>"
      "<colgroup id=\"e9\"><col id=\"e10\"></colgroup><thead id=\"e11\"><tr id=\"e12\">"
      "<th id=\"e13\"></th><td id=\"e14\"></td></tr></thead></table>"
      "<select id=\"e15\"><optgroup id=\"e16\"><option id=\"e17\"></option></optgroup>"
      "</select><textarea id=\"e18\"></textarea><template id=\"e19\"><p id=\"e20\"></p>"
      "</template><svg id=\"e21\"><foreignObject id=\"e22\"></foreignObject>"
      "<title id=\"e23\"></title></svg><math id=\"e24\"><mi id=\"e25\"></mi></math>"
      "<iframe id=\"e26\"></iframe><xmp id=\"e27\"></xmp><form id=\"e28\"></form>"
      "<ul id=\"e29\"><li id=\"e30\"></li></ul><dl id=\"e31\"><dt id=\"e32\"></dt></dl>"
      "<ruby id=\"e33\"><rt id=\"e34\"></rt></ruby><button id=\"e35\"></button>"
      "<a id=\"e36\"></a><object id=\"e37\"></object><frameset id=\"e38\"></frameset>"
      "<br id=\"e39\"><custom-tag id=\"e40\"></custom-tag><plaintext id=\"e41\">";
  const std::u16string junk[] = {u"<tr><td>x</td></tr>",
                                 u"</body></html><body>b",
                                 u"<frameset><frame>",
                                 u"<table><form><tr>",
                                 u"<option><select>x",
                                 u"<svg><desc><b>x</svg>y",
                                 u"</form>z<form>a</form>",
                                 u"<html><head><body>",
                                 u"<template><td>x</template>",
                                 u"<!--",
                                 u"<plaintext><b>",
                                 u"\xD800<\0>&#0;&#xD800;&amp"};
  for (const std::u16string& html : junk) {
    for (int id = 0; id <= 41; ++id) {
      const auto doc = HtmlDocument::Parse(page);
      const std::u16string name = u"e" + Utf8ToUtf16(std::to_string(id));
      if (auto e = doc->FindElementById(name)) {
        e->SetInnerHtml(html);
        e->SetAttribute(u"id", name, 0);
        e->SetInnerHtml(html + html);
        e->SetOuterHtml(html);
        e->SetOuterHtml(html);
        e->SetInnerText(html);
      }
      if (auto body = doc->Body()) body->SetOuterHtml(html);
      EXPECT_FALSE(doc->Serialize().empty());
    }
  }
}

// Thousands of distinct ids coming and going in many contents: each one
// written must be found until its content is replaced, and never after.
TEST(HtmlDocumentIds, ManyIdsComeAndGoWithTheirContents) {
  std::mt19937 rng(99);
  constexpr int kContainers = 40;
  std::u16string page;
  for (int c = 0; c < kContainers; ++c)
    page += u"<div id=\"c" + Utf8ToUtf16(std::to_string(c)) + u"\"></div>";
  const auto doc = HtmlDocument::Parse(Page(Utf16ToUtf8(page)));
  std::vector<std::vector<std::u16string>> live(kContainers);
  std::vector<std::u16string> gone;
  int serial = 0;
  for (int step = 0; step < 300; ++step) {
    const int c = static_cast<int>(rng() % kContainers);
    auto container = doc->FindElementById(u"c" + Utf8ToUtf16(std::to_string(c)));
    ASSERT_NE(container, nullptr);
    for (std::u16string& id : live[c]) gone.push_back(std::move(id));
    live[c].clear();
    std::u16string html;
    const int n = static_cast<int>(rng() % 120);
    for (int k = 0; k < n; ++k) {
      live[c].push_back(u"x" + Utf8ToUtf16(std::to_string(serial++)));
      html += u"<p id=\"" + live[c].back() + u"\"><b>" + live[c].back() + u"</b></p>";
    }
    container->SetInnerHtml(html);
    for (const auto& ids : live) {
      for (const std::u16string& id : ids) {
        auto e = doc->FindElementById(id);
        ASSERT_NE(e, nullptr) << "step " << step << " id " << Utf16ToUtf8(id);
        ASSERT_EQ(e->Id(), id);
        ASSERT_EQ(e->TagName(), u"P");
      }
    }
    for (const std::u16string& id : gone) {
      ASSERT_EQ(doc->FindElementById(id), nullptr) << "step " << step;
    }
  }
}

// Random writes; after each one, every lookup must answer as a scan of the
// body in document order does. Elements are told apart by a unique left.
TEST(HtmlDocumentIds, IndexAgreesWithADocumentOrderScanAfterRandomWrites) {
  std::mt19937 rng(12345);
  const std::vector<std::u16string> pool = {u"a", u"b", u"c", u"A", u"d", u"a b"};
  auto pick_id = [&] { return pool[rng() % pool.size()]; };
  auto fragment = [&](int depth, auto& self) -> std::u16string {
    static const char16_t* const tags[] = {u"div",   u"span", u"p",  u"b",      u"ul",    u"li",
                                           u"table", u"tr",   u"td", u"select", u"option"};
    std::u16string out;
    const int n = static_cast<int>(rng() % 4);
    for (int i = 0; i < n; ++i) {
      const std::u16string tag = tags[rng() % std::size(tags)];
      out += u"<" + tag;
      if (rng() % 3 != 0) out += u" id=\"" + pick_id() + u"\"";
      out += u">";
      if (depth < 3) out += self(depth + 1, self);
      if (rng() % 2) out += u"</" + tag + u">";
      if (rng() % 4 == 0) out += u"t";
    }
    return out;
  };

  const auto doc = HtmlDocument::Parse(Page("<div id=\"a\"></div>"));
  auto count_elements = [&] {
    int n = 0;
    doc->Body()->ForEachDescendant([&](Element&) { ++n; });
    return n;
  };
  for (int step = 0; step < 400; ++step) {
    const int n = count_elements();
    if (n == 0) {
      doc->Body()->SetInnerHtml(fragment(0, fragment));
      continue;
    }
    // Mark a random element with a unique id, then write through a lookup.
    const int target = static_cast<int>(rng() % n);
    const int op = static_cast<int>(rng() % 5);
    int i = 0;
    std::u16string saved;
    doc->Body()->ForEachDescendant([&](Element& e) {
      if (i++ != target) return;
      if (op == 0) {
        e.SetAttribute(rng() % 2 ? u"id" : u"ID", pick_id(), 0);
      } else {
        saved = e.Id();
        e.SetAttribute(u"id", u"target", 0);
      }
    });
    if (op != 0) {
      auto e = doc->FindElementById(u"target");
      ASSERT_NE(e, nullptr);
      switch (op) {
        case 1:
          e->SetInnerHtml(fragment(0, fragment));
          e->SetAttribute(u"id", saved, 0);
          break;
        case 2:
          e->SetOuterHtml(fragment(0, fragment));
          break;
        case 3:
          e->SetInnerText(u"<b id=\"a\">");
          e->SetAttribute(u"id", saved, 0);
          break;
        case 4:
          e->SetAttribute(u"id", pick_id(), 0);
          break;
      }
    }
    // Number every element, then compare.
    std::vector<std::u16string> ids;
    doc->Body()->ForEachDescendant([&](Element& e) {
      e.SetStyleLeft(static_cast<std::int32_t>(ids.size()));
      ids.push_back(e.Id());
    });
    for (const std::u16string& id : pool) {
      int expected = -1;
      for (std::size_t k = 0; k < ids.size(); ++k) {
        if (ids[k] == id) {
          expected = static_cast<int>(k);
          break;
        }
      }
      auto found = doc->FindElementById(id);
      ASSERT_EQ(found != nullptr, expected >= 0) << "step " << step << " id " << Utf16ToUtf8(id);
      if (found) {
        ASSERT_EQ(found->PixelLeft(), expected) << "step " << step;
        ASSERT_EQ(found->Id(), id);
      }
    }
    ASSERT_EQ(doc->FindElementById(u"target"), nullptr);
  }
}

}  // namespace
}  // namespace vellumine
