// The desktop app from end to end, on a virtual display: the real view, web
// process, extension and dialog channel over a temporary data folder, driven
// by running script in the page. Dialogs are answered through the app's test
// seam (a file of scripted answers) and every dialog shown is read back from
// its log. A restart (a new view and web process on the same folder) must
// find everything again. A watchdog ends the run if anything hangs.
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "hosts/desktop/dialog_server.h"
#include "hosts/desktop/e2e/e2e_support.h"
#include "hosts/desktop/page_view.h"

namespace vellumine::desktop {
namespace {

namespace fs = std::filesystem;
using e2e::Js;
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
        "message\t\tOK\t題名が入力されていません",
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

// A second launch on the same data folder hands over to the running one and
// ends; a launch on another folder runs on its own. Needs a session bus.
TEST_F(DesktopApp, OneInstancePerDataFolder) {
  gchar* session = g_find_program_in_path("dbus-run-session");
  gchar* gdbus = g_find_program_in_path("gdbus");
  bool usable = session != nullptr && gdbus != nullptr;
  g_free(session);
  g_free(gdbus);
  // Missing tools fail the test rather than skip it (scripts/deps installs
  // them: dbus-daemon, libglib2.0-bin).
  ASSERT_TRUE(usable) << "dbus-run-session or gdbus missing";
  std::string app = VELLUMINE_APP;
  std::string one = (root_ / "one").string();
  std::string other = (root_ / "other").string();
  std::string script =
      "'" + app + "' --data '" + one + "' & first=\\$!; " + "gdbus wait --session --timeout 60 " +
      ApplicationId(DataFolderUtf8(one)) + " || exit 10; " +
      // The second launch must end by itself, the first must still run.
      "timeout 60 '" + app + "' --data '" + one + "' || exit 11; " +
      "kill -0 \\$first || exit 12; " +
      // Another folder is another instance: it registers a name of its own.
      "'" + app + "' --data '" + other + "' & third=\\$!; " + "gdbus wait --session --timeout 60 " +
      ApplicationId(DataFolderUtf8(other)) + " || exit 13; kill \\$first \\$third; wait; exit 0";
  fs::path log = root_ / "instances.log";
  std::string command = "dbus-run-session -- sh -c \"" + script + "\" >'" + log.string() + "' 2>&1";
  int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 0) << ReadAll(log);
}

}  // namespace
}  // namespace vellumine::desktop

int main(int argc, char** argv) {
  return vellumine::desktop::e2e::Main(argc, argv, 240, "desktop_e2e");
}
