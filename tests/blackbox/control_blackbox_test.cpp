// The control driven as a user's tool drives it: scripts of method calls fed
// to the runner binary, checked by what it prints (dialogs, page writes,
// element markup) and by the data files it leaves behind.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "store/records.h"
#include "tests/support.h"

namespace vellumine {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

using testing::ReadAll;

struct Output {
  int status = -1;
  std::vector<json> lines;
  std::string err;

  // The lines with "event" equal to kind (or "op" when kind starts with "op:").
  std::vector<json> Events(const std::string& kind) const {
    std::vector<json> out;
    for (const json& line : lines) {
      if (line.value("event", "") == kind) out.push_back(line);
    }
    return out;
  }
  std::vector<json> Ops() const {
    std::vector<json> out;
    for (const json& line : lines) {
      if (line.contains("op")) out.push_back(line);
    }
    return out;
  }
  // Page writes into the element of this id, in order.
  std::vector<json> WritesTo(const std::string& id) const {
    std::vector<json> out;
    for (const json& line : lines) {
      if (line.contains("op") && line["id"] == id) out.push_back(line);
    }
    return out;
  }
  // The markup printed by the n-th "@html" of this id.
  std::string Html(const std::string& id, std::size_t n = 0) const {
    for (const json& line : lines) {
      if (line.value("event", "") == "html" && line["id"] == id) {
        if (n-- == 0) return line["html"].is_null() ? "<null>" : line["html"].get<std::string>();
      }
    }
    return "<none>";
  }
  // The (text, caption) of every message and question, in order.
  std::vector<std::string> Dialogs() const {
    std::vector<std::string> out;
    for (const json& line : lines) {
      const std::string kind = line.value("event", "");
      if (kind == "message" || kind == "question") out.push_back(line.dump());
    }
    return out;
  }
};

class Blackbox : public ::testing::Test {
 protected:
  fs::path Temp() const { return dir_.path(); }
  fs::path DataDir() const { return dir_.path() / "data"; }

  Output Script(const std::string& script, bool trace = false,
                std::vector<std::string> extra = {}) {
    std::ofstream(Temp() / "script.jsonl", std::ios::binary) << script;
    std::string command = "cd / && " + testing::ShellQuote(VELLUMINE_CLI) + " --data " +
                          testing::ShellQuote(DataDir().string()) + " --today 2005-03-09 --seed 1";
    if (trace) command += " --trace";
    // A plain page of our own, so these checks follow the control and not the
    // bundled page's design.
    if (std::find(extra.begin(), extra.end(), "--page") == extra.end()) {
      command +=
          " --page " + testing::ShellQuote(VELLUMINE_SOURCE_DIR "/tests/blackbox/plain_page.html");
    }
    for (const std::string& arg : extra) command += " " + testing::ShellQuote(arg);
    command += " " + testing::ShellQuote((Temp() / "script.jsonl").string());
    command += " >" + testing::ShellQuote((Temp() / "out").string()) + " 2>" +
               testing::ShellQuote((Temp() / "err").string());
    const int raw = std::system(command.c_str());
    Output out;
    out.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    out.err = ReadAll(Temp() / "err");
    std::istringstream lines(ReadAll(Temp() / "out"));
    for (std::string line; std::getline(lines, line);) {
      out.lines.push_back(json::parse(line, nullptr, false));
      EXPECT_FALSE(out.lines.back().is_discarded()) << line;
    }
    return out;
  }

  // A picture file below the temporary folder; its path as JSON text.
  std::string Picture(const std::string& name) {
    const fs::path path = Temp() / "pics" / name;
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << "\x89PNG picture " << name;
    return path.string();
  }

  std::vector<std::string> Records(const std::string& relative) const {
    const std::string bytes = ReadAll(DataDir() / relative);
    RecordReader reader(bytes);
    std::vector<std::string> out;
    std::u16string record;
    while (reader.Next(&record)) out.push_back(testing::U8(record));
    return out;
  }
  bool Exists(const std::string& relative) const { return fs::exists(DataDir() / relative); }
  std::string Bytes(const std::string& relative) const { return ReadAll(DataDir() / relative); }

  // The settings file of the wallpaper named in "wplist" at position i.
  std::string WallPaperFile(std::size_t i) const {
    const std::vector<std::string> list = Records("wplist");
    return "wp/" + list.at(2 * i + 1).substr(5);
  }

  testing::TempDir dir_;
};

std::string Line(const json& call) { return call.dump() + "\n"; }

const std::vector<std::string> kDefaultOptions = {
    "WeekDayColor=0",         "SatDayColor=1",   "SunDayColor=2",
    "ShadowColor=6",          "MenuTextColor=3", "CalenderFaceName=ＭＳ ゴシック",
    "CalenderFontSize=20",    "LinkItemNum=10",  "MemoItemNum=10",
    "FaceName=ＭＳ ゴシック", "FontSize=13"};

std::vector<std::string> Config(int wp_no, std::vector<std::string> windows = {}) {
  std::vector<std::string> out = {"WPNo=" + std::to_string(wp_no)};
  out.insert(out.end(), kDefaultOptions.begin(), kDefaultOptions.end());
  out.insert(out.end(), windows.begin(), windows.end());
  return out;
}

// The eight records of one window.
std::vector<std::string> Window(int n, const std::string& name, int x, int y, int visible,
                                int individual = 0, int color = 3,
                                const std::string& face = "ＭＳ ゴシック", int size = 13) {
  const std::string i = std::to_string(n);
  return {"WndName" + i + "=" + name,
          "WndPos.x" + i + "=" + std::to_string(x),
          "WndPos.y" + i + "=" + std::to_string(y),
          "Visibility" + i + "=" + std::to_string(visible),
          "WndDefault" + i + "=" + std::to_string(individual),
          "WndTextColor" + i + "=" + std::to_string(color),
          "WndFaceName" + i + "=" + face,
          "WndFontSize" + i + "=" + std::to_string(size)};
}

std::vector<std::string> Join(std::vector<std::vector<std::string>> parts) {
  std::vector<std::string> out;
  for (auto& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

const std::vector<std::string> kOptionIds = {
    "MenuTextColor",    "WeekDayColor", "SatDayColor", "SunDayColor", "ShadowColor", "CalenderFont",
    "CalenderFontSize", "LinkItemNum",  "MemoItemNum", "MenuFont",    "MenuFontSize"};

// ---------------------------------------------------------------------------
// Start-up

TEST_F(Blackbox, InitPageOnAnEmptyFolderRendersDefaultsAndWritesConfig) {
  std::string script = Line({"InitPage"});
  for (const std::string& id : kOptionIds) script += Line({"@html", id});
  script += Line({"@html", "wplist"});
  const Output out = Script(script, true);
  ASSERT_EQ(out.status, 0) << out.err;
  EXPECT_TRUE(out.Dialogs().empty());
  EXPECT_EQ(Records("config"), Config(-1));
  EXPECT_FALSE(Exists("wplist"));
  EXPECT_FALSE(Exists("wp"));

  // Markup writes (styles aside) in the order of the start-up steps.
  std::vector<std::string> order;
  for (const json& op : out.Ops()) {
    if (op["op"] != "style")
      order.push_back(op["op"].get<std::string>() + ":" + op["id"].get<std::string>());
  }
  std::vector<std::string> expected = {
      "innerHTML:calender", "outerHTML:wplist",    "innerHTML:memo",    "innerHTML:memofield",
      "innerHTML:link",     "innerHTML:linkfield", "innerHTML:calender"};
  for (const std::string& id : kOptionIds) expected.push_back("innerHTML:" + id);
  ASSERT_GE(order.size(), expected.size());
  EXPECT_EQ(std::vector<std::string>(order.begin(), order.begin() + expected.size()), expected);

  const std::vector<std::string> texts = {"文字色:Black",
                                          "平日色:平日既定色",
                                          "土曜色:土曜既定色",
                                          "日曜色:日曜既定色",
                                          "文字影色:White",
                                          "ＭＳ ゴシック",
                                          "20",
                                          "10",
                                          "10",
                                          "ＭＳ ゴシック",
                                          "13"};
  for (std::size_t i = 0; i < kOptionIds.size(); ++i) {
    bool found = false;
    for (const json& w : out.WritesTo(kOptionIds[i])) {
      found = true;
      EXPECT_EQ(w["value"], texts[i]) << kOptionIds[i];
    }
    EXPECT_TRUE(found) << kOptionIds[i];
  }
  EXPECT_EQ(out.Html("wplist"), "<select id=\"wplist\" size=\"8\"></select>");
  EXPECT_EQ(out.Html("MenuFontSize"), "<span id=\"MenuFontSize\">13</span>")
      << "the bundled page's option element";
}

TEST_F(Blackbox, InitPagePutsStoredWindowsBackAndDropsTheRest) {
  // A stored layout: two windows of the page, one that is gone, and a fixed
  // panel that must stay where the page puts it.
  ASSERT_EQ(Script(Line({"SetWndPos", "memo", 10, 20, 0}) + Line({"SetWndPos", "gone", 1, 2, 1}) +
                   Line({"SetWndPos", "option", 5, 6, 1}) + Line({"SetWndPos", "link", -7, 8, 1}))
                .status,
            0);
  EXPECT_EQ(Records("config"),
            Config(-1, Join({Window(0, "memo", 10, 20, 0), Window(1, "gone", 1, 2, 1),
                             Window(2, "option", 5, 6, 1), Window(3, "link", -7, 8, 1)})));

  const Output out = Script(Line({"InitPage"}), true);
  ASSERT_EQ(out.status, 0) << out.err;
  std::vector<json> layout;
  for (const json& op : out.Ops()) {
    if (op["op"] == "style" &&
        (op["prop"] == "left" || op["prop"] == "top" || op["prop"] == "visibility")) {
      layout.push_back(op);
    }
  }
  const std::vector<json> expected = {
      {{"op", "style"}, {"id", "memo"}, {"tag", "DIV"}, {"prop", "left"}, {"value", 10}},
      {{"op", "style"}, {"id", "memo"}, {"tag", "DIV"}, {"prop", "top"}, {"value", 20}},
      {{"op", "style"},
       {"id", "memo"},
       {"tag", "DIV"},
       {"prop", "visibility"},
       {"value", "hidden"}},
      {{"op", "style"}, {"id", "link"}, {"tag", "DIV"}, {"prop", "left"}, {"value", -7}},
      {{"op", "style"}, {"id", "link"}, {"tag", "DIV"}, {"prop", "top"}, {"value", 8}},
      {{"op", "style"},
       {"id", "link"},
       {"tag", "DIV"},
       {"prop", "visibility"},
       {"value", "visible"}},
  };
  // Once after the link windows are rebuilt, once by the start-up refresh.
  std::vector<json> twice = expected;
  twice.insert(twice.end(), expected.begin(), expected.end());
  EXPECT_EQ(json(layout).dump(), json(twice).dump());
  EXPECT_EQ(Records("config"),
            Config(-1, Join({Window(0, "memo", 10, 20, 0), Window(1, "link", -7, 8, 1)})));
}

// A page that offers almost nothing: only what it has is written, the first
// of two elements of one id, and ids compare case-sensitively.
TEST_F(Blackbox, MissingElementsOnlySilenceTheirOutput) {
  std::ofstream(Temp() / "page.html")
      << "<html><body><div id=\"x\"><pre>a</pre><span>b</span></div>"
         "<span id=\"MenuTextColor\">1</span><span id=\"MenuTextColor\">2</span>"
         "<span id=\"menutextcolor\">3</span><img id=\"bgimg\"><img id=\"bgimg\"></body></html>";
  const std::string a = Picture("a.png");
  const Output out =
      Script(Line({"InitPage"}) + Line({"AddWallPaper", a}) + Line({"SetBG", 0}), true,
             {"--page", (Temp() / "page.html").string(), "--out", (Temp() / "out.html").string()});
  ASSERT_EQ(out.status, 0) << out.err;
  const std::string body =
      R"([{"id":"x","op":"style","prop":"color","tag":"DIV","value":"Black"},)"
      R"({"id":"","op":"style","prop":"color","tag":"PRE","value":"Black"},)"
      R"({"id":"","op":"style","prop":"fontFamily","tag":"PRE","value":"ＭＳ ゴシック"},)"
      R"({"id":"","op":"style","prop":"fontSize","tag":"PRE","value":13},)"
      R"({"id":"MenuTextColor","op":"innerHTML","value":"文字色:Black"},)";
  EXPECT_EQ(json(out.lines).dump(), body +
                                        R"({"id":"bgimg","name":"src","op":"attribute","value":")" +
                                        a + R"("},)" + body.substr(1, body.size() - 2) + "]");
  const std::string page = ReadAll(Temp() / "out.html");
  EXPECT_NE(page.find("<span id=\"MenuTextColor\">2</span><span id=\"menutextcolor\">3</span>"
                      "<img id=\"bgimg\" src=\"" +
                      a + "\"><img id=\"bgimg\">"),
            std::string::npos)
      << page;
  EXPECT_EQ(Records("config"), Config(0));
}

// Hand-made "config" records: sign and junk after numbers, a key without an
// index, a window named only at index 3, unknown keys, a cut last record.
TEST_F(Blackbox, ConfigRecordsAreReadLeniently) {
  fs::create_directories(DataDir());
  std::string bytes = testing::EncodeRecords(
      {u"FontSize=+16", u"LinkItemNum=12px", u"SatDayColor=-3", u"Bogus=1", u"", u"WndPos.x=5",
       u"WndName0=memo", u"WndFaceName0=Face", u"WndName3=link", u"WndPos.y3=9", u"MemoItemNum=7"});
  bytes += std::string(
      "\x20\x00\x00\x00"
      "a\0b\0",
      8);  // promises 32 units
  std::ofstream(DataDir() / "config", std::ios::binary) << bytes;
  const Output out = Script(Line({"InitPage"}) + Line({"@html", "SatDayColor"}));
  ASSERT_EQ(out.status, 0) << out.err;
  // The windows skipped over by index 3 name nothing on the page and go.
  EXPECT_EQ(Records("config"),
            Join({{"WPNo=-1", "WeekDayColor=0", "SatDayColor=-3", "SunDayColor=2", "ShadowColor=6",
                   "MenuTextColor=3", "CalenderFaceName=ＭＳ ゴシック", "CalenderFontSize=20",
                   "LinkItemNum=12", "MemoItemNum=7", "FaceName=ＭＳ ゴシック", "FontSize=16"},
                  Window(0, "memo", 5, 0, 0, 0, 3, "Face", 16),
                  Window(1, "link", 0, 9, 0, 0, 3, "ＭＳ ゴシック", 16)}));
}

TEST_F(Blackbox, GarbageFilesAreReadWithoutHarm) {
  fs::create_directories(DataDir());
  std::string noise;
  std::uint32_t x = 12345;
  for (int i = 0; i < 4000; ++i) {
    x = x * 1103515245u + 12345u;
    noise += static_cast<char>(x >> 24);
  }
  for (const char* name : {"config", "wplist", "memolist", "link"}) {
    std::ofstream(DataDir() / name, std::ios::binary) << noise;
  }
  const Output out = Script(Line({"InitPage"}) + Line({"SetBG_Random"}) +
                            Line({"ChangeOption", "MenuTextColor", 1}));
  EXPECT_EQ(out.status, 0) << out.err;
  EXPECT_TRUE(Exists("config"));
}

// ---------------------------------------------------------------------------
// Window placement

TEST_F(Blackbox, SetWndPosAppendsThenMovesAndMirrorsIntoTheCurrentWallPaper) {
  const std::string a = Picture("a.png");
  const Output out =
      Script(Line({"InitPage"}) + Line({"AddWallPaper", a}) + Line({"SetBG", 0}) +
                 Line({"SetWndPos", "memo", 10, 20, 1}) + Line({"SetWndPos", "link", 30, 40, 0}) +
                 Line({"SetWndPos", "memo", 11, 21, 0}),
             true);
  ASSERT_EQ(out.status, 0) << out.err;
  const auto windows = Join({Window(0, "memo", 11, 21, 0), Window(1, "link", 30, 40, 0)});
  EXPECT_EQ(Records("config"), Config(0, windows));
  std::vector<std::string> wp = {"[" + a + "]",       "WeekDayColor=0",      "SatDayColor=1",
                                 "SunDayColor=2",     "ShadowColor=6",       "MenuTextColor=3",
                                 "CalenderFaceName=", "CalenderFontSize=-1", "LinkItemNum=-1",
                                 "MemoItemNum=-1",    "FaceName=",           "FontSize=-1"};
  wp.insert(wp.end(), windows.begin(), windows.end());
  EXPECT_EQ(Records(WallPaperFile(0)), wp);
}

// ---------------------------------------------------------------------------
// Option commands

// Options that change by steps: wraps, accepted limits and refusals that leave
// every file alone.
TEST_F(Blackbox, ChangeOptionStepsWrapsAndRefuses) {
  ASSERT_EQ(Script(Line({"InitPage"})).status, 0);
  const std::string start = Bytes("config");
  struct Refused {
    const char* name;
    int value;
  };
  // Each refused alone from the defaults: nothing is written or shown.
  for (const Refused& r :
       {Refused{"CalenderFontSize", 11}, Refused{"CalenderFontSize", -13},
        Refused{"MenuFontSize", 18}, Refused{"MenuFontSize", -6}, Refused{"LinkItemNum", -7},
        Refused{"MemoItemNum", -7}, Refused{"MemoItemNum", -100}}) {
    fs::remove(DataDir() / "config");
    const Output out = Script(Line({"ChangeOption", r.name, r.value}), true);
    EXPECT_EQ(out.status, 0);
    EXPECT_TRUE(out.lines.empty()) << r.name << " " << r.value;
    EXPECT_FALSE(Exists("config")) << r.name << " " << r.value;
  }
  // A cancelled font dialog changes nothing either.
  const Output cancelled = Script(Line({"ChangeOption", "MenuFont", 0}) + Line({"@font", nullptr}) +
                                      Line({"ChangeOption", "CalenderFont", 0}),
                                  true);
  EXPECT_EQ(json(cancelled.lines).dump(),
            R"([{"cancel":true,"event":"font"},{"cancel":true,"event":"font"}])");
  EXPECT_FALSE(Exists("config"));

  // Accepted: the last steps to the limits, colour wraps both ways, unknown
  // and null names (which only save).
  const Output out = Script(
      Line({"ChangeOption", "CalenderFontSize", 10}) + Line({"ChangeOption", "MenuFontSize", -5}) +
          Line({"ChangeOption", "LinkItemNum", -6}) + Line({"ChangeOption", "MemoItemNum", 5}) +
          Line({"ChangeOption", "MenuTextColor", 15}) + Line({"ChangeOption", "MenuTextColor", 1}) +
          Line({"ChangeOption", "WeekDayColor", -1}) + Line({"ChangeOption", "SatDayColor", 37}) +
          Line({"ChangeOption", "ShadowColor", 13}) + Line({"ChangeOption", "menutextcolor", 1}) +
          Line({"ChangeOption", nullptr, 1}) + Line({"@html", "MenuTextColor"}) +
          Line({"@html", "WeekDayColor"}) + Line({"@html", "SatDayColor"}) +
          Line({"@html", "ShadowColor"}) + Line({"@html", "LinkItemNum"}),
      true);
  ASSERT_EQ(out.status, 0) << out.err;
  EXPECT_TRUE(out.Dialogs().empty());
  EXPECT_EQ(Records("config"),
            (std::vector<std::string>{
                "WPNo=-1", "WeekDayColor=18", "SatDayColor=0", "SunDayColor=2", "ShadowColor=0",
                "MenuTextColor=0", "CalenderFaceName=ＭＳ ゴシック", "CalenderFontSize=30",
                "LinkItemNum=4", "MemoItemNum=15", "FaceName=ＭＳ ゴシック", "FontSize=8"}));
  auto span = [](const std::string& id, const std::string& text) {
    return "<span id=\"" + id + "\" onmouseup=\"Skerrow.ChangeOption(document,'" + id + "',1)\">" +
           text + "</span>";
  };
  EXPECT_EQ(out.Html("MenuTextColor"), span("MenuTextColor", "文字色:平日既定色"));
  EXPECT_EQ(out.Html("WeekDayColor"), span("WeekDayColor", "平日色:Aqua"));
  EXPECT_EQ(out.Html("SatDayColor"), span("SatDayColor", "土曜色:平日既定色"));
  EXPECT_EQ(out.Html("ShadowColor"), span("ShadowColor", "文字影色:平日既定色"));
  EXPECT_EQ(out.Html("LinkItemNum"), "<span id=\"LinkItemNum\">4</span>");
  // Every accepted call and the unknown and null names rewrote the texts.
  EXPECT_EQ(out.WritesTo("MenuFontSize").size(), 11u);
  EXPECT_NE(Bytes("config"), start);
}

TEST_F(Blackbox, FontDialogSetsFaceAndSizeAndRestyles) {
  const Output out =
      Script(Line({"@font", "Mincho", 16}) + Line({"ChangeOption", "MenuFont", 0}), true);
  ASSERT_EQ(out.status, 0) << out.err;
  ASSERT_FALSE(out.lines.empty());
  EXPECT_EQ(out.lines[0].dump(), R"({"event":"font","face":"Mincho","size":16})");
  // The body is restyled with the new face and size, sizes as numbers.
  bool pre_styled = false;
  for (const json& op : out.Ops()) {
    if (op["op"] == "style" && op["tag"] == "PRE" && op["prop"] == "fontSize") {
      EXPECT_EQ(op["value"], 16);
      pre_styled = true;
    }
    if (op["op"] == "style" && op["tag"] == "PRE" && op["prop"] == "fontFamily" && op["id"] == "") {
      EXPECT_TRUE(op["value"] == "Mincho" || op["value"] == "ＭＳ ゴシック");
    }
  }
  EXPECT_TRUE(pre_styled);
  const std::vector<std::string> config = Records("config");
  ASSERT_EQ(config.size(), 12u);
  EXPECT_EQ(config[10], "FaceName=Mincho");
  EXPECT_EQ(config[11], "FontSize=16");
  EXPECT_EQ(config[6], "CalenderFaceName=ＭＳ ゴシック");
}

TEST_F(Blackbox, ChangeWindowOptionMakesARecordFromThePagePosition) {
  const std::string a = Picture("a.png");
  const Output out =
      Script(Line({"InitPage"}) + Line({"AddWallPaper", a}) + Line({"SetBG", 0}) +
                 Line({"ChangeWindowOption", "schedule", "ItemNum", -6}) +  // 10 -> 4
                 Line({"ChangeWindowOption", "schedule", "ItemNum", -1}) +  // refused
                 Line({"ChangeWindowOption", "schedule", "TextColor", -4}) +
                 Line({"ChangeWindowOption", "schedule", "Def", 3}) +  // a beginning of "Default"
                 Line({"ChangeWindowOption", "schedule", "FontSize", 17}) +
                 Line({"ChangeWindowOption", "schedule", "FontSize", 18}) +  // refused
                 Line({"ChangeWindowOption", "nowhere", "TextColor", 1}) +
                 Line({"ChangeWindowOption", "memo", nullptr, 1}),
             true);
  ASSERT_EQ(out.status, 0) << out.err;
  // "schedule" sits at 200,320 on the bundled page; "memo" at 480,40.
  const auto windows = Join({Window(0, "schedule", 200, 320, 1, 1, 18, "ＭＳ ゴシック", 30),
                             Window(1, "memo", 480, 40, 1)});
  EXPECT_EQ(Records("config"), Config(0, windows));
  std::vector<std::string> wp = Records(WallPaperFile(0));
  ASSERT_GE(wp.size(), 12u);
  EXPECT_EQ(std::vector<std::string>(wp.begin() + 12, wp.end()), windows);
  // Once switched to its own style, the window's PREs take it.
  bool own = false;
  for (const json& op : out.Ops()) {
    if (op["op"] == "style" && op["prop"] == "color" && op["value"] == "Aqua") own = true;
  }
  EXPECT_TRUE(own);
}

// ---------------------------------------------------------------------------
// Wallpapers

std::string Message(const std::string& text) {
  return json({{"event", "message"}, {"text", text}, {"caption", ""}, {"buttons", "ok"}}).dump();
}

TEST_F(Blackbox, AddWallPaperRefusesAndListsFileNames) {
  const std::string a = Picture("a.png"), b = Picture("b.png"), c = Picture("c.png");
  const std::string folder = (Temp() / "pics").string();
  std::string upper = a;
  upper[upper.size() - 5] = 'A';  // ".../A.png": another path, no file
  const Output out = Script(
      Line({"InitPage"}) + Line({"AddWallPaper", a}) + Line({"AddWallPaper", a}) +
          Line({"AddWallPaper", folder + "/*.png"}) + Line({"AddWallPaper", folder + "/?.png"}) +
          Line({"AddWallPaper", folder}) + Line({"AddWallPaper", folder + "/none.png"}) +
          Line({"AddWallPaper", ""}) + Line({"AddWallPaper", nullptr}) +
          Line({"AddWallPaper", upper}) + Line({"AddWallPaper", b}) + Line({"AddWallPaper", c}) +
          Line({"@html", "wplist"}) + Line({"@html", "bgimg"}),
      true);
  ASSERT_EQ(out.status, 0) << out.err;
  const std::string none = Message("ファイルが存在しません");
  EXPECT_EQ(out.Dialogs(), (std::vector<std::string>{Message("同じ壁紙があります"), none, none,
                                                     none, none, none, none}));
  EXPECT_EQ(out.Html("wplist"),
            "<select id=\"wplist\" size=\"8\"><option value=\"0\">a.png</option><option "
            "value=\"1\">b.png</option><option value=\"2\">c.png</option></select>");
  // Registering does not apply: the page's own picture element is untouched.
  EXPECT_TRUE(out.WritesTo("bgimg").empty());
  EXPECT_EQ(out.Html("bgimg"), "<img id=\"bgimg\" src=\"\" alt=\"\">");
  const std::vector<std::string> list = Records("wplist");
  ASSERT_EQ(list.size(), 6u);
  EXPECT_EQ(list[0], "[" + a + "]");
  EXPECT_EQ(list[2], "[" + b + "]");
  EXPECT_EQ(list[4], "[" + c + "]");
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(list[2 * i + 1].size(), 21u);
    EXPECT_EQ(list[2 * i + 1].rfind("Hash=", 0), 0u);
    // A new wallpaper takes the page's colours and leaves the rest unset.
    EXPECT_EQ(Records(WallPaperFile(i)),
              (std::vector<std::string>{
                  "[" + list[2 * i].substr(1), "WeekDayColor=0", "SatDayColor=1", "SunDayColor=2",
                  "ShadowColor=6", "MenuTextColor=3", "CalenderFaceName=", "CalenderFontSize=-1",
                  "LinkItemNum=-1", "MemoItemNum=-1", "FaceName=", "FontSize=-1"}));
  }
  EXPECT_EQ(Records("config"), Config(-1));
}

// The key's first half is the path's hash; the second is the first draw
// of the seeded generator, 1791095845 for seed 1.
TEST_F(Blackbox, WallPaperKeysFollowThePathHashAndTheSeed) {
  const std::string path = Picture("k.png");
  ASSERT_EQ(Script(Line({"AddWallPaper", path})).status, 0);
  std::uint32_t h = 0;
  const std::u16string wide = Utf8ToUtf16(path);
  for (char16_t u : wide) h = h * 1429u + u;
  char hex[17];
  std::snprintf(hex, sizeof hex, "%08x%08x", h, 1791095845u);
  EXPECT_EQ(Records("wplist"),
            (std::vector<std::string>{"[" + path + "]", std::string("Hash=") + hex}));
  EXPECT_TRUE(Exists(std::string("wp/") + hex));
}

TEST_F(Blackbox, SetBGAppliesTheWallPapersOwnOptionsAndLayout) {
  const std::string a = Picture("a.png"), b = Picture("b.png");
  ASSERT_EQ(
      Script(Line({"InitPage"}) + Line({"AddWallPaper", a}) + Line({"AddWallPaper", b})).status, 0);
  // Hand-edit b's settings: its own menu size, calendar face and a window.
  std::vector<std::u16string> own = {Utf8ToUtf16("[" + b + "]"),
                                     u"WeekDayColor=-1",
                                     u"MenuTextColor=8",
                                     u"CalenderFaceName=Own",
                                     u"FontSize=16",
                                     u"MemoItemNum=-1",
                                     u"WndName0=memo",
                                     u"WndPos.x0=5",
                                     u"WndPos.y0=6",
                                     u"Visibility0=0"};
  std::ofstream(DataDir() / WallPaperFile(1), std::ios::binary) << testing::EncodeRecords(own);
  const Output out = Script(Line({"InitPage"}) + Line({"SetBG", 1}) + Line({"@html", "bgimg"}) +
                                Line({"@html", "MenuTextColor"}),
                            true);
  ASSERT_EQ(out.status, 0) << out.err;
  EXPECT_EQ(out.Html("bgimg"), "<img id=\"bgimg\" src=\"" + b + "\" alt=\"\">");
  const auto src = out.WritesTo("bgimg");
  ASSERT_EQ(src.size(), 1u);
  EXPECT_EQ(src[0].dump(),
            json({{"op", "attribute"}, {"id", "bgimg"}, {"name", "src"}, {"value", b}}).dump());
  // The window takes its place; the defaults for a record read from the file
  // are the options read before it, so its colour is the page's 3.
  const std::vector<std::string> expected_config = {
      "WPNo=1",         "WeekDayColor=0",  "SatDayColor=1",          "SunDayColor=2",
      "ShadowColor=6",  "MenuTextColor=8", "CalenderFaceName=Own",   "CalenderFontSize=20",
      "LinkItemNum=10", "MemoItemNum=10",  "FaceName=ＭＳ ゴシック", "FontSize=16"};
  EXPECT_EQ(Records("config"), Join({expected_config, Window(0, "memo", 5, 6, 0)}));
  bool moved = false;
  for (const json& op : out.Ops()) {
    if (op["id"] == "memo" && op["op"] == "style" && op["prop"] == "left") {
      EXPECT_EQ(op["value"], 5);
      moved = true;
    }
  }
  EXPECT_TRUE(moved);
  EXPECT_NE(out.Html("MenuTextColor").find(">文字色:Red</span>"), std::string::npos);
}

TEST_F(Blackbox, RemovedWallPaperComesBackWithItsSettings) {
  const std::string a = Picture("a.png"), b = Picture("b.png");
  ASSERT_EQ(Script(Line({"InitPage"}) + Line({"AddWallPaper", a}) + Line({"AddWallPaper", b}) +
                   Line({"SetBG", 0}) + Line({"SetWndPos", "memo", 7, 8, 1}))
                .status,
            0);
  const std::string key = Records("wplist")[1];
  const std::string file = WallPaperFile(0);
  const std::string settings = Bytes(file);
  // Removing the current one draws b; a's file stays.
  const Output removed = Script(Line({"InitPage"}) + Line({"RemoveWallPaper", 0}), true);
  ASSERT_EQ(removed.status, 0);
  EXPECT_EQ(Records("wplist"), (std::vector<std::string>{"[" + b + "]", Records("wplist")[1]}));
  EXPECT_EQ(Records("config")[0], "WPNo=0");
  EXPECT_EQ(Bytes(file), settings);
  const Output again = Script(Line({"InitPage"}) + Line({"AddWallPaper", a}) + Line({"SetBG", 1}));
  ASSERT_EQ(again.status, 0);
  EXPECT_EQ(Records("wplist")[3], key);
  const std::vector<std::string> config = Records("config");
  EXPECT_EQ(std::vector<std::string>(config.begin() + 12, config.end()),
            Window(0, "memo", 7, 8, 1));
}

TEST_F(Blackbox, RemovingTheOnlyCurrentWallPaperLeavesNoneCurrent) {
  const std::string a = Picture("a.png"), b = Picture("b.png");
  const Output out = Script(Line({"InitPage"}) + Line({"AddWallPaper", a}) + Line({"SetBG", 0}) +
                                Line({"RemoveWallPaper", 0}) + Line({"RemoveWallPaper", 0}) +
                                Line({"AddWallPaper", b}) + Line({"SetWndPos", "memo", 1, 1, 1}),
                            true);
  ASSERT_EQ(out.status, 0) << out.err;
  // The later wallpaper was neither made current nor given the page's layout.
  const auto windows = Window(0, "memo", 1, 1, 1);
  EXPECT_EQ(Records("config"), Config(-1, windows));
  EXPECT_EQ(Records(WallPaperFile(0)).size(), 12u);
  // Drawn at random from a table of one, it has no layout of its own yet: it
  // takes the one shown, which stays in "config" and becomes its own.
  const Output drawn =
      Script(Line({"InitPage"}) + Line({"SetBG_Random"}) + Line({"@html", "bgimg"}));
  EXPECT_EQ(drawn.Html("bgimg"), "<img id=\"bgimg\" src=\"" + b + "\" alt=\"\">");
  EXPECT_EQ(Records("config"), Config(0, windows));
  const std::vector<std::string> own = Records(WallPaperFile(0));
  ASSERT_EQ(own.size(), 12u + windows.size());
  EXPECT_EQ(std::vector<std::string>(own.begin() + 12, own.end()), windows);
}

// The seeded generator's draws name the files and choose the background:
// one draw per new wallpaper key, one per random choice.
TEST_F(Blackbox, RandomChoicesFollowTheSeededGenerator) {
  const std::vector<std::string> pics = {Picture("a.png"), Picture("b.png"), Picture("c.png")};
  std::string script = Line({"InitPage"});
  for (const std::string& p : pics) script += Line({"AddWallPaper", p});
  for (int i = 0; i < 6; ++i) script += Line({"SetBG_Random"});
  const Output out = Script(script, true);
  ASSERT_EQ(out.status, 0) << out.err;
  std::mt19937 reference(1);
  const std::vector<std::string> list = Records("wplist");
  for (std::size_t i = 0; i < 3; ++i) {
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08x", static_cast<unsigned>(reference()));
    EXPECT_EQ(list.at(2 * i + 1).substr(13), hex);
  }
  const auto src = out.WritesTo("bgimg");
  ASSERT_EQ(src.size(), 6u);
  for (const json& w : src) {
    const auto n = static_cast<std::size_t>(reference() / 4294967296.0 * 3);
    EXPECT_EQ(w["value"], pics[n]);
  }
}

TEST_F(Blackbox, RemovingOneBeforeTheLastCurrentWallPaperDrawsAnother) {
  const std::string a = Picture("a.png"), b = Picture("b.png"), c = Picture("c.png");
  const Output out =
      Script(Line({"InitPage"}) + Line({"AddWallPaper", a}) + Line({"AddWallPaper", b}) +
                 Line({"AddWallPaper", c}) + Line({"SetBG", 2}) + Line({"@html", "bgimg"}) +
                 Line({"RemoveWallPaper", 0}) + Line({"@html", "bgimg"}),
             true);
  ASSERT_EQ(out.status, 0) << out.err;
  EXPECT_EQ(out.Html("bgimg", 0), "<img id=\"bgimg\" src=\"" + c + "\" alt=\"\">");
  // The remaining two are b and c; the index 2 is not below the count, so the
  // background is applied anew from one of them.
  std::vector<json> src;
  for (const json& w : out.WritesTo("bgimg")) src.push_back(w["value"]);
  ASSERT_EQ(src.size(), 2u);
  const std::vector<std::string> config = Records("config");
  ASSERT_FALSE(config.empty());
  EXPECT_TRUE(config[0] == "WPNo=0" || config[0] == "WPNo=1") << config[0];
  EXPECT_EQ(src[1], config[0] == "WPNo=0" ? b : c);
  EXPECT_EQ(Records("wplist").size(), 4u);
}

}  // namespace
}  // namespace vellumine
