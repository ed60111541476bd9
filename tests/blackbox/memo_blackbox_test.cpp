// Memos seen from outside the program: the list and memo windows written
// into the page, paging, refusals, and "memolist" and the memo files on disk.
#include <algorithm>
#include <string>
#include <vector>

#include "tests/blackbox/organiser_runner.h"

namespace vellumine::blackbox {
namespace {

using Strings = std::vector<std::string>;

const std::string kMove = "<pre onmouseup=movewnd(\"memo\")>移動</pre>";
const std::string kAddClose =
    "<pre onmouseup=\"memofrm.memonum.value=-1;change('memoinput')\">メモの追加</pre>"
    "<pre onmouseup=change(\"memo\")>閉じる</pre>";

std::string ListLine(const std::string& key, const std::string& subject) {
  return "<pre onmouseup=change('memo" + key + "')>" + subject + "</pre>";
}
std::string PageLink(const char* label, int page) {
  return "<pre onmouseup=Skerrow.ChangeMemoPage(document," + std::to_string(page) + ")>" + label +
         "</pre>";
}
std::string Container(const std::string& key) {
  return "<div id=\"memo" + key +
         "\" style=\"position:absolute;left:20%;top:10%;margin:0px;border:0px;"
         "visibility:visible\")></div>";
}
// A memo window's content: body, then the frame with its close line and the
// option panel of a window without a record of its own.
std::string Window(const std::string& key, const std::string& subject, const std::string& message,
                   int num) {
  const std::string n = "memo" + key;
  const std::string body = "<pre id=\"subject" + key + "\" onmouseup=movewnd('" + n + "')>" +
                           subject + "</pre>" + "<pre id=\"message" + key + "\">" + message +
                           "</pre>" + "<pre onmouseup=\"trinputfield('subject" + key +
                           "','subject');trinputfield('message" + key +
                           "','message');memofrm.memonum.value=" + std::to_string(num) +
                           ";show('memoinput');\">編集</pre>";
  return WindowFrame(n, body, true);
}

class MemoBlackbox : public Runner {
 protected:
  // The key of the memo at a position, from "memolist".
  std::string KeyAt(std::size_t position) {
    const Strings list = Records("memolist");
    EXPECT_GT(list.size(), 2 * position + 1);
    if (list.size() <= 2 * position + 1) return "";
    return list[2 * position + 1].substr(5);
  }
};

TEST_F(MemoBlackbox, NoMemosGiveTheBareListAndAnEmptyField) {
  const RunResult run = Run({Line("InitPage")});
  EXPECT_EQ(run.Last("memo"), kMove + kAddClose);
  EXPECT_EQ(run.Values("memofield"), Strings{""});
  EXPECT_FALSE(Exists("memolist"));
}

TEST_F(MemoBlackbox, AddMemoWritesBothFilesAndRendersListThenWindows) {
  const RunResult run = Run({Line("AddMemo", "a<b", "m&\"x\"\nline")});
  const std::string key = KeyAt(0);
  ASSERT_EQ(key.size(), 16u);
  EXPECT_EQ(key.substr(0, 8), HashHex(u"a&lt;b"));
  EXPECT_EQ(Records("memolist"), (Strings{"[memo0]", "Hash=" + key}));
  EXPECT_EQ(Bytes("memo/" + key),
            Runner::Encode("Subject=a&lt;b") + Runner::Encode("Message=m&amp;&quot;x&quot;\nline"));

  const std::vector<json> writes = run.Writes();
  ASSERT_EQ(writes.size(), 3u);
  EXPECT_EQ(writes[0]["id"], "memo");
  EXPECT_EQ(writes[0]["value"], kMove + ListLine(key, "a&lt;b") + kAddClose);
  EXPECT_EQ(writes[1]["id"], "memofield");
  EXPECT_EQ(writes[1]["value"], Container(key));
  EXPECT_EQ(writes[2]["id"], "memo" + key);
  EXPECT_EQ(writes[2]["op"], "innerHTML");
  EXPECT_EQ(writes[2]["value"], Window(key, "a&lt;b", "m&amp;&quot;x&quot;\nline", 0));
}

TEST_F(MemoBlackbox, NullTextsAreRefusedSubjectFirstWithAnEmptyCaption) {
  const RunResult run = Run({Line("AddMemo", nullptr, nullptr), Line("AddMemo", "s", nullptr),
                             Line("AddMemo", "s", "m"), Line("RenewMemo", nullptr, nullptr, 0),
                             Line("RenewMemo", "s", nullptr, 0), Line("RenewMemo", nullptr, "m", 1),
                             Line("RenewMemo", nullptr, "m", -1), Line("RemoveMemo", 1),
                             Line("EditMemo", 0), Line("EditMemo", 99)});
  const json no_subject = {{"event", "message"},
                           {"text", "題名が入力されていません"},
                           {"caption", ""},
                           {"buttons", "ok"}};
  const json no_message = {{"event", "message"},
                           {"text", "本文が入力されていません"},
                           {"caption", ""},
                           {"buttons", "ok"}};
  EXPECT_EQ(run.Events(), (std::vector<json>{no_subject, no_message, no_subject, no_message}));
  // Only the one accepted memo wrote anything.
  EXPECT_EQ(run.Values("memo").size(), 1u);
  EXPECT_EQ(Records("memolist").size(), 2u);
}

TEST_F(MemoBlackbox, RenewKeepsTheFileAndWindowAndRewritesBothFiles) {
  Run({Line("AddMemo", "one", "1"), Line("AddMemo", "two", "2")});
  const std::string first = KeyAt(0);
  const std::string second = KeyAt(1);
  const RunResult run = Run({Line("InitPage"), Line("RenewMemo", "uno", "eins", 0)});
  EXPECT_EQ(KeyAt(0), first);
  EXPECT_EQ(Records("memo/" + first), (Strings{"Subject=uno", "Message=eins"}));
  EXPECT_EQ(Records("memolist"),
            (Strings{"[memo0]", "Hash=" + first, "[memo1]", "Hash=" + second}));
  EXPECT_EQ(run.Last("memo"), kMove + ListLine(first, "uno") + ListLine(second, "two") + kAddClose);
  EXPECT_EQ(run.Last("memo" + first), Window(first, "uno", "eins", 0));
  EXPECT_EQ(run.Last("memo" + second), Window(second, "two", "2", 1));
}

TEST_F(MemoBlackbox, RemovingMemo3Of5RenumbersAndForgetsItsWindow) {
  Strings script;
  for (int i = 0; i < 5; ++i) script.push_back(Line("AddMemo", "s" + std::to_string(i), "m"));
  Run(script);
  Strings keys;
  for (std::size_t i = 0; i < 5; ++i) keys.push_back(KeyAt(i));
  Run({Line("InitPage"), Line("SetWndPos", "memo" + keys[3], 11, 12, 1),
       Line("SetWndPos", "memo" + keys[4], 21, 22, 0)});

  const RunResult run = Run({Line("InitPage"), Line("RemoveMemo", 3)});
  EXPECT_FALSE(Exists("memo/" + keys[3]));
  EXPECT_EQ(Records("memolist"),
            (Strings{"[memo0]", "Hash=" + keys[0], "[memo1]", "Hash=" + keys[1], "[memo2]",
                     "Hash=" + keys[2], "[memo3]", "Hash=" + keys[4]}));
  EXPECT_EQ(run.Last("memo" + keys[4]), Window(keys[4], "s4", "m", 3));
  auto drawn = [&run](const std::string& id) {
    int n = 0;
    for (const json& w : run.Writes(id)) n += w["op"] == "innerHTML" ? 1 : 0;
    return n;
  };
  EXPECT_EQ(drawn("memo" + keys[3]), 1);  // by InitPage only
  EXPECT_EQ(drawn("memo" + keys[4]), 2);
  const Strings config = Records("config");
  for (const std::string& record : config) {
    EXPECT_EQ(record.find(keys[3]), std::string::npos) << record;
  }
  EXPECT_NE(std::find(config.begin(), config.end(), "WndName0=memo" + keys[4]), config.end());
  // The surviving window's record is applied after the redraw.
  const std::vector<json> writes = run.Writes("memo" + keys[4]);
  ASSERT_GE(writes.size(), 3u);
  EXPECT_EQ(writes[writes.size() - 3]["prop"], "left");
  EXPECT_EQ(writes[writes.size() - 3]["value"], 21);
  EXPECT_EQ(writes.back()["prop"], "visibility");
  EXPECT_EQ(writes.back()["value"], "hidden");
}

TEST_F(MemoBlackbox, TwentyFiveMemosPageByTen) {
  Strings script;
  for (int i = 0; i < 25; ++i) script.push_back(Line("AddMemo", "s" + std::to_string(i), "m"));
  Run(script);
  Strings keys;
  for (std::size_t i = 0; i < 25; ++i) keys.push_back(KeyAt(i));
  auto lines = [&](int from, int to) {
    std::string out;
    for (int i = from; i < to; ++i) out += ListLine(keys[i], "s" + std::to_string(i));
    return out;
  };
  const RunResult run = Run({Line("InitPage"), Line("ChangeMemoPage", 1), Line("ChangeMemoPage", 2),
                             Line("ChangeMemoPage", 9), Line("ChangeMemoPage", -3)});
  const Strings shown = run.Values("memo");
  ASSERT_EQ(shown.size(), 5u);
  EXPECT_EQ(shown[0], kMove + lines(0, 10) + PageLink("次のページ", 1) + kAddClose);
  EXPECT_EQ(shown[1], kMove + lines(10, 20) + PageLink("前のページ", 0) +
                          PageLink("次のページ", 2) + kAddClose);
  EXPECT_EQ(shown[2], kMove + lines(20, 25) + PageLink("前のページ", 1) + kAddClose);
  EXPECT_EQ(shown[3], shown[2]);  // past the last page: the last page
  EXPECT_EQ(shown[4], shown[0]);  // below 0: the first page
  // Paging redraws the list only.
  EXPECT_EQ(run.Values("memofield").size(), 1u);
}

TEST_F(MemoBlackbox, ExactlyTenMemosAreOnePage) {
  Strings script;
  for (int i = 0; i < 10; ++i) script.push_back(Line("AddMemo", "s", "m"));
  const RunResult run = Run(script);
  const std::string list = run.Last("memo");
  EXPECT_EQ(list.find("ChangeMemoPage"), std::string::npos);
}

TEST_F(MemoBlackbox, HandMadeListIsReadBySectionOrderAndSavedRenumbered) {
  WriteRecords("memolist", {"[memo7]", "Hash=0000000a0000000b", "[memo3]", "Hash=0000000C0000000D",
                            "junk", "[memo9]", "Hash=0000000e0000000f"});
  WriteRecords("memo/0000000a0000000b", {"Message=mm", "Subject=ss"});
  WriteRecords("memo/0000000c0000000d", {"Subject=only"});
  const RunResult run = Run({Line("InitPage"), Line("AddMemo", "new", "n")});
  const std::string added = KeyAt(3);
  // Memos without both records keep their place: no list line, empty window.
  EXPECT_EQ(run.Last("memo"),
            kMove + ListLine("0000000a0000000b", "ss") + ListLine(added, "new") + kAddClose);
  EXPECT_EQ(run.Last("memo0000000c0000000d"), Window("0000000c0000000d", "", "", 1));
  EXPECT_EQ(run.Last("memo0000000e0000000f"), Window("0000000e0000000f", "", "", 2));
  EXPECT_EQ(Records("memolist"),
            (Strings{"[memo0]", "Hash=0000000a0000000b", "[memo1]", "Hash=0000000c0000000d",
                     "[memo2]", "Hash=0000000e0000000f", "[memo3]", "Hash=" + added}));
  // The unread memo files are left as they were.
  EXPECT_EQ(Records("memo/0000000c0000000d"), Strings{"Subject=only"});
}

TEST_F(MemoBlackbox, MissingListElementLeavesTheWindowsDrawn) {
  Write(Temp() / "page.html", "<html><body><div id=\"memofield\"></div></body></html>");
  const RunResult run =
      Run({Line("AddMemo", "s", "m")}, {"--page", (Temp() / "page.html").string()});
  const std::string key = KeyAt(0);
  EXPECT_TRUE(run.Writes("memo").empty());
  EXPECT_EQ(run.Last("memofield"), Container(key));
  EXPECT_EQ(run.Last("memo" + key), Window(key, "s", "m", 0));
}

}  // namespace
}  // namespace vellumine::blackbox
