// Link menus seen from outside the program: the menu list, menu windows and
// edit list written into the page, paging, the pickers and launches, the
// questions and messages, and "link" and the menu files on disk.
#include <algorithm>
#include <string>
#include <vector>

#include "tests/blackbox/organiser_runner.h"

namespace vellumine::blackbox {
namespace {

using Strings = std::vector<std::string>;

const std::string kListMove = "<pre onmouseup=movewnd(\"link\")>移動</pre>";
const std::string kListAdd =
    "<pre onmouseup=\"linkfrm.linkmenunum.value=-1;Skerrow.ChangeLinkMenu(document,-1);"
    "linkfrm.linkmenuname.value='';show('linkinput');\">リンクメニューの追加</pre>";

std::string ListLine(const std::string& key, const std::string& name) {
  return "<pre onmouseup=\"change('link" + key + "')\">" + name + "</pre>";
}
std::string Container(const std::string& key) {
  return "<div id=\"link" + key +
         "\" style=\"position:absolute;left:65%;top:80%;margin:0px;border:0px;"
         "visibility:visible\">test</div>";
}
std::string OpenLine(int menu, int link, const std::string& shown) {
  return "<pre onmouseup=Skerrow.Open(" + std::to_string(menu) + "," + std::to_string(link) + ")>" +
         shown + "</pre>";
}
std::string PageLine(const char* label, int menu, int page) {
  return "<pre onmouseup=Skerrow.ChangeLinkPage(document," + std::to_string(menu) + "," +
         std::to_string(page) + ")>" + label + "</pre>";
}
// A menu window's content: name line, the given lines, change line, then
// the frame without a close line.
std::string Window(const std::string& key, const std::string& name, int menu,
                   const std::string& lines) {
  const std::string n = "link" + key;
  const std::string m = std::to_string(menu);
  const std::string body =
      "<pre id=\"menuname" + key + "\"onmouseup=movewnd(\"" + n + "\")>" + name + "</pre>" + lines +
      "<pre onmouseup=\"linkfrm.linkmenunum.value=" + m + ";Skerrow.ChangeLinkMenu(document," + m +
      ");trinputfield('menuname" + key + "','linkmenuname');show('linkinput')\">変更</pre>";
  return WindowFrame(n, body, false);
}
std::string LinkList(const Strings& paths) {
  std::string out = "<select id=\"linklist\" size=\"8\">";
  for (std::size_t k = 0; k < paths.size(); ++k) {
    out += "<option value=\"" + std::to_string(k) + "\">" + paths[k] + "</option>";
  }
  return out + "</select>";
}

const json kNoFile = {{"event", "message"},
                      {"text", "ファイルまたはフォルダが存在しません"},
                      {"caption", ""},
                      {"buttons", "ok"}};
const json kSame = {
    {"event", "message"}, {"text", "同じ項目が存在します"}, {"caption", ""}, {"buttons", "ok"}};

json Question(const char* answer) {
  return {{"event", "question"},
          {"text", "メニューを削除してよろしいですか？"},
          {"caption", nullptr},
          {"buttons", "yesno"},
          {"answer", answer}};
}

class LinkBlackbox : public Runner {
 protected:
  // The key of the menu at a position, from the index file.
  std::string KeyAt(std::size_t position) {
    const Strings index = Records("link");
    EXPECT_GT(index.size(), 3 * position + 1);
    if (index.size() <= 3 * position + 1) return "";
    return index[3 * position + 1].substr(5);
  }
};

TEST_F(LinkBlackbox, NoMenusGiveTheMoveAndAddLinesAndAnEmptyField) {
  const RunResult run = Run({Line("InitPage"), Line("ChangeLinkMenu", -1)});
  EXPECT_EQ(run.Last("link"), kListMove + kListAdd);
  EXPECT_EQ(run.Values("linkfield"), Strings{""});
  EXPECT_EQ(run.Last("linklist"), LinkList({}));
  EXPECT_FALSE(Exists("link"));
}

TEST_F(LinkBlackbox, MakeLinkMenuCreatesFilesSetsTheFormAndRendersInOrder) {
  const RunResult run = Run({Line("MakeLinkMenu", nullptr, -1), Line("MakeLinkMenu", "A<B", 57)});
  EXPECT_EQ(run.Events(), (std::vector<json>{{{"event", "message"},
                                              {"text", "メニュー名が入力されていません"},
                                              {"caption", ""},
                                              {"buttons", "ok"}}}));
  const std::string key = KeyAt(0);
  ASSERT_EQ(key.size(), 16u);
  // The first half hashes the name as typed, not its escaped form.
  EXPECT_EQ(key.substr(0, 8), HashHex(u"A<B"));
  EXPECT_EQ(Bytes("link"), Runner::Encode("[A&lt;B]") + Runner::Encode("Hash=" + key) +
                               Runner::Encode("PageNum=0"));
  EXPECT_TRUE(Exists("linkmenu/" + key));
  EXPECT_EQ(Bytes("linkmenu/" + key), "");

  const std::vector<json> writes = run.Writes();
  ASSERT_EQ(writes.size(), 4u);
  EXPECT_EQ(writes[0],
            json({{"op", "attribute"}, {"id", "linkmenunum"}, {"name", "value"}, {"value", 0}}));
  EXPECT_EQ(writes[1]["id"], "link");
  EXPECT_EQ(writes[1]["value"], kListMove + ListLine(key, "A&lt;B") + kListAdd);
  EXPECT_EQ(writes[2]["id"], "linkfield");
  EXPECT_EQ(writes[2]["value"], Container(key));
  EXPECT_EQ(writes[3]["id"], "link" + key);
  EXPECT_EQ(writes[3]["value"], Window(key, "A&lt;B", 0, ""));
}

TEST_F(LinkBlackbox, RenamingKeepsKeyLinksAndFileAndANewMenuGoesLast) {
  const std::string file = MakeFile("a.txt");
  Run({Line("MakeLinkMenu", "Docs", -1), Line("AddLink", file, 0), Line("MakeLinkMenu", "X", -1),
       Line("MakeLinkMenu", "Y", -1)});
  const std::string docs = KeyAt(0);
  const RunResult run = Run({Line("InitPage"), Line("MakeLinkMenu", "A&B", 0),
                             Line("MakeLinkMenu", "Tools", -1), Line("@html", "linkmenunum")});
  EXPECT_EQ(KeyAt(0), docs);
  const std::string tools = KeyAt(3);
  EXPECT_EQ(tools.substr(0, 8), HashHex(u"Tools"));
  EXPECT_EQ(Records("link"), (Strings{"[A&amp;B]", "Hash=" + docs, "PageNum=0", "[X]",
                                      "Hash=" + KeyAt(1), "PageNum=0", "[Y]", "Hash=" + KeyAt(2),
                                      "PageNum=0", "[Tools]", "Hash=" + tools, "PageNum=0"}));
  EXPECT_EQ(Records("linkmenu/" + docs), Strings{"[" + file + "]"});
  EXPECT_EQ(Bytes("linkmenu/" + tools), "");
  const std::vector<json> events = run.Events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0]["html"],
            "<input type=\"hidden\" id=\"linkmenunum\" name=\"linkmenunum\" value=\"3\">");
  EXPECT_EQ(run.Last("link" + docs), Window(docs, "A&amp;B", 0, OpenLine(0, 0, "a.txt")));
}

TEST_F(LinkBlackbox, PathChecksDuplicatesAndDrives) {
  const std::string folder = MakeFolder("Docs");
  const std::string report = MakeFile("Docs/report.txt");
  const RunResult run = Run({
      Line("MakeLinkMenu", "M", -1),
      Line("AddLink", folder + "/", 0),                     // stored without the separator
      Line("AddLink", folder, 0),                           // duplicate
      Line("AddLink", Temp().string() + "/files/docs", 0),  // other case: nothing there
      Line("AddLink", Temp().string() + "/files/Docs/*.txt", 0),
      Line("AddLink", Temp().string() + "/files/Docs/report.tx?", 0), Line("AddLink", "", 0),
      Line("AddLink", "E:\\", 0),                               // a drive root is the drive
      Line("AddLink", "e:", 0),                                 // another drive, by case
      Line("AddLink", "E:", 0),                                 // duplicate drive
      Line("AddLink", report, 0), Line("AddLink", nullptr, 0),  // silent
      Line("AddLink", report, 1),                               // no such menu: silent
      Line("ChangeLink", 3, report, 0),                         // its own path: accepted
      Line("ChangeLink", 3, folder, 0),                         // another link's path
      Line("ChangeLink", 4, folder, 0),                         // no such link: silent
      Line("ChangeLink", 0, nullptr, 0),                        // silent
  });
  EXPECT_EQ(run.Events(),
            (std::vector<json>{kSame, kNoFile, kNoFile, kNoFile, kNoFile, kSame, kSame}));
  const std::string key = KeyAt(0);
  EXPECT_EQ(Records("linkmenu/" + key),
            (Strings{"[" + folder + "]", "[E:]", "[e:]", "[" + report + "]"}));
  EXPECT_EQ(run.Last("linklist"), LinkList({folder, "E:", "e:", report}));
  EXPECT_EQ(run.Last("link" + key),
            Window(key, "M", 0,
                   OpenLine(0, 0, "Docs") + OpenLine(0, 1, "E:") + OpenLine(0, 2, "e:") +
                       OpenLine(0, 3, "report.txt")));
}

TEST_F(LinkBlackbox, EditingCommandsRenderInTheirOwnOrder) {
  const std::string x = MakeFile("X"), y = MakeFile("Y"), z = MakeFile("Z");
  Run({Line("MakeLinkMenu", "M", -1), Line("AddLink", x, 0), Line("AddLink", y, 0),
       Line("AddLink", z, 0)});
  const std::string key = KeyAt(0);
  const RunResult permuted = Run({Line("InitPage"), "# commands", Line("PermuteLink", 0, 2, 0)});
  EXPECT_EQ(Records("linkmenu/" + key), (Strings{"[" + z + "]", "[" + y + "]", "[" + x + "]"}));
  // PermuteLink refreshes the edit list before the windows; the others after.
  Strings order;
  bool started = false;
  for (const json& w : permuted.Writes()) {
    if (w["id"] == "schdllstsubmit") {
      started = true;
      continue;
    }
    if (started && w["op"] != "style") order.push_back(w["id"]);
  }
  EXPECT_EQ(order, (Strings{"linklist", "link", "linkfield", "link" + key}));

  const RunResult removed = Run({Line("InitPage"), Line("RemoveLink", 0, 0),
                                 Line("RemoveLink", 2, 0), Line("PermuteLink", 0, 2, 0)});
  EXPECT_EQ(Records("linkmenu/" + key), (Strings{"[" + y + "]", "[" + x + "]"}));
  const std::vector<json> writes = removed.Writes();
  std::vector<std::string> tail;
  for (auto it = writes.rbegin(); it != writes.rend() && tail.size() < 4; ++it) {
    if ((*it)["op"] != "style") tail.insert(tail.begin(), (*it)["id"].get<std::string>());
  }
  EXPECT_EQ(tail, (Strings{"link", "linkfield", "link" + key, "linklist"}));
  EXPECT_EQ(removed.Last("linklist"), LinkList({y, x}));
}

TEST_F(LinkBlackbox, TwentyFiveLinksPageByTenAndOpenReportsLaunches) {
  Strings script = {Line("MakeLinkMenu", "Zero", -1), Line("MakeLinkMenu", "Many", -1)};
  Strings paths;
  for (int i = 0; i < 25; ++i) {
    paths.push_back(MakeFile("f" + std::to_string(i)));
    script.push_back(Line("AddLink", paths.back(), 1));
  }
  Run(script);
  const std::string key = KeyAt(1);
  auto opens = [&](int from, int to) {
    std::string out;
    for (int k = from; k < to; ++k) out += OpenLine(1, k, "f" + std::to_string(k));
    return out;
  };
  const RunResult run =
      Run({Line("InitPage"), Line("ChangeLinkPage", 1, 1), Line("ChangeLinkPage", 1, 2),
           Line("ChangeLinkPage", 1, 3), Line("ChangeLinkPage", 1, -1),
           Line("ChangeLinkPage", 2, 0), Line("Open", 1, 24), Line("Open", 1, 25),
           Line("Open", 1, -1), Line("Open", 2, 0), Line("Open", 0, 0), Line("Open", 1, 0)});
  const Strings shown = run.Values("link" + key);
  ASSERT_EQ(shown.size(), 3u);  // refused page changes render nothing
  EXPECT_EQ(shown[0], Window(key, "Many", 1, opens(0, 10) + PageLine("次のページ", 1, 1)));
  EXPECT_EQ(shown[1],
            Window(key, "Many", 1,
                   opens(10, 20) + PageLine("前のページ", 1, 0) + PageLine("次のページ", 1, 2)));
  EXPECT_EQ(shown[2], Window(key, "Many", 1, opens(20, 25) + PageLine("前のページ", 1, 1)));
  EXPECT_EQ(run.Events(), (std::vector<json>{{{"event", "open"}, {"path", paths[24]}},
                                             {{"event", "open"}, {"path", paths[0]}}}));
  // The page is kept in memory only until the index is written again.
  EXPECT_EQ(Records("link")[5], "PageNum=0");
  Run({Line("InitPage"), Line("ChangeLinkPage", 1, 2), Line("MakeLinkMenu", "Many", 1)});
  EXPECT_EQ(Records("link")[5], "PageNum=2");
  const RunResult again = Run({Line("InitPage"), Line("ChangeOption", "LinkItemNum", 10)});
  // Twenty a page: page 2 no longer exists and page 1 is shown.
  EXPECT_EQ(again.Last("link" + key),
            Window(key, "Many", 1, opens(20, 25) + PageLine("前のページ", 1, 0)));
}

TEST_F(LinkBlackbox, RemoveLinkMenuAsksWithTheDefaultCaptionAndDeletesOnlyOnYes) {
  Run({Line("MakeLinkMenu", "A", -1), Line("MakeLinkMenu", "B", -1),
       Line("MakeLinkMenu", "C", -1)});
  const std::string a = KeyAt(0), b = KeyAt(1), c = KeyAt(2);
  Run({Line("InitPage"), Line("SetWndPos", "link" + b, 5, 6, 1),
       Line("SetWndPos", "menuname" + b, 7, 8, 1), Line("SetWndPos", "link" + c, 9, 10, 0)});
  const std::string index = Bytes("link");

  const RunResult declined = Run(
      {Line("InitPage"), "# no answer queued: No", Line("RemoveLinkMenu", 1), Line("@answer", "no"),
       Line("RemoveLinkMenu", 1), Line("RemoveLinkMenu", 3), Line("RemoveLinkMenu", -1)});
  EXPECT_EQ(declined.Events(), (std::vector<json>{Question("no"), Question("no")}));
  EXPECT_EQ(Bytes("link"), index);
  EXPECT_TRUE(Exists("linkmenu/" + b));

  const RunResult removed =
      Run({Line("InitPage"), Line("@answer", "yes"), Line("RemoveLinkMenu", 1)});
  EXPECT_EQ(removed.Events(), std::vector<json>{Question("yes")});
  EXPECT_FALSE(Exists("linkmenu/" + b));
  EXPECT_EQ(Records("link"),
            (Strings{"[A]", "Hash=" + a, "PageNum=0", "[C]", "Hash=" + c, "PageNum=0"}));
  for (const std::string& record : Records("config")) {
    EXPECT_EQ(record.find(b), std::string::npos) << record;
  }
  EXPECT_EQ(removed.Last("link"), kListMove + ListLine(a, "A") + ListLine(c, "C") + kListAdd);
  EXPECT_EQ(removed.Last("linkfield"), Container(a) + Container(c));
  // The former menu 2 now answers as menu 1.
  EXPECT_EQ(removed.Last("link" + c), Window(c, "C", 1, ""));
  // Its placement is applied after the render, and again by the command.
  const std::vector<json> writes = removed.Writes("link" + c);
  ASSERT_GE(writes.size(), 7u);
  EXPECT_EQ(writes.back(), json({{"op", "style"},
                                 {"id", "link" + c},
                                 {"tag", "DIV"},
                                 {"prop", "visibility"},
                                 {"value", "hidden"}}));
  EXPECT_EQ(writes[writes.size() - 4]["prop"], "visibility");
  EXPECT_EQ(writes[writes.size() - 7]["op"], "innerHTML");
}

TEST_F(LinkBlackbox, PickersFillTheFileFieldAndCancelsLeaveIt) {
  const RunResult run = Run({
      Line("OpenFile"),
      Line("@pick", "/some/file.txt"),
      Line("OpenFile"),
      Line("@pick", nullptr),
      Line("OpenFile"),
      Line("@pick", "/some/folder"),
      Line("OpenFolder"),
      Line("OpenFolder"),
      Line("@html", "linkfilename"),
  });
  const std::vector<json> lines = run.lines;
  const std::vector<json> expected = {
      {{"event", "pick"}, {"kind", "file"}, {"cancel", true}},
      {{"event", "pick"}, {"kind", "file"}, {"path", "/some/file.txt"}},
      {{"op", "attribute"}, {"id", "linkfilename"}, {"name", "value"}, {"value", "/some/file.txt"}},
      {{"event", "pick"}, {"kind", "file"}, {"cancel", true}},
      {{"event", "pick"}, {"kind", "folder"}, {"path", "/some/folder"}},
      {{"op", "attribute"}, {"id", "linkfilename"}, {"name", "value"}, {"value", "/some/folder"}},
      {{"event", "pick"}, {"kind", "folder"}, {"cancel", true}},
      {{"event", "html"},
       {"id", "linkfilename"},
       {"html",
        "<input type=\"text\" id=\"linkfilename\" name=\"linkfilename\" "
        "value=\"/some/folder\">"}},
  };
  EXPECT_EQ(lines, expected);
}

TEST_F(LinkBlackbox, PickersWithoutTheFieldShowNoDialog) {
  Write(Temp() / "page.html", "<html><body><div id=\"link\"></div></body></html>");
  const RunResult run = Run({Line("@pick", "/a"), Line("OpenFile"), Line("OpenFolder")},
                            {"--page", (Temp() / "page.html").string()});
  EXPECT_TRUE(run.lines.empty());
}

TEST_F(LinkBlackbox, HandMadeIndexAndMenuFilesAreReadAsWritten) {
  WriteRecords("link", {"[A&amp;B]", "Hash=1A2B3C4D00FF00FF", "PageNum=-3", "junk", "[Third]",
                        "Hash=0000000100000002", "PageNum=7", "PageNum=1"});
  WriteRecords("linkmenu/1a2b3c4d00ff00ff", {"[/data/a.txt]", "junk", "[D:]"});
  WriteRecords("linkmenu/0000000100000002", {"nobracket", "[/x/y/z]", "[/q]"});
  const RunResult run = Run({Line("InitPage"), Line("ChangeLinkMenu", 0), Line("ChangeLinkMenu", 1),
                             Line("ChangeLinkMenu", 2), Line("MakeLinkMenu", "A&B", 0)});
  EXPECT_EQ(run.Values("linklist"), (Strings{LinkList({"/data/a.txt", "D:"}),
                                             LinkList({"obracke", "/x/y/z", "/q"}), LinkList({})}));
  // Stored pages outside the menu come back to a page that exists.
  EXPECT_EQ(
      run.Last("link1a2b3c4d00ff00ff"),
      Window("1a2b3c4d00ff00ff", "A&amp;B", 0, OpenLine(0, 0, "a.txt") + OpenLine(0, 1, "D:")));
  EXPECT_EQ(run.Last("link0000000100000002"),
            Window("0000000100000002", "Third", 1,
                   OpenLine(1, 0, "obracke") + OpenLine(1, 1, "z") + OpenLine(1, 2, "q")));
  EXPECT_EQ(Records("link"), (Strings{"[A&amp;B]", "Hash=1a2b3c4d00ff00ff", "PageNum=0", "[Third]",
                                      "Hash=0000000100000002", "PageNum=0"}));
  EXPECT_EQ(Records("linkmenu/1a2b3c4d00ff00ff"), (Strings{"[/data/a.txt]", "[D:]"}));
}

}  // namespace
}  // namespace vellumine::blackbox
