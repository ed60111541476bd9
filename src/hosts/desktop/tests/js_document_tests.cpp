// The page operations over script values, against a small page model
// written in script: what each operation reads and writes, and that a
// refused write leaves no exception behind.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hosts/desktop/js_document.h"
#include "hosts/desktop/skerrow_binding.h"

namespace vellumine::desktop {
namespace {

// Elements with ids, lower-case tag names, inline styles, attributes and a
// value property for inputs; getElementById and querySelectorAll("*") in
// document order; an outerHTML that refuses to be written.
constexpr char kPage[] = R"JS(
function El(id, tag, kids) {
  this.id = id; this.tagName = tag; this.kids = kids || [];
  this.style = { left: '', top: '' }; this.attrs = {};
  this.offsetLeft = 7; this.offsetTop = 9; this.innerHTML = ''; this.innerText = '';
}
El.prototype.setAttribute = function (n, v) { this.attrs[n] = String(v); };
El.prototype.querySelectorAll = function (sel) {
  var out = [];
  (function walk(e) { e.kids.forEach(function (k) { out.push(k); walk(k); }); })(this);
  return out;
};
Object.defineProperty(El.prototype, 'outerHTML', {
  get: function () { return ''; },
  set: function (v) { throw new Error('NoModificationAllowedError'); }
});
var input = new El('linkfilename', 'input'); input.value = 'old';
var first = new El('twin', 'div', [new El('inner', 'pre')]);
var second = new El('twin', 'span');
var body = new El('', 'body', [first, new El('calender', 'div'), input, second]);
var doc = {
  body: body,
  getElementById: function (id) {
    var all = body.querySelectorAll('*');
    for (var i = 0; i < all.length; i++) if (all[i].id === id) return all[i];
    return null;
  }
};
)JS";

class JsPage : public ::testing::Test {
 protected:
  void SetUp() override {
    context_ = jsc_context_new();
    Eval(kPage);
    JSCValue* doc = jsc_context_get_value(context_, "doc");
    document_ = std::make_unique<JsDocument>(context_, doc);
    g_object_unref(doc);
  }
  void TearDown() override {
    document_.reset();
    g_object_unref(context_);
  }
  std::string Eval(const std::string& script) {
    JSCValue* v = jsc_context_evaluate(context_, script.c_str(), -1);
    gchar* text = jsc_value_to_string(v);
    std::string result = text != nullptr ? text : "";
    g_free(text);
    g_object_unref(v);
    return result;
  }
  bool ExceptionPending() { return jsc_context_get_exception(context_) != nullptr; }

  JSCContext* context_ = nullptr;
  std::unique_ptr<JsDocument> document_;
};

TEST_F(JsPage, FindsTheFirstElementWithExactlyThatId) {
  auto twin = document_->FindElementById(u"twin");
  ASSERT_TRUE(twin);
  EXPECT_EQ(twin->TagName(), u"DIV");
  EXPECT_EQ(twin->Id(), u"twin");
  EXPECT_FALSE(document_->FindElementById(u"Twin"));
  EXPECT_FALSE(document_->FindElementById(u"nothing"));
  EXPECT_FALSE(document_->FindElementById(u""));
  // An id with a lone surrogate can't be an id of this page.
  EXPECT_FALSE(document_->FindElementById(std::u16string(u"twin") + char16_t(0xD800)));
}

TEST_F(JsPage, WritesContentAndAttributes) {
  auto cal = document_->FindElementById(u"calender");
  ASSERT_TRUE(cal);
  cal->SetInnerHtml(u"<b>12月</b>");
  EXPECT_EQ(Eval("doc.getElementById('calender').innerHTML"), "<b>12月</b>");
  cal->SetInnerText(u"a<b");
  EXPECT_EQ(Eval("doc.getElementById('calender').innerText"), "a<b");
  cal->SetAttribute(u"src", u"/tmp/p.png", 0);
  EXPECT_EQ(Eval("doc.getElementById('calender').attrs.src"), "/tmp/p.png");
  cal->SetAttribute(u"value", 3, 0);
  EXPECT_EQ(Eval("doc.getElementById('calender').attrs.value"), "3");
  // An element without a value property gets none.
  EXPECT_EQ(Eval("'value' in doc.getElementById('calender')"), "false");
}

TEST_F(JsPage, SettingAFieldsValueChangesWhatItShows) {
  auto field = document_->FindElementById(u"linkfilename");
  ASSERT_TRUE(field);
  field->SetAttribute(u"value", u"/home/u/メモ.txt", 1);
  EXPECT_EQ(Eval("input.attrs.value"), "/home/u/メモ.txt");
  EXPECT_EQ(Eval("input.value"), "/home/u/メモ.txt");
}

TEST_F(JsPage, StylesTakePixelsAndTexts) {
  auto cal = document_->FindElementById(u"calender");
  ASSERT_TRUE(cal);
  cal->SetStyleLeft(-12);
  cal->SetStyleTop(300);
  cal->SetStyleFontSize(13);
  cal->SetStyleVisibility(u"hidden");
  cal->SetStyleColor(u"#0000c0");
  cal->SetStyleFontFamily(u"ＭＳ ゴシック");
  EXPECT_EQ(Eval("var s = doc.getElementById('calender').style;"
                 "[s.left, s.top, s.fontSize, s.visibility, s.color, s.fontFamily].join('|')"),
            "-12px|300px|13px|hidden|#0000c0|ＭＳ ゴシック");
}

TEST_F(JsPage, ReadsThePositionFromTheStyleOrTheLayout) {
  auto cal = document_->FindElementById(u"calender");
  ASSERT_TRUE(cal);
  // No inline position: the laid-out offset.
  EXPECT_EQ(cal->PixelLeft(), 7);
  EXPECT_EQ(cal->PixelTop(), 9);
  Eval(
      "doc.getElementById('calender').style.left = '321.6px';"
      "doc.getElementById('calender').style.top = '-4px'");
  EXPECT_EQ(cal->PixelLeft(), 321);
  EXPECT_EQ(cal->PixelTop(), -4);
  // A position in other units is read from the layout.
  Eval("doc.getElementById('calender').style.left = '10%'");
  EXPECT_EQ(cal->PixelLeft(), 7);
  // No style at all: no position.
  Eval("delete doc.getElementById('calender').style");
  EXPECT_FALSE(cal->PixelLeft());
}

TEST_F(JsPage, ListsDescendantsInDocumentOrderWithUpperCaseTags) {
  auto body = document_->Body();
  ASSERT_TRUE(body);
  std::vector<std::u16string> seen;
  body->ForEachDescendant([&](Element& e) { seen.push_back(e.TagName() + u"#" + e.Id()); });
  EXPECT_EQ(seen, (std::vector<std::u16string>{u"DIV#twin", u"PRE#inner", u"DIV#calender",
                                               u"INPUT#linkfilename", u"SPAN#twin"}));
}

TEST_F(JsPage, ARefusedWriteLeavesNoException) {
  auto cal = document_->FindElementById(u"calender");
  ASSERT_TRUE(cal);
  cal->SetOuterHtml(u"<div></div>");
  EXPECT_FALSE(ExceptionPending());
  Eval("doc.getElementById = function () { throw new Error('no'); }");
  EXPECT_FALSE(document_->FindElementById(u"calender"));
  EXPECT_FALSE(ExceptionPending());
}

TEST_F(JsPage, ADocumentThatIsNoObjectFindsNothing) {
  JSCValue* number = jsc_value_new_number(context_, 5);
  JsDocument not_a_page(context_, number);
  EXPECT_FALSE(not_a_page.FindElementById(u"calender"));
  EXPECT_FALSE(not_a_page.Body());
  JsDocument nothing(context_, nullptr);
  EXPECT_FALSE(nothing.FindElementById(u"calender"));
  g_object_unref(number);
}

TEST_F(JsPage, TextsKeepEveryCharacterAndEmbeddedZeros) {
  std::u16string text(u"a\0b\U0001F600\uFF71", 6);
  JSCValue* js = ToJsString(context_, text);
  EXPECT_EQ(FromJsString(js), text);
  EXPECT_EQ(jsc_value_to_int32(jsc_value_object_get_property(js, "length")), 6);
  g_object_unref(js);
}

TEST_F(JsPage, ALoneSurrogateBecomesAReplacementNotAnEmptyText) {
  std::u16string text(u"a\xD800<b\xDC00\U0001F600", 7);
  JSCValue* js = ToJsString(context_, text);
  EXPECT_EQ(FromJsString(js), std::u16string(u"a\uFFFD<b\uFFFD\U0001F600"));
  g_object_unref(js);
}

TEST_F(JsPage, EveryWidthOfCharacterCrossesWholeAtAnyPlace) {
  // One, two, three and four bytes each, at the start, between and at the
  // end; a high surrogate last, with nothing to pair with.
  const std::u16string cases[] = {u"",
                                  u"\u00E9",
                                  u"\u00E9x\u30E1\U0001F600",
                                  u"\U0001F600\u00E9",
                                  std::u16string(u"x\U0001F600\xD83D", 4),
                                  std::u16string(u"\xDE00\xD83D", 2)};
  const std::u16string want[] = {u"",
                                 u"\u00E9",
                                 u"\u00E9x\u30E1\U0001F600",
                                 u"\U0001F600\u00E9",
                                 u"x\U0001F600\uFFFD",
                                 u"\uFFFD\uFFFD"};
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    JSCValue* js = ToJsString(context_, cases[i]);
    EXPECT_EQ(FromJsString(js), want[i]) << "case " << i;
    g_object_unref(js);
  }
}

TEST(PixelLength, ReadsTheLeadingIntegerOfAPixelLength) {
  EXPECT_EQ(ParsePixelLength("12px"), 12);
  EXPECT_EQ(ParsePixelLength("-3px"), -3);
  EXPECT_EQ(ParsePixelLength("+3px"), 3);
  EXPECT_EQ(ParsePixelLength("12.9px"), 12);
  EXPECT_EQ(ParsePixelLength("0px"), 0);
  EXPECT_FALSE(ParsePixelLength(""));
  EXPECT_FALSE(ParsePixelLength("px"));
  EXPECT_FALSE(ParsePixelLength("12"));
  EXPECT_FALSE(ParsePixelLength("12em"));
  EXPECT_FALSE(ParsePixelLength("1x2px"));
  EXPECT_FALSE(ParsePixelLength("99999999999px"));
}

class Arguments : public ::testing::Test {
 protected:
  void SetUp() override { context_ = jsc_context_new(); }
  void TearDown() override { g_object_unref(context_); }
  JSCValue* Value(const char* script) { return jsc_context_evaluate(context_, script, -1); }
  TextArg Text(const char* script) {
    JSCValue* v = Value(script);
    TextArg t = TextArgument(context_, v);
    g_object_unref(v);
    return t;
  }
  std::int32_t Int(const char* script) {
    JSCValue* v = Value(script);
    std::int32_t n = IntArgument(context_, v);
    g_object_unref(v);
    return n;
  }
  JSCContext* context_ = nullptr;
};

TEST_F(Arguments, TextsNullsAndOtherValues) {
  EXPECT_EQ(Text("'件名'"), std::u16string(u"件名"));
  EXPECT_EQ(Text("''"), std::u16string());
  EXPECT_EQ(Text("null"), std::nullopt);
  EXPECT_EQ(Text("undefined"), std::nullopt);
  EXPECT_EQ(TextArgument(context_, nullptr), std::nullopt);
  EXPECT_EQ(Text("12"), std::u16string(u"12"));
  // A value whose conversion throws is read as text without the exception
  // escaping into the caller.
  EXPECT_EQ(Text("({toString: function () { throw 1; }})"), std::u16string());
  EXPECT_EQ(jsc_context_get_exception(context_), nullptr);
}

TEST_F(Arguments, NumbersAreSigned32Bit) {
  EXPECT_EQ(Int("3"), 3);
  EXPECT_EQ(Int("'3'"), 3);
  EXPECT_EQ(Int("-1"), -1);
  EXPECT_EQ(Int("3.9"), 3);
  EXPECT_EQ(Int("-3.9"), -3);
  EXPECT_EQ(Int("4294967297"), 1);
  EXPECT_EQ(Int("2147483648"), -2147483647 - 1);
  EXPECT_EQ(Int("'abc'"), 0);
  EXPECT_EQ(Int("null"), 0);
  EXPECT_EQ(Int("undefined"), 0);
  EXPECT_EQ(IntArgument(context_, nullptr), 0);
}

TEST(SkerrowObject, OffersTheInterfaceAndChangeMemoPage) {
  std::size_t count = 0;
  const char* const* names = SkerrowMethodNames(&count);
  ASSERT_EQ(count, 27u);
  EXPECT_STREQ(names[0], "SetBG_Random");
  EXPECT_STREQ(names[6], "InitPage");
  EXPECT_STREQ(names[25], "ChangeWindowOption");
  EXPECT_STREQ(names[26], "ChangeMemoPage");

  JSCContext* context = jsc_context_new();
  InstallSkerrow(context, u"/nonexistent/vellumine-test/", nullptr);
  JSCValue* kinds = jsc_context_evaluate(
      context,
      "Object.getOwnPropertyNames(Object.getPrototypeOf(Skerrow))"
      ".filter(function (n) { return typeof Skerrow[n] === 'function'; }).length",
      -1);
  EXPECT_EQ(jsc_value_to_int32(kinds), 27);
  g_object_unref(kinds);
  // Calls with missing or odd arguments return nothing and throw nothing.
  JSCValue* r = jsc_context_evaluate(
      context, "Skerrow.SetWndPos(); Skerrow.Open('x', {}); Skerrow.InitPage(5)", -1);
  EXPECT_TRUE(jsc_value_is_undefined(r));
  EXPECT_EQ(jsc_context_get_exception(context), nullptr);
  g_object_unref(r);
  g_object_unref(context);
}

}  // namespace
}  // namespace vellumine::desktop
