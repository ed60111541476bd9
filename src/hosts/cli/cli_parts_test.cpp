// The runner's pieces: JSON texts, the command line, the method table, the
// tracing document and the script runner over a control with a fake page.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <nlohmann/json.hpp>

#include "hosts/cli/cli_args.h"
#include "hosts/cli/json_text.h"
#include "hosts/cli/method_table.h"
#include "hosts/cli/script_runner.h"
#include "hosts/cli/trace_document.h"
#include "tests/support.h"

namespace vellumine::cli {
namespace {

std::string Json(std::u16string_view text) {
  std::string out;
  AppendJsonString(out, text);
  return out;
}

TEST(CliJsonText, EscapesQuotesBackslashesAndControlCharacters) {
  EXPECT_EQ(Json(u"a\"b\\c"), R"("a\"b\\c")");
  EXPECT_EQ(Json(u"\n\r\t\b\f"), R"("\n\r\t\b\f")");
  EXPECT_EQ(Json(std::u16string(u"\x01\x1f", 2) + u'\0'), R"("\u0001\u001f\u0000")");
  EXPECT_EQ(Json(u"/ \x7f"), "\"/ \x7f\"");
  EXPECT_EQ(Json(u""), "\"\"");
}

TEST(CliJsonText, WritesNonAsciiAsUtf8AndLoneSurrogatesEscaped) {
  EXPECT_EQ(Json(u"題名é"), "\"題名é\"");
  EXPECT_EQ(Json(u"\U0001F600"), "\"\xF0\x9F\x98\x80\"");
  EXPECT_EQ(Json(std::u16string(1, u'\xD800') + u"x"), R"("\ud800x")");
  EXPECT_EQ(Json(std::u16string(1, u'\xDC00')), R"("\udc00")");
  EXPECT_EQ(Json(u"a" + std::u16string(1, u'\xDBFF')), R"("a\udbff")");
  // Low before high is two lone halves, not a pair.
  EXPECT_EQ(Json(std::u16string{u'\xDC00', u'\xD800'}), R"("\udc00\ud800")");
}

TEST(CliJsonText, RoundTripsThroughAJsonParser) {
  const std::u16string text = u"メモ \"q\" \\ \n\t\x01 \U00010437 end";
  EXPECT_EQ(Utf8ToUtf16(nlohmann::json::parse(Json(text)).get<std::string>()), text);
}

TEST(CliJsonText, NullTextAndUtf8Texts) {
  std::string out;
  AppendJsonText(out, std::nullopt);
  AppendJsonText(out, std::u16string());
  AppendJsonUtf8(out, "<pre>予定</pre>\n");
  EXPECT_EQ(out, "null\"\"\"<pre>予定</pre>\\n\"");
}

TEST(CliArgs, DatesAreStrict) {
  const std::optional<LocalDate> d = ParseDate("2005-03-09");
  ASSERT_TRUE(d);
  EXPECT_EQ(d->year, 2005);
  EXPECT_EQ(d->month, 3);
  EXPECT_EQ(d->day, 9);
  EXPECT_TRUE(ParseDate("2024-02-29"));
  EXPECT_TRUE(ParseDate("2000-02-29"));
  EXPECT_TRUE(ParseDate("9999-12-31"));
  EXPECT_TRUE(ParseDate("0001-01-01"));
  for (const char* bad :
       {"1900-02-29", "2023-02-29", "2024-04-31", "2024-13-01", "2024-00-10", "2024-01-00",
        "0000-01-01", "2024-1-01", "2024-01-1", "24-01-01", "2024/01/01", " 2024-01-01",
        "2024-01-01 ", "+024-01-01", "2024-0a-01", "", "20240101"}) {
    EXPECT_FALSE(ParseDate(bad)) << bad;
  }
}

TEST(CliArgs, SeedsAreUnsigned32BitDecimals) {
  EXPECT_EQ(ParseSeed("0"), 0u);
  EXPECT_EQ(ParseSeed("4294967295"), 4294967295u);
  EXPECT_EQ(ParseSeed("0000000042"), 42u);
  for (const char* bad : {"4294967296", "-1", "+1", "1x", "", " 1", "99999999999"}) {
    EXPECT_FALSE(ParseSeed(bad)) << bad;
  }
}

TEST(CliArgs, ReadsEveryOptionInBothSpellings) {
  const ParsedArgs parsed =
      ParseCommandLine({"--page", "p.html", "--data=d", "--today", "2005-03-09", "--seed=7",
                        "--trace", "--out", "o.html", "s.jsonl"});
  ASSERT_TRUE(parsed.options) << parsed.error;
  const CliOptions& o = *parsed.options;
  EXPECT_EQ(o.page, "p.html");
  EXPECT_EQ(o.data, "d");
  ASSERT_TRUE(o.today);
  EXPECT_EQ(o.today->day, 9);
  EXPECT_EQ(o.seed, 7u);
  EXPECT_TRUE(o.trace);
  EXPECT_EQ(o.out, "o.html");
  EXPECT_EQ(o.script, "s.jsonl");
}

TEST(CliArgs, DefaultsAndStandardInput) {
  ParsedArgs parsed = ParseCommandLine({});
  ASSERT_TRUE(parsed.options);
  EXPECT_EQ(parsed.options->script, "-");
  EXPECT_FALSE(parsed.options->page || parsed.options->data || parsed.options->today ||
               parsed.options->seed || parsed.options->out || parsed.options->trace);
  parsed = ParseCommandLine({"-"});
  ASSERT_TRUE(parsed.options);
  EXPECT_EQ(parsed.options->script, "-");
  parsed = ParseCommandLine({"--", "--trace"});
  ASSERT_TRUE(parsed.options);
  EXPECT_EQ(parsed.options->script, "--trace");
  EXPECT_FALSE(parsed.options->trace);
}

TEST(CliArgs, RefusesBadCommandLines) {
  const std::vector<std::vector<std::string>> bad = {
      {"--bogus"},       {"-x"},           {"--trace=1"},          {"--page"},
      {"--seed", "abc"}, {"--today", "x"}, {"a.jsonl", "b"},       {"--out"},
      {"--data"},        {"--pages", "x"}, {"--today=2023-02-29"},
  };
  for (const auto& args : bad) {
    const ParsedArgs parsed = ParseCommandLine(args);
    EXPECT_FALSE(parsed.options) << args[0];
    EXPECT_FALSE(parsed.error.empty()) << args[0];
  }
}

TEST(CliMethodTable, IntegersAreJsonIntegersWithin32Bits) {
  using nlohmann::json;
  EXPECT_EQ(JsonInt32(json::parse("2147483647")), 2147483647);
  EXPECT_EQ(JsonInt32(json::parse("-2147483648")), -2147483647 - 1);
  EXPECT_EQ(JsonInt32(json::parse("0")), 0);
  EXPECT_EQ(JsonInt32(json::parse("-0")), 0);
  // JSON has one number type: an integral value written with a fraction or
  // an exponent is still that integer.
  EXPECT_EQ(JsonInt32(json::parse("1.0")), 1);
  EXPECT_EQ(JsonInt32(json::parse("1e3")), 1000);
  EXPECT_EQ(JsonInt32(json::parse("-2.147483648e9")), -2147483647 - 1);
  for (const char* bad :
       {"2147483648", "-2147483649", "18446744073709551615", "99999999999999999999999", "1.5",
        "2.147483648e9", "1e300", "true", "false", "\"1\"", "null", "[1]", "{}"}) {
    EXPECT_FALSE(JsonInt32(json::parse(bad))) << bad;
  }
}

TEST(CliMethodTable, TextsAreStringsOrNull) {
  using nlohmann::json;
  EXPECT_EQ(JsonText(json::parse("\"メモ\"")), std::optional<TextArg>(u"メモ"));
  EXPECT_EQ(JsonText(json::parse("\"\"")), std::optional<TextArg>(u""));
  const std::optional<TextArg> null_text = JsonText(json::parse("null"));
  ASSERT_TRUE(null_text);
  EXPECT_FALSE(*null_text);
  for (const char* bad : {"1", "false", "[]", "{}"}) EXPECT_FALSE(JsonText(json::parse(bad)));
}

TEST(CliMethodTable, ConvertArgsChecksCountThenEachType) {
  const Method& renew = *FindMethod("RenewMemo");
  Args args;
  EXPECT_FALSE(ConvertArgs(renew, nlohmann::json::parse(R"(["RenewMemo", null, "x", 0])"), args));
  ASSERT_EQ(args.size(), 3u);
  EXPECT_FALSE(std::get<TextArg>(args[0]));
  EXPECT_EQ(std::get<TextArg>(args[1]), u"x");
  EXPECT_EQ(std::get<std::int32_t>(args[2]), 0);

  std::optional<std::string> complaint =
      ConvertArgs(renew, nlohmann::json::parse(R"(["RenewMemo", "a", "b"])"), args);
  ASSERT_TRUE(complaint);
  EXPECT_EQ(*complaint, "RenewMemo takes 3 arguments (Subject, Message, Num), got 2");
  complaint = ConvertArgs(renew, nlohmann::json::parse(R"(["RenewMemo", "a", "b", "0"])"), args);
  ASSERT_TRUE(complaint);
  EXPECT_EQ(*complaint, "RenewMemo: argument 3 (Num) must be a signed 32-bit integer");
  complaint = ConvertArgs(renew, nlohmann::json::parse(R"(["RenewMemo", 1, "b", 0])"), args);
  ASSERT_TRUE(complaint);
  EXPECT_EQ(*complaint, "RenewMemo: argument 1 (Subject) must be a string or null");
  complaint =
      ConvertArgs(*FindMethod("InitPage"), nlohmann::json::parse(R"(["InitPage", 1])"), args);
  ASSERT_TRUE(complaint);
  EXPECT_EQ(*complaint, "InitPage takes 0 arguments, got 1");
}

// A page element that records what was done to it.
struct FakeNode {
  std::u16string id;
  std::u16string tag;
  std::vector<std::string> calls;
  std::vector<FakeNode*> children;
};

class FakeElement : public Element {
 public:
  explicit FakeElement(FakeNode& node) : node_(node) {}
  std::u16string Id() override { return node_.id; }
  std::u16string TagName() override { return node_.tag; }
  void SetInnerHtml(std::u16string_view html) override { Log("inner", html); }
  void SetOuterHtml(std::u16string_view html) override {
    Log("outer", html);
    node_.id = u"replaced";  // the old element is gone
  }
  void SetInnerText(std::u16string_view text) override { Log("text", text); }
  void SetAttribute(std::u16string_view name, std::u16string_view value,
                    std::int32_t flags) override {
    Log("attr " + testing::U8(name) + " " + std::to_string(flags), value);
  }
  void SetAttribute(std::u16string_view name, std::int32_t value, std::int32_t flags) override {
    Log("attr " + testing::U8(name) + " " + std::to_string(flags), std::to_string(value));
  }
  void SetStyleLeft(std::int32_t px) override { Log("left", std::to_string(px)); }
  void SetStyleTop(std::int32_t px) override { Log("top", std::to_string(px)); }
  void SetStyleVisibility(std::u16string_view v) override { Log("visibility", v); }
  void SetStyleColor(std::u16string_view v) override { Log("color", v); }
  void SetStyleFontFamily(std::u16string_view v) override { Log("font", v); }
  void SetStyleFontSize(std::int32_t px) override { Log("size", std::to_string(px)); }
  std::optional<std::int32_t> PixelLeft() override { return 11; }
  std::optional<std::int32_t> PixelTop() override { return std::nullopt; }
  void ForEachDescendant(const std::function<void(Element&)>& fn) override {
    for (FakeNode* child : node_.children) {
      FakeElement element(*child);
      fn(element);
    }
  }

 private:
  void Log(const std::string& what, std::u16string_view value) { Log(what, testing::U8(value)); }
  void Log(const std::string& what, const std::string& value) {
    node_.calls.push_back(what + "=" + value);
  }
  FakeNode& node_;
};

class FakeDocument : public Document {
 public:
  std::map<std::u16string, FakeNode*> nodes;
  FakeNode* body = nullptr;
  std::unique_ptr<Element> FindElementById(std::u16string_view id) override {
    auto it = nodes.find(std::u16string(id));
    if (it == nodes.end()) return nullptr;
    return std::make_unique<FakeElement>(*it->second);
  }
  std::unique_ptr<Element> Body() override {
    if (!body) return nullptr;
    return std::make_unique<FakeElement>(*body);
  }
};

class CliTrace : public ::testing::Test {
 protected:
  CliTrace() : traced_(fake_, [this](const std::string& line) { lines_.push_back(line); }) {
    fake_.nodes[u"calender"] = &calender_;
    fake_.body = &body_;
    body_.children = {&div_, &pre_};
  }
  FakeNode calender_{u"calender", u"DIV", {}, {}};
  FakeNode body_{u"", u"BODY", {}, {}};
  FakeNode div_{u"", u"DIV", {}, {}};
  FakeNode pre_{u"p\"1", u"PRE", {}, {}};
  FakeDocument fake_;
  std::vector<std::string> lines_;
  TracingDocument traced_;
};

TEST_F(CliTrace, ReportsEachWriteAndPassesItOn) {
  std::unique_ptr<Element> e = traced_.FindElementById(u"calender");
  ASSERT_TRUE(e);
  EXPECT_EQ(e->Id(), u"calender");
  EXPECT_EQ(e->TagName(), u"DIV");
  EXPECT_EQ(e->PixelLeft(), 11);
  EXPECT_EQ(e->PixelTop(), std::nullopt);
  e->SetInnerHtml(u"<pre>\"予定\"</pre>");
  e->SetInnerText(u"a\nb");
  e->SetAttribute(u"src", u"/p/壁紙.jpg", 0);
  e->SetAttribute(u"value", -3, 1);
  e->SetStyleLeft(10);
  e->SetStyleTop(-20);
  e->SetStyleVisibility(u"hidden");
  e->SetStyleColor(u"#0000c0");
  e->SetStyleFontFamily(u"ＭＳ ゴシック");
  e->SetStyleFontSize(13);
  const std::vector<std::string> expected = {
      R"({"op":"innerHTML","id":"calender","value":"<pre>\"予定\"</pre>"})",
      R"({"op":"innerText","id":"calender","value":"a\nb"})",
      R"({"op":"attribute","id":"calender","name":"src","value":"/p/壁紙.jpg"})",
      R"({"op":"attribute","id":"calender","name":"value","value":-3})",
      R"({"op":"style","id":"calender","tag":"DIV","prop":"left","value":10})",
      R"({"op":"style","id":"calender","tag":"DIV","prop":"top","value":-20})",
      R"({"op":"style","id":"calender","tag":"DIV","prop":"visibility","value":"hidden"})",
      R"({"op":"style","id":"calender","tag":"DIV","prop":"color","value":"#0000c0"})",
      R"({"op":"style","id":"calender","tag":"DIV","prop":"fontFamily","value":"ＭＳ ゴシック"})",
      R"({"op":"style","id":"calender","tag":"DIV","prop":"fontSize","value":13})",
  };
  EXPECT_EQ(lines_, expected);
  const std::vector<std::string> calls = {"inner=<pre>\"予定\"</pre>",
                                          "text=a\nb",
                                          "attr src 0=/p/壁紙.jpg",
                                          "attr value 1=-3",
                                          "left=10",
                                          "top=-20",
                                          "visibility=hidden",
                                          "color=#0000c0",
                                          "font=ＭＳ ゴシック",
                                          "size=13"};
  EXPECT_EQ(calender_.calls, calls);
}

TEST_F(CliTrace, OuterHtmlNamesTheElementItReplaced) {
  traced_.FindElementById(u"calender")->SetOuterHtml(u"<div id=\"x\"></div>");
  EXPECT_EQ(lines_, std::vector<std::string>{
                        R"({"op":"outerHTML","id":"calender","value":"<div id=\"x\"></div>"})"});
  EXPECT_EQ(calender_.id, u"replaced");
}

TEST_F(CliTrace, DescendantsOfTheBodyAreTracedWithTheirTags) {
  std::unique_ptr<Element> body = traced_.Body();
  ASSERT_TRUE(body);
  body->SetStyleColor(u"Black");
  body->ForEachDescendant([](Element& e) { e.SetStyleFontSize(e.TagName() == u"PRE" ? 9 : 8); });
  const std::vector<std::string> expected = {
      R"({"op":"style","id":"","tag":"BODY","prop":"color","value":"Black"})",
      R"({"op":"style","id":"","tag":"DIV","prop":"fontSize","value":8})",
      R"({"op":"style","id":"p\"1","tag":"PRE","prop":"fontSize","value":9})",
  };
  EXPECT_EQ(lines_, expected);
  EXPECT_EQ(pre_.calls, std::vector<std::string>{"size=9"});
}

TEST_F(CliTrace, MissingElementsWriteNothing) {
  EXPECT_EQ(traced_.FindElementById(u"Calender"), nullptr);
  fake_.body = nullptr;
  EXPECT_EQ(traced_.Body(), nullptr);
  EXPECT_TRUE(lines_.empty());
}

TEST(CliEvents, EveryKindHasItsLine) {
  UiEvent message;
  message.text = u"題名が入力されていません";
  message.caption = u"";
  EXPECT_EQ(EventLine(message),
            R"({"event":"message","text":"題名が入力されていません","caption":"","buttons":"ok"})");
  UiEvent question;
  question.kind = UiEvent::Kind::kQuestion;
  question.text = u"q";
  question.answer = Answer::kYes;
  EXPECT_EQ(EventLine(question),
            R"({"event":"question","text":"q","caption":null,"buttons":"yesno","answer":"yes"})");
  question.answer = Answer::kNo;
  question.caption = u"c\"";
  EXPECT_EQ(EventLine(question),
            R"({"event":"question","text":"q","caption":"c\"","buttons":"yesno","answer":"no"})");
  UiEvent font;
  font.kind = UiEvent::Kind::kFont;
  font.face = u"ＭＳ 明朝";
  font.size = 16;
  EXPECT_EQ(EventLine(font), R"({"event":"font","face":"ＭＳ 明朝","size":16})");
  font.cancel = true;
  EXPECT_EQ(EventLine(font), R"({"event":"font","cancel":true})");
  UiEvent pick;
  pick.kind = UiEvent::Kind::kPick;
  pick.path = u"/a\\b";
  EXPECT_EQ(EventLine(pick), R"({"event":"pick","kind":"file","path":"/a\\b"})");
  pick.folder = true;
  pick.cancel = true;
  EXPECT_EQ(EventLine(pick), R"({"event":"pick","kind":"folder","cancel":true})");
  UiEvent open;
  open.kind = UiEvent::Kind::kOpen;
  open.path = u"/home/u/メモ.txt";
  EXPECT_EQ(EventLine(open), R"({"event":"open","path":"/home/u/メモ.txt"})");
}

// The runner over a control whose dialogs are driven by the script.
class CliScript : public ::testing::Test {
 protected:
  CliScript()
      : runner_(f_.control(), f_.ui(), f_.doc(), /*trace=*/false,
                [this](const std::string& line) { lines_.push_back(line); }) {}
  testing::Fixture f_;
  std::vector<std::string> lines_;
  ScriptRunner runner_;
};

TEST_F(CliScript, SkipsBlankAndCommentLines) {
  for (const char* line : {"", "   ", "\t\r", "# [\"nothing\"", "  # indented comment"}) {
    EXPECT_EQ(runner_.RunLine(line), std::nullopt) << line;
  }
  EXPECT_TRUE(lines_.empty());
}

TEST_F(CliScript, DirectivesQueueDialogResultsInOrder) {
  for (const char* line :
       {R"(["@answer", "yes"])", R"(["@answer","no"])", R"(["@font", "ＭＳ 明朝", 16])",
        R"(["@font", null])", R"(["@pick", "/tmp/a b"])", R"(["@pick", null])"}) {
    ASSERT_EQ(runner_.RunLine(line), std::nullopt) << line;
  }
  EXPECT_EQ(f_.ui().ShowMessage(u"q1", std::nullopt, Buttons::kYesNo), Answer::kYes);
  EXPECT_EQ(f_.ui().ShowMessage(u"q2", std::nullopt, Buttons::kYesNo), Answer::kNo);
  EXPECT_EQ(f_.ui().ShowMessage(u"q3", std::nullopt, Buttons::kYesNo), Answer::kNo);
  std::optional<FontChoice> font = f_.ui().PickFont(u"x", 13);
  ASSERT_TRUE(font);
  EXPECT_EQ(font->face, u"ＭＳ 明朝");
  EXPECT_EQ(font->size, 16);
  EXPECT_FALSE(f_.ui().PickFont(u"x", 13));
  EXPECT_EQ(f_.ui().PickFile(), std::optional<std::u16string>(u"/tmp/a b"));
  EXPECT_FALSE(f_.ui().PickFolder());
  EXPECT_FALSE(f_.ui().PickFolder());
  // Each dialog was reported as it happened.
  ASSERT_EQ(lines_.size(), 8u);
  EXPECT_EQ(lines_[0],
            R"({"event":"question","text":"q1","caption":null,"buttons":"yesno","answer":"yes"})");
  EXPECT_EQ(lines_[3], R"({"event":"font","face":"ＭＳ 明朝","size":16})");
  EXPECT_EQ(lines_[7], R"({"event":"pick","kind":"folder","cancel":true})");
}

TEST_F(CliScript, HtmlOfAMissingElementIsNull) {
  ASSERT_EQ(runner_.RunLine(R"(["@html", "no-such-id"])"), std::nullopt);
  ASSERT_EQ(runner_.RunLine(R"(["@html", null])"), std::nullopt);
  EXPECT_EQ(lines_, (std::vector<std::string>{R"({"event":"html","id":"no-such-id","html":null})",
                                              R"({"event":"html","id":null,"html":null})"}));
}

TEST_F(CliScript, RefusesMalformedLines) {
  const std::vector<std::pair<const char*, const char*>> cases = {
      {"[\"InitPage\"", "not valid JSON"},
      {"{\"m\":1}", "not a JSON array"},
      {"\"InitPage\"", "not a JSON array"},
      {"[]", "the first element must name a method or directive"},
      {"[1, 2]", "the first element must name a method or directive"},
      {"[\"Unknown\"]", "unknown method \"Unknown\""},
      {"[\"initpage\"]", "unknown method \"initpage\""},
      {"[\"@nope\"]", "unknown directive \"@nope\""},
      {"[\"@answer\"]", "@answer takes 1 argument (\"yes\" or \"no\")"},
      {"[\"@answer\", \"Yes\"]", "@answer: the answer must be \"yes\" or \"no\""},
      {"[\"@answer\", true]", "@answer: the answer must be \"yes\" or \"no\""},
      {"[\"@font\", \"F\"]", "@font takes a face and a size, or null"},
      {"[\"@font\", null, 3]", "@font: the face must be a string"},
      {"[\"@font\", \"F\", 1.5]", "@font: the size must be a signed 32-bit integer"},
      {"[\"@pick\", 3]", "@pick: the path must be a string or null"},
      {"[\"@pick\", \"a\", \"b\"]", "@pick takes 1 argument (a path or null)"},
      {"[\"@html\", 5]", "@html: the id must be a string or null"},
      {"[\"SetCalender\", 2005]", "SetCalender takes 2 arguments (Year, Month), got 1"},
      {"[\"SetCalender\", 2005, 3, 1]", "SetCalender takes 2 arguments (Year, Month), got 3"},
  };
  for (const auto& [line, complaint] : cases) {
    EXPECT_EQ(runner_.RunLine(line).value_or("(ran)").substr(0, std::strlen(complaint)), complaint)
        << line;
  }
  EXPECT_TRUE(lines_.empty());
}

}  // namespace
}  // namespace vellumine::cli
