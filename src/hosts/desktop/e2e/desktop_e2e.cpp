// The desktop app from end to end, on a virtual display: the real view, web
// process, extension and dialog channel over a temporary data folder, driven
// by running script in the page. Dialogs are answered through the app's test
// seam (a file of scripted answers) and every dialog shown is read back from
// its log. A restart (a new view and web process on the same folder) must
// find everything again. A watchdog ends the run if anything hangs.
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "control/skerrow.h"
#include "hosts/desktop/autostart.h"
#include "hosts/desktop/dialog_server.h"
#include "hosts/desktop/e2e/e2e_support.h"
#include "hosts/desktop/instance.h"
#include "hosts/desktop/page_view.h"
#include "page/text.h"
#include "platform/posix_platform.h"
#include "platform/scripted_platform.h"
#include "store/records.h"
#include "tests/hostile_data.h"

namespace vellumine::desktop {
namespace {

namespace fs = std::filesystem;

using e2e::FolderSnapshot;
using e2e::Js;
using e2e::Pump;
using e2e::ReadAll;
using e2e::RunUntil;
using e2e::Session;
using e2e::Utf16Bytes;
using e2e::WriteAll;

// How many files in folder hold bytes.
int FilesHolding(const fs::path& folder, const std::string& bytes) {
  int n = 0;
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator(folder, ignored)) {
    if (ReadAll(entry.path()).find(bytes) != std::string::npos) ++n;
  }
  return n;
}

bool IsPng(const fs::path& file) {
  std::string bytes = ReadAll(file);
  return bytes.size() > 8 && bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") == 0;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::stringstream s(text);
  for (std::string line; std::getline(s, line);) lines.push_back(line);
  return lines;
}

// What a fresh load of the folder lists: memo subjects, menu names, and the
// "config" records.
struct Saved {
  std::vector<std::string> memos;
  std::vector<std::string> menus;
  std::vector<std::string> config;
  bool Has(const std::vector<std::string>& list, const std::string& item) const {
    return std::find(list.begin(), list.end(), item) != list.end();
  }
};

Saved LoadSaved(const fs::path& data) {
  PosixPlatform files;
  ScriptedPlatform ui(files, Utf8ToUtf16(data.string() + "/"));
  CSkerrow control(ui);
  control.LoadState();
  Saved saved;
  for (const MemoEntry& m : control.state().memos) {
    saved.memos.push_back(m.subject ? Utf16ToUtf8(*m.subject) : "<no file>");
  }
  for (const LinkMenu& m : control.state().menus) saved.menus.push_back(Utf16ToUtf8(m.name));
  const std::string bytes = ReadAll(data / "config");
  RecordReader reader(bytes);
  for (std::u16string r; reader.Next(&r);) saved.config.push_back(Utf16ToUtf8(r));
  return saved;
}

// Whether another holder has the lock on file.
bool LockedElsewhere(const fs::path& file) {
  bool busy = false;
  PosixPlatform().LockFile(Utf8ToUtf16(file.string()), false, &busy);
  return busy;
}

int RunCli(const fs::path& data, const std::string& script, const fs::path& scratch) {
  WriteAll(scratch / "script.jsonl", script);
  const std::string command = std::string("'") + VELLUMINE_CLI + "' --data '" + data.string() +
                              "' '" + (scratch / "script.jsonl").string() + "' >'" +
                              (scratch / "cli.out").string() + "' 2>&1";
  return std::system(command.c_str());
}

// A program started in the background, ended (and reaped) when it goes.
class Background {
 public:
  Background(const std::vector<std::string>& argv, const std::vector<std::string>& env) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    gchar** envp = g_get_environ();
    for (const std::string& e : env) {
      const std::size_t eq = e.find('=');
      envp = g_environ_setenv(envp, e.substr(0, eq).c_str(), e.substr(eq + 1).c_str(), TRUE);
    }
    started_ = g_spawn_async(nullptr, args.data(), envp, G_SPAWN_DO_NOT_REAP_CHILD, nullptr,
                             nullptr, &pid_, nullptr);
    g_strfreev(envp);
  }
  ~Background() {
    if (!started_) return;
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
  }
  bool started() const { return started_; }
  bool running() const {
    int status = 0;
    return started_ && waitpid(pid_, &status, WNOHANG) == 0;
  }

 private:
  GPid pid_ = 0;
  bool started_ = false;
};

class DesktopApp : public ::testing::Test {
 protected:
  void SetUp() override {
    gchar* dir = g_dir_make_tmp("vellumine-e2e-XXXXXX", nullptr);
    ASSERT_NE(dir, nullptr);
    root_ = dir;
    g_free(dir);
    fs::create_directories(root_ / "xdg");
    fs::create_directories(root_ / "files" / "folder");
    WriteAll(root_ / "files" / "note.txt", "note\n");
    g_setenv("XDG_DATA_HOME", (root_ / "xdg").c_str(), TRUE);
    g_setenv("VELLUMINE_DIALOG_SCRIPT", (root_ / "answers").c_str(), TRUE);
    g_setenv("VELLUMINE_DIALOG_LOG", (root_ / "dialogs.log").c_str(), TRUE);
    data_ = root_ / "xdg" / "Vellumine";
    Answers("");
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  void Answers(const std::string& script) { WriteAll(root_ / "answers", script); }
  std::vector<std::string> DialogLog() { return Lines(ReadAll(root_ / "dialogs.log")); }
  std::string DataFolder() { return DataFolderUtf8(""); }

  fs::path root_;
  fs::path data_;
};

TEST_F(DesktopApp, DrivesThePageKeepsTheDataAndFindsItAfterARestart) {
  const std::string note = (root_ / "files" / "note.txt").string();
  const std::string folder = (root_ / "files" / "folder").string();
  // The answers in the order the dialogs below come up.
  Answers("file " + note + "\n" +      // OpenFile
          "cancel\n" +                 // OpenFile again, cancelled
          "folder " + folder + "\n" +  // OpenFolder
          "ok\n" +                     // the missing-subject message
          "no\n" +                     // do not delete the menu
          "font 15 DejaVu Sans\n" +    // MenuFont
          "cancel\n");                 // CalenderFont, cancelled
  ASSERT_EQ(DataFolder(), data_.string() + "/");

  {
    Session s(DataFolder());
    ASSERT_TRUE(s.loaded());
    // The object and its methods, in the bundled page's main frame.
    EXPECT_EQ(s.Eval("typeof Skerrow"), "object");
    EXPECT_EQ(s.Eval("['SetBG_Random','SetCalender','AddWallPaper','RemoveWallPaper','SetBG',"
                     "'SetWndPos','InitPage','ChangeOption','OpenFile','OpenFolder','AddLink',"
                     "'ChangeLink','RemoveLink','Open','ChangeLinkPage','ChangeDate',"
                     "'ChangeSchedule','AddMemo','RenewMemo','RemoveMemo','EditMemo',"
                     "'MakeLinkMenu','ChangeLinkMenu','RemoveLinkMenu','PermuteLink',"
                     "'ChangeWindowOption','ChangeMemoPage']"
                     ".filter(function(n){return typeof Skerrow[n]==='function'}).length"),
              "27");
    // InitPage ran from the page's onload: the month calendar is there.
    std::string calendar = s.Eval("document.getElementById('calender').innerHTML");
    EXPECT_NE(calendar.find("prev"), std::string::npos) << calendar;
    EXPECT_NE(calendar.find("next"), std::string::npos) << calendar;
    // The desktop script is in the page.
    EXPECT_EQ(s.Eval("typeof movewnd"), "function");

    // A memo.
    s.Eval("Skerrow.AddMemo(document,'買い物','牛乳とパン'); 0");
    EXPECT_NE(s.Eval("document.getElementById('memo').innerHTML").find("買い物"),
              std::string::npos);
    EXPECT_TRUE(fs::exists(data_ / "memolist"));
    EXPECT_EQ(FilesHolding(data_ / "memo", Utf16Bytes("牛乳とパン")), 1);

    // A day's schedule.
    s.Eval("Skerrow.ChangeSchedule(document,'歯医者 10時',2026,12,24); 0");
    EXPECT_NE(s.Eval("document.getElementById('schedule').innerHTML").find("歯医者 10時"),
              std::string::npos);
    EXPECT_TRUE(fs::exists(data_ / "schdl"));

    // A link menu with one link.
    s.Eval("Skerrow.MakeLinkMenu(document,'仕事',-1); 0");
    s.Eval("Skerrow.AddLink(document," + Js(note) + ",0); 0");
    EXPECT_NE(s.Eval("document.getElementById('link').innerHTML").find("仕事"), std::string::npos);
    EXPECT_TRUE(fs::exists(data_ / "link"));
    EXPECT_NE(ReadAll(data_ / "link").find(Utf16Bytes("仕事")), std::string::npos);

    // The pickers write their answer into the form; a cancel leaves it.
    EXPECT_EQ(s.Eval("Skerrow.OpenFile(document); document.getElementById('linkfilename').value"),
              note);
    EXPECT_EQ(s.Eval("Skerrow.OpenFile(document); document.getElementById('linkfilename').value"),
              note);
    EXPECT_EQ(s.Eval("Skerrow.OpenFolder(document); document.getElementById('linkfilename').value"),
              folder);
    // Script arguments convert: a null subject is refused with a message.
    s.Eval("Skerrow.AddMemo(document,null,'本文'); 0");
    // A question answered No leaves the menu.
    s.Eval("Skerrow.RemoveLinkMenu(document,'0'); 0");
    EXPECT_NE(s.Eval("document.getElementById('link').innerHTML").find("仕事"), std::string::npos);
    // A launch goes to the default handler of the file's URI.
    s.Eval("Skerrow.Open(0,0); 0");
    // Fonts: one chosen, one cancelled.
    s.Eval("Skerrow.ChangeOption(document,'MenuFont',0); 0");
    EXPECT_NE(s.Eval("document.getElementById('MenuFont').textContent").find("DejaVu Sans"),
              std::string::npos);
    s.Eval("Skerrow.ChangeOption(document,'CalenderFont',0); 0");
    // A window moved with the desktop script: a click on its handle picks it
    // up, it follows the mouse, the next click drops it and reports it.
    EXPECT_EQ(s.Eval(R"JS(
      var c = document.getElementById('calender');
      function mouse(type, x, y) {
        return new MouseEvent(type, {clientX: x, clientY: y, bubbles: true});
      }
      c.addEventListener('mouseup', function once() {
        c.removeEventListener('mouseup', once);
        movewnd('calender');
      });
      c.style.left = '200px'; c.style.top = '40px';
      c.dispatchEvent(mouse('mouseup', 210, 50));
      document.dispatchEvent(mouse('mousemove', 331, 133));
      document.dispatchEvent(mouse('mouseup', 331, 133));
      c.style.left + ',' + c.style.top)JS"),
              "321px,123px");

    gchar* file_uri = g_filename_to_uri(note.c_str(), nullptr, nullptr);
    std::vector<std::string> expected = {
        "file\tファイルを開く\t全てのファイル",
        "file\tファイルを開く\t全てのファイル",
        "folder\tフォルダを選択してください。",
        "message\tVellumine\tOK\t題名が入力されていません",
        "message\tVellumine\tはい/いいえ\tメニューを削除してよろしいですか？",
        std::string("launch\t") + file_uri,
        "font\tＭＳ ゴシック\t13",
        "font\tＭＳ ゴシック\t20",
    };
    g_free(file_uri);
    EXPECT_EQ(DialogLog(), expected);

    // The view stays on the page: a navigation elsewhere, a frame from
    // elsewhere and a new window are refused, and the control stays.
    std::size_t refused = s.refused().size();
    s.Eval("location.href='file:///etc/hostname'; 0");
    EXPECT_TRUE(RunUntil([&] { return s.refused().size() > refused; }));
    refused = s.refused().size();
    s.Eval(
        "var f=document.createElement('iframe'); f.src='https://example.invalid/';"
        "document.body.appendChild(f); 0");
    EXPECT_TRUE(RunUntil([&] { return s.refused().size() > refused; }));
    EXPECT_EQ(s.Eval("String(window.open('about:blank'))"), "null");
    EXPECT_EQ(s.Eval("location.href"), s.page_uri());
    EXPECT_EQ(s.Eval("typeof Skerrow"), "object");
    // A frame of the page's own making gets no control.
    EXPECT_EQ(s.Eval("var g=document.createElement('iframe'); document.body.appendChild(g);"
                     "typeof g.contentWindow.Skerrow"),
              "undefined");

    EXPECT_TRUE(s.Screenshot(root_ / "session1.png"));
    EXPECT_TRUE(IsPng(root_ / "session1.png"));
  }

  // A restart: a new web process and control read everything back.
  Answers("");
  {
    Session s(DataFolder());
    ASSERT_TRUE(s.loaded());
    EXPECT_NE(s.Eval("document.getElementById('memo').innerHTML").find("買い物"),
              std::string::npos);
    s.Eval("Skerrow.ChangeDate(document,2026,12,24); 0");
    EXPECT_NE(s.Eval("document.getElementById('schedule').innerHTML").find("歯医者 10時"),
              std::string::npos);
    EXPECT_NE(s.Eval("document.getElementById('link').innerHTML").find("仕事"), std::string::npos);
    EXPECT_NE(s.Eval("document.getElementById('MenuFont').textContent").find("DejaVu Sans"),
              std::string::npos);
    EXPECT_EQ(s.Eval("document.getElementById('calender').style.left"), "321px");
  }

  // The program itself renders the page off-screen into a PNG and exits.
  std::string command =
      std::string("'") + VELLUMINE_APP + "' --screenshot '" + (root_ / "app.png").string() + "'";
  int status = std::system(command.c_str());
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_TRUE(IsPng(root_ / "app.png"));
}

// Every file below folder by its relative path, with its bytes; the lock
// files, which hold no data and appear once a call or the app runs, left out.
std::map<std::string, std::string> FolderBytes(const fs::path& folder) {
  std::map<std::string, std::string> out;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (name == ".lock" || name == ".instance") continue;
    if (entry.is_regular_file()) {
      out[fs::relative(entry.path(), folder).string()] = ReadAll(entry.path());
    }
  }
  return out;
}

void WriteFolder(const fs::path& folder, const vellumine::testing::FolderFiles& files) {
  for (const auto& [relative, records] : files) {
    std::string bytes;
    for (const std::u16string& record : records) AppendRecord(bytes, record);
    fs::create_directories((folder / relative).parent_path());
    WriteAll(folder / relative, bytes);
  }
}

// What the page holds that markup from a text could add: the number of
// elements of each kind that can load, run or submit anything, and every
// handler attribute with its script.
constexpr char kPageShape[] = R"JS(
  (function () {
    var kinds = ['img', 'svg', 'math', 'script', 'style', 'iframe', 'frame', 'object', 'embed',
                 'a', 'area', 'form', 'button', 'textarea', 'select', 'input', 'base', 'link',
                 'meta', 'title', 'noscript', 'template', 'video', 'audio', 'source', 'details'];
    var shape = kinds.map(function (t) {
      return t + ':' + document.getElementsByTagName(t).length;
    });
    var all = document.getElementsByTagName('*');
    for (var i = 0; i < all.length; ++i) {
      for (var j = 0; j < all[i].attributes.length; ++j) {
        var a = all[i].attributes[j];
        if (/^on/i.test(a.name)) shape.push(all[i].tagName + ' ' + a.name + '=' + a.value);
      }
    }
    return JSON.stringify(shape);
  })()
)JS";

// "" when the texts are equal, else both around the first difference.
std::string Difference(const std::string& expected, const std::string& actual) {
  std::size_t at = 0;
  while (at < expected.size() && at < actual.size() && expected[at] == actual[at]) ++at;
  if (at == expected.size() && at == actual.size()) return "";
  const std::size_t from = at > 120 ? at - 120 : 0;
  return "expected ..." + expected.substr(from, 240) + "...\n     got ..." +
         actual.substr(from, 240) + "...";
}

TEST_F(DesktopApp, AHostileFolderRunsNoScriptOfItsOwnAndStaysAsItWas) {
  // The same folder with benign texts first: the shape of its page.
  WriteFolder(data_,
              vellumine::testing::HostileFolder([](int) { return std::u16string(u"b"); }, true));
  std::string benign_shape;
  {
    Session s(DataFolder());
    ASSERT_TRUE(s.loaded());
    Pump(500);
    benign_shape = s.Eval(kPageShape);
  }
  fs::remove_all(data_);
  ASSERT_NE(benign_shape.find("\"img:1\""), std::string::npos) << benign_shape;
  ASSERT_NE(benign_shape.find("Skerrow.Open(1,9)"), std::string::npos) << benign_shape;

  // Every text of every file hostile, each field its own; the files as the
  // program writes them, so that its saves at start-up keep every byte.
  const std::vector<std::u16string>& texts = vellumine::testing::HostileTexts();
  WriteFolder(
      data_,
      vellumine::testing::HostileFolder(
          [&](int field) { return texts[static_cast<std::size_t>(field) % texts.size()]; }, true));
  const std::map<std::string, std::string> before = FolderBytes(data_);
  ASSERT_GT(before.size(), 10u);
  Answers("cancel\n");  // the file picker of the real click below

  {
    Session s(DataFolder());
    ASSERT_TRUE(s.loaded());
    Pump(1500);  // the page's load-time work and anything a picture's error would start
    EXPECT_EQ(s.Eval("String(window.pwned)"), "undefined");
    EXPECT_EQ(s.Eval("document.title"), "Vellumine");
    EXPECT_EQ(Difference(benign_shape, s.Eval(kPageShape)), "");
    // The texts are there, as text: the first memo's subject is the first
    // field's text with its one raw tag shown.
    const ItemKey key = vellumine::testing::FolderMemoKey(0);
    char id[64];
    std::snprintf(id, sizeof id, "subject%08x%08x", key.first, key.second);
    EXPECT_EQ(s.Eval(std::string("document.getElementById('") + id + "').childElementCount"), "0");
    EXPECT_NE(s.Eval(std::string("document.getElementById('") + id + "').textContent")
                  .find("<img src=x onerror="),
              std::string::npos);
    // Nothing was asked, picked or launched.
    EXPECT_EQ(DialogLog(), std::vector<std::string>{});

    // A handler that runs outside the user's action can't launch or pick:
    // a picture's error, and a timer once the activation has passed, even
    // with the event and the activation forged in the page.
    s.Eval(
        "var i = document.createElement('img');"
        "i.onerror = function () { Skerrow.Open(0, 0); Skerrow.OpenFile(document); "
        "  Skerrow.RemoveLinkMenu(document, 0); window.errorRan = 1; };"
        "i.src = 'missing.png'; document.body.appendChild(i); 0");
    EXPECT_TRUE(RunUntil([&] { return s.Eval("String(window.errorRan)") == "1"; }));
    s.Eval(
        "setTimeout(function () {"
        "  window.event = { isTrusted: true, type: 'click' };"
        "  Object.defineProperty(navigator, 'userActivation', { value: { isActive: true } });"
        "  Skerrow.Open(0, 0); Skerrow.OpenFolder(document);"
        "  Skerrow.ChangeOption(document, 'MenuFont', 0); window.timerRan = 1;"
        "}, 6000); 0");
    EXPECT_TRUE(RunUntil([&] { return s.Eval("String(window.timerRan)") == "1"; }));
    EXPECT_EQ(DialogLog(), std::vector<std::string>{});
    s.Eval("document.body.removeChild(i); 0");
    // Nothing was written but what the start-up rewrites with the same bytes.
    const std::map<std::string, std::string> after = FolderBytes(data_);
    for (const auto& [name, bytes] : before) {
      EXPECT_TRUE(after.count(name) == 1 && after.at(name) == bytes) << name;
    }
    EXPECT_EQ(after.size(), before.size());

    // The user's own clicks still reach the launch (of a target that is not
    // there: the user is told) and open the picker.
    s.Eval("document.getElementById('linkfield').lastChild.style.zIndex = 99999; 0");
    s.Eval(
        "window.seen = []; document.addEventListener('mouseup', function (e) { "
        "window.seen.push(e.type + e.isTrusted + navigator.userActivation.isActive + e.clientX + "
        "',' + e.clientY); }, true); 0");
    ASSERT_TRUE(s.ClickOn("#linkfield pre[onmouseup=\"Skerrow.Open(1,0)\"]"));
    EXPECT_TRUE(RunUntil([&] { return DialogLog().size() == 1; }));
    s.Eval("show('linkinput'); 0");
    ASSERT_TRUE(s.ClickOn("#linkinput input[value=\"ファイル\"]"));
    EXPECT_TRUE(RunUntil([&] { return DialogLog().size() == 2; }));
    std::vector<std::string> log = DialogLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].rfind("message\tVellumine\tOK\tリンク先が見つかりません。\\n", 0), 0u)
        << log[0];
    EXPECT_EQ(log[1], "file\tファイルを開く\t全てのファイル");
    EXPECT_EQ(s.Eval("String(window.pwned)"), "undefined");
  }
}

TEST_F(DesktopApp, ThePagePolicyRefusesEvalAndRemoteLoadsButNotThePagesOwnScripts) {
  WriteAll(root_ / "timing.js", "window.timingProbe = 'ran';");
  g_setenv("VELLUMINE_TIMING_SCRIPT", (root_ / "timing.js").c_str(), TRUE);
  Session s(DataFolder());
  g_unsetenv("VELLUMINE_TIMING_SCRIPT");
  ASSERT_TRUE(s.loaded());
  // The app's own scripts run: the measuring one and the desktop one (its
  // movewnd follows the mouse out of the view; the page's own keeps a
  // window inside).
  EXPECT_EQ(s.Eval("String(window.timingProbe)"), "ran");
  EXPECT_EQ(s.Eval(R"JS(
      var c = document.getElementById('schedule');
      c.addEventListener('mouseup', function once() {
        c.removeEventListener('mouseup', once);
        movewnd('schedule');
      });
      c.style.left = '200px'; c.style.top = '40px';
      c.dispatchEvent(new MouseEvent('mouseup', {clientX: 210, clientY: 50, bubbles: true}));
      document.dispatchEvent(new MouseEvent('mousemove', {clientX: -290, clientY: -60, bubbles: true}));
      document.dispatchEvent(new MouseEvent('mouseup', {clientX: -290, clientY: -60, bubbles: true}));
      c.style.left + ',' + c.style.top)JS"),
            "-300px,-70px");
  // Inline handlers, the page's and the control's, still run.
  EXPECT_EQ(s.Eval("var m = document.getElementById('menunormal'); var v = m.style.visibility;"
                   "document.querySelector('#menumini pre').dispatchEvent("
                   "new MouseEvent('mouseup', {bubbles: true})); v + '>' + m.style.visibility"),
            "hidden>visible");
  const std::string month = s.Eval("document.getElementById('monthname').textContent");
  s.Eval(
      "document.querySelector('#calender td[onmouseup^=\"Skerrow.SetCalender\"]')"
      ".dispatchEvent(new MouseEvent('mouseup', {bubbles: true})); 0");
  EXPECT_NE(s.Eval("document.getElementById('monthname').textContent"), month);
  // No script from a text: eval, Function and string timers are refused.
  EXPECT_EQ(
      s.Eval("(function () { try { eval('1'); return 'ran'; } catch (e) { return e.name; } })()"),
      "EvalError");
  EXPECT_EQ(s.Eval("(function () { try { Function('return 1')(); return 'ran'; }"
                   " catch (e) { return e.name; } })()"),
            "EvalError");
  s.Eval(
      "setTimeout('window.stringTimer = 1', 0); setTimeout(function () { window.after = 1; }, 50); "
      "0");
  EXPECT_TRUE(RunUntil([&] { return s.Eval("String(window.after)") == "1"; }));
  EXPECT_EQ(s.Eval("String(window.stringTimer)"), "undefined");
  // Pictures from elsewhere and frames are refused by the page's policy, and
  // the view hears of it.
  std::size_t refused = s.refused().size();
  s.Eval("document.getElementById('bgimg').src = 'http://127.0.0.1:9/wallpaper.png'; 0");
  ASSERT_TRUE(RunUntil([&] { return s.refused().size() > refused; }));
  EXPECT_EQ(s.refused().back(), "http://127.0.0.1:9/wallpaper.png");
  refused = s.refused().size();
  s.Eval(
      "var f = document.createElement('iframe'); f.src = 'file:///etc/hostname';"
      "document.body.appendChild(f); 0");
  EXPECT_TRUE(RunUntil([&] { return s.refused().size() > refused; }));
  // No base address and no plugin.
  const std::string base = s.Eval("document.baseURI");
  s.Eval(
      "var b = document.createElement('base'); b.href = 'http://127.0.0.1:9/';"
      "document.head.appendChild(b); 0");
  EXPECT_EQ(s.Eval("document.baseURI"), base);
  refused = s.refused().size();
  s.Eval(
      "var o = document.createElement('object'); o.data = 'file:///etc/hostname';"
      "document.body.appendChild(o); 0");
  EXPECT_TRUE(RunUntil([&] { return s.refused().size() > refused; }));
  // A picture from a file or a data address is shown.
  EXPECT_EQ(s.Eval("var p = new Image(); p.src = 'data:image/gif;base64,"
                   "R0lGODlhAQABAIAAAAAAAP///ywAAAAAAQABAAACAUwAOw=='; 0"),
            "0");
  EXPECT_TRUE(RunUntil([&] { return s.Eval("String(p.complete && p.naturalWidth)") == "1"; }));
}

// A second launch on the same data folder, through another spelling of its
// path, hands over to the running one and ends without writing anything; a
// launch on another folder runs on its own. With a session bus.
TEST_F(DesktopApp, OneInstancePerDataFolder) {
  gchar* session = g_find_program_in_path("dbus-run-session");
  gchar* gdbus = g_find_program_in_path("gdbus");
  const bool usable = session != nullptr && gdbus != nullptr;
  g_free(session);
  g_free(gdbus);
  ASSERT_TRUE(usable) << "dbus-run-session or gdbus missing (src/hosts/desktop/deps)";
  std::string app = VELLUMINE_APP;
  std::string one = (root_ / "one").string();
  std::string link = (root_ / "link").string();
  std::string other = (root_ / "other").string();
  fs::create_directories(one);
  fs::create_directory_symlink(one, link);
  // Every spelling of the folder has the same id.
  const std::string id = ApplicationId(*CanonicalDataFolder(one));
  EXPECT_EQ(ApplicationId(*CanonicalDataFolder(link)), id);
  EXPECT_EQ(ApplicationId(*CanonicalDataFolder(link + "/../one/")), id);
  EXPECT_NE(ApplicationId(*CanonicalDataFolder(other)), id);
  const std::string snapshot = "find '" + one + "' -printf '%p %s %T@ %i\\n' | sort";
  std::string script =
      "'" + app + "' --data '" + one + "' & first=\\$!; " + "gdbus wait --session --timeout 60 " +
      id + " || exit 10; " +
      // The first has drawn its page and saved it before the second starts.
      "for i in \\$(seq 300); do [ -e '" + one + "/config' ] && break; sleep 0.1; done; sleep 1; " +
      snapshot + " >'" + (root_ / "before").string() + "'; " +
      // The second launch must end by itself, the first must still run.
      "timeout 60 '" + app + "' --data '" + link + "' || exit 11; " +
      "kill -0 \\$first || exit 12; " + snapshot + " >'" + (root_ / "after").string() + "'; " +
      // Another folder is another instance: it registers a name of its own.
      "'" + app + "' --data '" + other + "' & third=\\$!; " + "gdbus wait --session --timeout 60 " +
      ApplicationId(*CanonicalDataFolder(other)) +
      " || exit 13; kill \\$first \\$third; wait; exit 0";
  fs::path log = root_ / "instances.log";
  std::string command = "dbus-run-session -- sh -c \"" + script + "\" >'" + log.string() + "' 2>&1";
  int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 0) << ReadAll(log);
  EXPECT_FALSE(ReadAll(root_ / "before").empty());
  EXPECT_EQ(ReadAll(root_ / "after"), ReadAll(root_ / "before"));
}

// Without a session bus the lock still decides: a second launch through a
// link to the folder says so, ends, and writes nothing.
TEST_F(DesktopApp, WithoutABusASecondLaunchEndsWithoutWriting) {
  const fs::path one = root_ / "one";
  const fs::path link = root_ / "link";
  fs::create_directories(one);
  fs::create_directory_symlink(one, link);
  const std::vector<std::string> no_bus = {"DBUS_SESSION_BUS_ADDRESS=unix:path=" +
                                           (root_ / "no-bus").string()};
  Background first({VELLUMINE_APP, "--data", one.string()}, no_bus);
  ASSERT_TRUE(first.started());
  ASSERT_TRUE(RunUntil(
      [&] { return fs::exists(one / "config") && LockedElsewhere(one / ".instance"); }, 60));
  g_usleep(1000 * 1000);  // its page drawn and saved
  const std::string before = FolderSnapshot(one);

  const std::string second = "DBUS_SESSION_BUS_ADDRESS='unix:path=" + (root_ / "no-bus").string() +
                             "' timeout 60 '" + VELLUMINE_APP + "' --data '" + link.string() +
                             "' >'" + (root_ / "second.log").string() + "' 2>&1";
  const int status = std::system(second.c_str());
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 1) << ReadAll(root_ / "second.log");
  EXPECT_NE(ReadAll(root_ / "second.log").find("open in another window"), std::string::npos)
      << ReadAll(root_ / "second.log");
  EXPECT_EQ(FolderSnapshot(one), before);
  EXPECT_TRUE(first.running());
}

// The window and the runner on one folder, each acting in turn: nothing of
// either is lost, and the window shows the runner's changes by itself.
TEST_F(DesktopApp, TheRunnerAndTheWindowLoseNothing) {
  Session s(DataFolder());
  ASSERT_TRUE(s.loaded());
  s.Eval("Skerrow.AddMemo(document,'窓から','1'); 0");
  ASSERT_EQ(RunCli(data_,
                   "[\"AddMemo\", \"runner one\", \"r\"]\n[\"AddMemo\", \"runner two\", \"r\"]\n"
                   "[\"MakeLinkMenu\", \"runner menu\", -1]\n"
                   "[\"ChangeOption\", \"LinkItemNum\", 1]\n",
                   root_),
            0)
      << ReadAll(root_ / "cli.out");
  const auto written = std::chrono::steady_clock::now();
  // No call from the page: the window loads and draws the change itself.
  ASSERT_TRUE(RunUntil([&] {
    const std::string list = s.Eval("document.getElementById('memo').innerHTML");
    return list.find("runner two") != std::string::npos;
  }));
  const double latency =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - written).count();
  std::printf("[ latency  ] the runner's change on the page after %.3f s\n", latency);
  EXPECT_NE(s.Eval("document.getElementById('link').innerHTML").find("runner menu"),
            std::string::npos);
  EXPECT_EQ(s.Eval("document.getElementById('LinkItemNum').textContent"), "11");

  // The window's next change keeps them all; so does the runner's after it.
  s.Eval("Skerrow.AddMemo(document,'窓からまた','2'); 0");
  s.Eval("Skerrow.ChangeOption(document,'MemoItemNum',1); 0");
  ASSERT_EQ(RunCli(data_, "[\"AddMemo\", \"runner three\", \"r\"]\n", root_), 0);
  const Saved saved = LoadSaved(data_);
  EXPECT_EQ(saved.memos, (std::vector<std::string>{"窓から", "runner one", "runner two",
                                                   "窓からまた", "runner three"}));
  EXPECT_EQ(saved.menus, std::vector<std::string>{"runner menu"});
  EXPECT_TRUE(saved.Has(saved.config, "LinkItemNum=11"));
  EXPECT_TRUE(saved.Has(saved.config, "MemoItemNum=11"));
}

// "ログイン時に起動" in the settings: the user's clicks write and remove the
// entry, the box shows what is there, and script on its own changes nothing.
TEST_F(DesktopApp, StartAtLoginIsSetFromTheSettingsByTheUsersClicks) {
  const fs::path file = root_ / "config" / "autostart" / "v.desktop";
  const std::optional<std::string> entry =
      AutostartEntry(RestartArguments("/usr/bin/vellumine", DataFolder(), true, ""));
  ASSERT_TRUE(entry);
  {
    Session s(DataFolder(), {file.string(), *entry});
    ASSERT_TRUE(s.loaded());
    EXPECT_EQ(s.Eval("getComputedStyle(document.getElementById('option_app')).display"), "block");
    EXPECT_EQ(s.Eval("document.getElementById('startatlogin').parentNode.textContent"),
              "ログイン時に起動");
    EXPECT_EQ(s.Eval("String(document.getElementById('startatlogin').checked)"), "false");
    s.Eval("show('option'); 0");
    ASSERT_TRUE(s.ClickOn("#startatlogin"));
    ASSERT_TRUE(RunUntil([&] { return fs::exists(file); }));
    EXPECT_EQ(ReadAll(file), *entry);
    EXPECT_EQ(s.Eval("String(document.getElementById('startatlogin').checked)"), "true");
    // Script on its own, once the click's activation has passed: neither the
    // object nor the box's handler removes it.
    s.Eval(
        "setTimeout(function () {"
        "  window.answer = VellumineApp.SetStartAtLogin(false);"
        "  document.getElementById('startatlogin').click(); window.timerRan = 1;"
        "}, 6000); 0");
    EXPECT_TRUE(RunUntil([&] { return s.Eval("String(window.timerRan)") == "1"; }));
    EXPECT_EQ(s.Eval("String(window.answer)"), "true");
    EXPECT_TRUE(fs::exists(file));
    EXPECT_EQ(s.Eval("String(document.getElementById('startatlogin').checked)"), "true");
  }
  {
    // A new load shows the entry that is there; a click removes it.
    Session s(DataFolder(), {file.string(), *entry});
    ASSERT_TRUE(s.loaded());
    EXPECT_EQ(s.Eval("String(document.getElementById('startatlogin').checked)"), "true");
    s.Eval("show('option'); 0");
    ASSERT_TRUE(s.ClickOn("#startatlogin"));
    ASSERT_TRUE(RunUntil([&] { return !fs::exists(file); }));
    EXPECT_EQ(s.Eval("String(document.getElementById('startatlogin').checked)"), "false");
  }
  {
    // Without an entry to make (the runner's page, say) the setting is hidden.
    Session s(DataFolder());
    ASSERT_TRUE(s.loaded());
    EXPECT_EQ(s.Eval("typeof VellumineApp"), "undefined");
    EXPECT_EQ(s.Eval("getComputedStyle(document.getElementById('option_app')).display"), "none");
  }
}

// A sync tool brings a memo from another machine while the window runs: the
// page shows it without any call, and the window's next save keeps it.
TEST_F(DesktopApp, AnOutsideChangeShowsByItselfAndSurvivesTheNextSave) {
  Session s(DataFolder());
  ASSERT_TRUE(s.loaded());
  s.Eval("Skerrow.AddMemo(document,'ここで','1'); 0");
  ASSERT_TRUE(fs::exists(data_ / "memolist"));
  // The memo's file, then the list naming it, each through a temporary of
  // the sync tool's renamed into place; a conflict copy beside them.
  auto record = [](const std::string& text) {
    std::string units = Utf16Bytes(text);
    const std::uint32_t n = static_cast<std::uint32_t>(units.size() / 2);
    std::string out;
    for (int i = 0; i < 4; ++i) out += static_cast<char>((n >> (8 * i)) & 0xff);
    return out + units;
  };
  WriteAll(data_ / "memo" / ".syncthing.00000001000000aa.tmp",
           record("Subject=よそから") + record("Message=同期"));
  fs::rename(data_ / "memo" / ".syncthing.00000001000000aa.tmp",
             data_ / "memo" / "00000001000000aa");
  const std::string list =
      ReadAll(data_ / "memolist") + record("[memo1]") + record("Hash=00000001000000aa");
  WriteAll(data_ / ".syncthing.memolist.tmp", list);
  WriteAll(data_ / "memolist.sync-conflict-20260101-101010-ABCDEFG", "stale");
  fs::rename(data_ / ".syncthing.memolist.tmp", data_ / "memolist");
  const auto written = std::chrono::steady_clock::now();
  ASSERT_TRUE(RunUntil([&] {
    return s.Eval("document.getElementById('memo').innerHTML").find("よそから") !=
           std::string::npos;
  }));
  const double latency =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - written).count();
  std::printf("[ latency  ] the outside change on the page after %.3f s\n", latency);
  s.Eval("Skerrow.AddMemo(document,'そのあと','2'); 0");
  EXPECT_EQ(LoadSaved(data_).memos, (std::vector<std::string>{"ここで", "よそから", "そのあと"}));
  EXPECT_EQ(ReadAll(data_ / "memolist.sync-conflict-20260101-101010-ABCDEFG"), "stale");
}

// The command line takes the app's options and nothing else: a bad one
// ends the run with status 2 and the usage before anything is made.
TEST_F(DesktopApp, TheCommandLineTakesItsOptionsAndRefusesTheRest) {
  const fs::path out = root_ / "out.txt";
  const fs::path err = root_ / "err.txt";
  auto run = [&](const std::string& arguments) {
    const std::string command = "cd '" + root_.string() + "' && '" + VELLUMINE_APP + "' " +
                                arguments + " >'" + out.string() + "' 2>'" + err.string() + "'";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  for (const char* help : {"--help", "-h", "--data made --help"}) {
    EXPECT_EQ(run(help), 0) << help;
    EXPECT_EQ(ReadAll(out).rfind("Usage: vellumine [--data DIR]", 0), 0u) << help;
    EXPECT_EQ(ReadAll(err), "") << help;
  }
  const std::pair<const char*, const char*> refused[] = {
      {"--bogus", "unknown argument --bogus"},
      {"--data made word", "unknown argument word"},
      {"--data made -x", "unknown argument -x"},
      {"--data made --", "unknown argument --"},
      {"-- --data made", "unknown argument --"},
      {"--data", "--data"},
      {"--data made --monitor", "--monitor"},
      {"--data ''", "Usage: vellumine"},
      {"--data made --screenshot ''", "Usage: vellumine"},
  };
  for (const auto& [arguments, said] : refused) {
    EXPECT_EQ(run(arguments), 2) << arguments;
    EXPECT_NE(ReadAll(err).find(said), std::string::npos) << arguments << ": " << ReadAll(err);
    EXPECT_NE(ReadAll(err).find("Usage: vellumine"), std::string::npos) << arguments;
    EXPECT_EQ(ReadAll(out), "") << arguments;
  }
  // No run went as far as the data folder.
  EXPECT_FALSE(fs::exists(root_ / "made"));
  EXPECT_FALSE(fs::exists(data_));
}

}  // namespace
}  // namespace vellumine::desktop

int main(int argc, char** argv) {
  return vellumine::desktop::e2e::Main(argc, argv, 480, "desktop_e2e");
}
