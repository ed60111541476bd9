// The runner as a program: its command line, exit statuses, error lines and
// output, run the way a user or another tool runs it.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "hosts/cli/trace_document.h"
#include "tests/support.h"

namespace vellumine::cli {
namespace {

namespace fs = std::filesystem;

struct CliRun {
  int status = -1;
  std::string out;
  std::string err;
};

using testing::ReadAll;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class CliBinary : public ::testing::Test {
 protected:
  fs::path Path(const std::string& name) const { return dir_.path() / name; }
  std::string Data() const { return (dir_.path() / "data").string(); }

  void WriteFile(const std::string& name, const std::string& content) {
    std::ofstream out(Path(name), std::ios::binary);
    out << content;
  }

  // Runs the program from the root folder (so nothing depends on the
  // working directory) with stdin from the given text.
  CliRun Run(const std::vector<std::string>& args, const std::string& input = "") {
    WriteFile("stdin", input);
    std::string command = "cd / && " + testing::ShellQuote(VELLUMINE_CLI);
    for (const std::string& arg : args) command += " " + testing::ShellQuote(arg);
    command += " <" + testing::ShellQuote(Path("stdin").string()) + " >" +
               testing::ShellQuote(Path("stdout").string()) + " 2>" +
               testing::ShellQuote(Path("stderr").string());
    const int raw = std::system(command.c_str());
    CliRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = ReadAll(Path("stdout"));
    run.err = ReadAll(Path("stderr"));
    return run;
  }

  // Runs a script given on stdin over the test's data folder.
  CliRun Script(const std::string& script, std::vector<std::string> args = {}) {
    args.insert(args.begin(), {"--data", Data(), "--today", "2005-03-09", "--seed", "1"});
    return Run(args, script);
  }

  testing::TempDir dir_;
};

TEST_F(CliBinary, BadCommandLinesExitWithUsage) {
  const std::vector<std::vector<std::string>> bad = {
      {"--bogus"},
      {"--data"},
      {"--today", "2005-02-29"},
      {"--today", "2005-3-9"},
      {"--seed", "-1"},
      {"--seed", "4294967296"},
      {"a.jsonl", "b.jsonl"},
  };
  for (const auto& args : bad) {
    const CliRun run = Run(args, "[\"@html\",\"x\"]\n");
    EXPECT_EQ(run.status, 2) << args[0];
    EXPECT_NE(run.err.find("usage: vellumine-cli"), std::string::npos) << args[0];
    EXPECT_EQ(run.out, "") << args[0];
  }
  const CliRun help = Run({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("usage: vellumine-cli", 0), 0u);
}

TEST_F(CliBinary, UnusablePageDataOrScriptExit2) {
  WriteFile("file", "not a folder");
  const std::vector<std::vector<std::string>> bad = {
      {"--data", Data(), "--page", Path("missing.html").string()},
      {"--data", Data(), "--page", dir_.path().string()},
      {"--data", (Path("file") / "data").string()},
      {"--data", Path("file").string()},
      {"--data", ""},
      {"--data", Data(), Path("missing.jsonl").string()},
      {"--data", Data(), dir_.path().string()},
  };
  for (const auto& args : bad) {
    const CliRun run = Run(args, "[\"@html\",\"x\"]\n");
    EXPECT_EQ(run.status, 2) << args.back();
    EXPECT_NE(run.err, "") << args.back();
    EXPECT_EQ(run.out, "") << args.back();
  }
}

TEST_F(CliBinary, CreatesTheDataFolderWithItsParents) {
  const fs::path nested = Path("a") / "b" / "c";
  const CliRun run = Run({"--data", nested.string()}, "");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(fs::is_directory(nested));
}

TEST_F(CliBinary, ABadLineStopsTheRunAndNamesItsNumber) {
  const std::vector<std::string> bad = {
      "[\"InitPage\"",
      "{\"InitPage\": 1}",
      "[]",
      "[\"NoSuchMethod\"]",
      "[\"InitPage\", 1]",
      "[\"SetCalender\", 2005]",
      "[\"SetCalender\", 2005, \"3\"]",
      "[\"SetCalender\", 2005, 3.5]",
      "[\"SetCalender\", 2005, 1e-3]",
      "[\"SetCalender\", 2147483648, 3]",
      "[\"SetCalender\", true, 3]",
      "[\"AddMemo\", \"s\", 5]",
      "[\"SetWndPos\", \"memo\", 1, 2]",
      "[\"@answer\", \"maybe\"]",
      "[\"@font\", \"Face\"]",
      "[\"@pick\"]",
      "[\"@html\"]",
      "[\"@unknown\"]",
  };
  for (const std::string& line : bad) {
    // A comment and a blank line count as lines too.
    const CliRun run =
        Script("# session\n\n[\"@html\", \"before\"]\n" + line + "\n[\"@html\", \"after\"]\n");
    EXPECT_EQ(run.status, 2) << line;
    EXPECT_EQ(run.err.rfind("line 4: ", 0), 0u) << line << " -> " << run.err;
    EXPECT_EQ(Lines(run.err).size(), 1u) << run.err;
    EXPECT_EQ(run.out, "{\"event\":\"html\",\"id\":\"before\",\"html\":null}\n") << line;
  }
}

TEST_F(CliBinary, AcceptsNullTextsExtremeIntegersAndLineEndings) {
  const CliRun run = Script(
      "[\"SetCalender\", -2147483648, 2147483647]\r\n"
      "[\"ChangeSchedule\", null, 2005, 3, 9]\n"
      "   \n"
      "\t# indented comment\n"
      "[\"@pick\", null]\n"
      "[\"@html\", \"last\"]");  // no newline at the end
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "{\"event\":\"html\",\"id\":\"last\",\"html\":null}\n");
}

TEST_F(CliBinary, ReadsTheScriptFromAFileOrStandardInput) {
  const std::string script = "[\"@html\", \"a\\\"b\"]\n[\"@html\", \"c\"]\n";
  WriteFile("script.jsonl", script);
  const CliRun from_stdin = Script(script);
  const CliRun from_dash = Script(script, {"-"});
  const CliRun from_file = Script("", {Path("script.jsonl").string()});
  EXPECT_EQ(from_stdin.status, 0);
  EXPECT_EQ(from_stdin.out,
            "{\"event\":\"html\",\"id\":\"a\\\"b\",\"html\":null}\n"
            "{\"event\":\"html\",\"id\":\"c\",\"html\":null}\n");
  EXPECT_EQ(from_dash.out, from_stdin.out);
  EXPECT_EQ(from_file.out, from_stdin.out);
  EXPECT_EQ(from_file.status, 0);
}

TEST_F(CliBinary, PrintsElementsOfTheGivenPage) {
  WriteFile("page.html",
            "<!DOCTYPE html><html><head></head><body><div id=\"a\"><b>x</b></div>"
            "<div id=\"a\">second</div><p id=\"q\">題&amp;</p></body></html>");
  const CliRun run = Script("[\"@html\", \"a\"]\n[\"@html\", \"q\"]\n[\"@html\", \"A\"]\n",
                            {"--page", Path("page.html").string()});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "{\"event\":\"html\",\"id\":\"a\",\"html\":\"<div id=\\\"a\\\"><b>x</b></div>\"}\n"
            "{\"event\":\"html\",\"id\":\"q\",\"html\":\"<p id=\\\"q\\\">題&amp;</p>\"}\n"
            "{\"event\":\"html\",\"id\":\"A\",\"html\":null}\n");
}

TEST_F(CliBinary, TheBundledPageIsTheProjectPage) {
  std::string script;
  for (const char* id :
       {"calender",        "schedule",    "memo",        "memofield",     "link",
        "linkfield",       "wplist",      "linklist",    "bgimg",         "schdllst",
        "linkfilename",    "linkmenunum", "menumini",    "menunormal",    "option",
        "option_calender", "option_menu", "memoinput",   "linkinput",     "schdlinput",
        "memofrm",         "linkfrm",     "schdlfrm",    "MenuTextColor", "WeekDayColor",
        "SatDayColor",     "SunDayColor", "ShadowColor", "CalenderFont",  "CalenderFontSize",
        "LinkItemNum",     "MemoItemNum", "MenuFont",    "MenuFontSize"}) {
    script += std::string("[\"@html\", \"") + id + "\"]\n";
  }
  const CliRun bundled = Script(script);
  const CliRun file = Script(script, {"--page", VELLUMINE_WEB_DIR "/index.html"});
  EXPECT_EQ(bundled.status, 0);
  EXPECT_EQ(bundled.out, file.out);
  for (const std::string& line : Lines(bundled.out)) {
    EXPECT_EQ(line.find("\"html\":null"), std::string::npos) << line;
  }
}

TEST_F(CliBinary, OutWritesTheDocumentAlsoAfterABadLine) {
  WriteFile("page.html",
            "<!DOCTYPE html><html><head></head><body><p id=\"p\">hi</p></body></html>");
  const std::string out = Path("out.html").string();
  CliRun run = Script("", {"--page", Path("page.html").string(), "--out", out});
  EXPECT_EQ(run.status, 0) << run.err;
  const std::string page = ReadAll(out);
  EXPECT_NE(page.find("<p id=\"p\">hi</p>"), std::string::npos) << page;

  fs::remove(out);
  run = Script("[\"Nope\"]\n", {"--page", Path("page.html").string(), "--out", out});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(ReadAll(out), page);

  run = Script("", {"--out", (Path("no-such-folder") / "out.html").string()});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err, "");
}

// A page element that only records what the control wrote into it.
class RecordingElement : public Element {
 public:
  RecordingElement(std::u16string id, std::vector<std::string>& log) : id_(id), log_(log) {}
  std::u16string Id() override { return id_; }
  std::u16string TagName() override { return u"DIV"; }
  void SetInnerHtml(std::u16string_view v) override { log_.push_back("inner"); }
  void SetOuterHtml(std::u16string_view v) override { log_.push_back("outer"); }
  void SetInnerText(std::u16string_view v) override { log_.push_back("text"); }
  void SetAttribute(std::u16string_view, std::u16string_view, std::int32_t) override {
    log_.push_back("attr");
  }
  void SetAttribute(std::u16string_view, std::int32_t, std::int32_t) override {
    log_.push_back("attr");
  }
  void SetStyleLeft(std::int32_t) override { log_.push_back("left"); }
  void SetStyleTop(std::int32_t) override { log_.push_back("top"); }
  void SetStyleVisibility(std::u16string_view) override { log_.push_back("visibility"); }
  void SetStyleColor(std::u16string_view) override { log_.push_back("color"); }
  void SetStyleFontFamily(std::u16string_view) override { log_.push_back("font"); }
  void SetStyleFontSize(std::int32_t) override { log_.push_back("size"); }
  std::optional<std::int32_t> PixelLeft() override { return 0; }
  std::optional<std::int32_t> PixelTop() override { return 0; }
  void ForEachDescendant(const std::function<void(Element&)>&) override {}

 private:
  std::u16string id_;
  std::vector<std::string>& log_;
};

// A page of one empty element "calender".
class CalenderOnlyDocument : public Document {
 public:
  std::vector<std::string> log;
  std::unique_ptr<Element> FindElementById(std::u16string_view id) override {
    if (id != u"calender") return nullptr;
    return std::make_unique<RecordingElement>(u"calender", log);
  }
  std::unique_ptr<Element> Body() override { return nullptr; }
};

TEST_F(CliBinary, TraceShowsExactlyWhatTheControlWrote) {
  WriteFile("page.html",
            "<!DOCTYPE html><html><head></head><body><div id=\"calender\"></div></body></html>");
  const CliRun run = Script("[\"SetCalender\", 2005, 3]\n[\"@html\", \"none\"]\n",
                            {"--page", Path("page.html").string(), "--trace"});
  ASSERT_EQ(run.status, 0) << run.err;

  // The same call in this process, on a page that only records the writes.
  PosixPlatform files;
  ScriptedPlatform ui(files, Utf8ToUtf16((dir_.path() / "replay").string() + "/"));
  CSkerrow control(ui);
  CalenderOnlyDocument page;
  std::vector<std::string> expected;
  TracingDocument traced(page, [&](const std::string& line) { expected.push_back(line); });
  control.SetCalender(traced, 2005, 3);
  ASSERT_FALSE(page.log.empty());
  ASSERT_EQ(expected.size(), page.log.size());
  expected.push_back(R"({"event":"html","id":"none","html":null})");
  EXPECT_EQ(Lines(run.out), expected);
}

TEST_F(CliBinary, EventsComeBeforeTheWritesTheyLeadTo) {
  WriteFile("page.html",
            "<!DOCTYPE html><html><head></head><body><span id=\"MenuFont\"></span></body></html>");
  const CliRun run = Script(
      "[\"@font\", \"Foo Sans\", 12]\n[\"ChangeOption\", \"MenuFont\", 0]\n"
      "[\"ChangeOption\", \"MenuFont\", 0]\n",
      {"--page", Path("page.html").string(), "--trace"});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::vector<std::string> lines = Lines(run.out);
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[0], R"({"event":"font","face":"Foo Sans","size":12})");
  const auto written = std::find(lines.begin(), lines.end(),
                                 R"({"op":"innerHTML","id":"MenuFont","value":"Foo Sans"})");
  const auto cancelled = std::find(lines.begin(), lines.end(), R"({"event":"font","cancel":true})");
  EXPECT_NE(written, lines.end()) << run.out;
  EXPECT_NE(cancelled, lines.end()) << run.out;
  EXPECT_LT(written, cancelled);
}

TEST_F(CliBinary, ASessionReportsEveryDialogAndLaunch) {
  const std::string file = Path("list.txt").string();
  WriteFile("list.txt", "milk\n");
  const std::string script =
      "[\"InitPage\"]\n"
      "[\"AddMemo\", null, \"x\"]\n"
      "[\"AddMemo\", \"s\", null]\n"
      "[\"MakeLinkMenu\", null, -1]\n"
      "[\"MakeLinkMenu\", \"Files\", -1]\n"
      "[\"@pick\", \"" +
      file +
      "\"]\n"
      "[\"OpenFile\"]\n"
      "[\"OpenFolder\"]\n"
      "[\"AddLink\", \"" +
      file +
      "\", 0]\n"
      "[\"AddLink\", \"" +
      file +
      "\", 0]\n"
      "[\"Open\", 0, 0]\n"
      "[\"RemoveLinkMenu\", 0]\n"
      "[\"@answer\", \"yes\"]\n"
      "[\"RemoveLinkMenu\", 0]\n"
      "[\"Open\", 0, 0]\n";
  const CliRun run = Script(script, {"--trace"});
  ASSERT_EQ(run.status, 0) << run.err;
  std::vector<std::string> events;
  const std::vector<std::string> lines = Lines(run.out);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].rfind("{\"event\":", 0) != 0) continue;
    events.push_back(lines[i]);
    if (lines[i].find("\"kind\":\"file\"") != std::string::npos) {
      // The picked path goes straight into the page's field.
      ASSERT_LT(i + 1, lines.size());
      EXPECT_EQ(lines[i + 1],
                "{\"op\":\"attribute\",\"id\":\"linkfilename\",\"name\":\"value\","
                "\"value\":\"" +
                    file + "\"}");
    }
  }
  const std::string no_subject =
      R"({"event":"message","text":"題名が入力されていません","caption":"","buttons":"ok"})";
  const std::string no_body =
      R"({"event":"message","text":"本文が入力されていません","caption":"","buttons":"ok"})";
  const std::string no_name =
      R"({"event":"message","text":"メニュー名が入力されていません","caption":"","buttons":"ok"})";
  const std::string duplicate =
      R"({"event":"message","text":"同じ項目が存在します","caption":"","buttons":"ok"})";
  const std::string question =
      R"({"event":"question","text":"メニューを削除してよろしいですか？","caption":null,)"
      R"("buttons":"yesno","answer":)";
  const std::vector<std::string> expected = {
      no_subject,
      no_body,
      no_name,
      "{\"event\":\"pick\",\"kind\":\"file\",\"path\":\"" + file + "\"}",
      R"({"event":"pick","kind":"folder","cancel":true})",
      duplicate,
      "{\"event\":\"open\",\"path\":\"" + file + "\"}",
      question + "\"no\"}",
      question + "\"yes\"}",
  };
  EXPECT_EQ(events, expected);
}
}  // namespace
}  // namespace vellumine::cli
