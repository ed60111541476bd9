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
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "hosts/desktop/dialog_server.h"
#include "hosts/desktop/page_view.h"
#include "page/text.h"
#include "store/records.h"
#include "tests/hostile_data.h"

namespace vellumine::desktop {
namespace {

namespace fs = std::filesystem;

constexpr int kWaitSeconds = 30;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteAll(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

// UTF-16LE bytes of an ASCII or UTF-8 text, as the data files hold texts.
std::string Utf16Bytes(const std::string& utf8) {
  glong n = 0;
  gunichar2* units = g_utf8_to_utf16(utf8.c_str(), -1, nullptr, &n, nullptr);
  std::string bytes;
  for (glong i = 0; i < n; ++i) {
    bytes += static_cast<char>(units[i] & 0xff);
    bytes += static_cast<char>(units[i] >> 8);
  }
  g_free(units);
  return bytes;
}

// A JS string literal for text (JSON is valid JS).
std::string Js(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    if (c == '\n') {
      out += "\\n";
      continue;
    }
    out += c;
  }
  return out + "\"";
}

// Runs the main loop until done() or the wait runs out; false on time-out.
template <typename Done>
bool RunUntil(Done done, int seconds = kWaitSeconds) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    g_main_context_iteration(nullptr, FALSE);
    if (!g_main_context_pending(nullptr)) g_usleep(2000);
  }
  return true;
}

// Runs the main loop for a while.
void Pump(int milliseconds) {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (std::chrono::steady_clock::now() < until) {
    g_main_context_iteration(nullptr, FALSE);
    if (!g_main_context_pending(nullptr)) g_usleep(2000);
  }
}

// One run of the app's window: dialog channel, view and web process.
class Session {
 public:
  explicit Session(const std::string& data_folder) {
    EXPECT_TRUE(dialogs_.UseScriptFromEnvironment());
    server_ = std::make_unique<DialogServer>(dialogs_);
    EXPECT_TRUE(server_->Start());
    window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_default_size(GTK_WINDOW(window_), 1280, 800);
    dialogs_.set_parent(GTK_WINDOW(window_));
    page_ = std::make_unique<PageView>(FindAppPaths(), data_folder, *server_);
    page_->on_loaded = [this] { loaded_ = true; };
    page_->on_refused = [this](const std::string& uri) { refused_.push_back(uri); };
    gtk_container_add(GTK_CONTAINER(window_), page_->widget());
    gtk_widget_show_all(window_);
    page_->Load();
    loaded_ok_ = RunUntil([this] { return loaded_; });
  }
  ~Session() {
    page_.reset();
    gtk_widget_destroy(window_);
    server_.reset();
  }

  bool loaded() const { return loaded_ok_; }
  const std::vector<std::string>& refused() const { return refused_; }
  WebKitWebView* view() const { return page_->view(); }
  const std::string& page_uri() const { return page_->page_uri(); }

  // The script's value as text (strings as they are, other values as JSON);
  // "ERROR: ..." when it throws.
  std::string Eval(const std::string& script) {
    struct Result {
      bool done = false;
      std::string text;
    } result;
    webkit_web_view_evaluate_javascript(
        page_->view(), script.c_str(), -1, nullptr, nullptr, nullptr,
        [](GObject* source, GAsyncResult* res, gpointer data) {
          auto* r = static_cast<Result*>(data);
          GError* error = nullptr;
          JSCValue* value =
              webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), res, &error);
          if (value == nullptr) {
            r->text = std::string("ERROR: ") + (error != nullptr ? error->message : "?");
            if (error != nullptr) g_error_free(error);
          } else {
            gchar* text = jsc_value_is_string(value) ? jsc_value_to_string(value)
                                                     : jsc_value_to_json(value, 0);
            r->text = text != nullptr ? text : "undefined";
            g_free(text);
            g_object_unref(value);
          }
          r->done = true;
        },
        &result);
    if (!RunUntil([&] { return result.done; })) return "ERROR: timed out";
    return result.text;
  }

  // A click of the first mouse button at the page point x, y, handed to the
  // view as the window system's events are: the page sees trusted events
  // from the user.
  bool Click(int x, int y) {
    GtkWidget* widget = page_->widget();
    GdkWindow* window = gtk_widget_get_window(widget);
    if (window == nullptr) return false;
    GdkDevice* pointer =
        gdk_seat_get_pointer(gdk_display_get_default_seat(gdk_window_get_display(window)));
    int origin_x = 0;
    int origin_y = 0;
    gdk_window_get_origin(window, &origin_x, &origin_y);
    auto send = [&](GdkEventType type) {
      GdkEvent* event = gdk_event_new(type);
      if (type == GDK_MOTION_NOTIFY) {
        event->motion.window = GDK_WINDOW(g_object_ref(window));
        event->motion.time = GDK_CURRENT_TIME;
        event->motion.x = x;
        event->motion.y = y;
        event->motion.x_root = origin_x + x;
        event->motion.y_root = origin_y + y;
      } else {
        event->button.window = GDK_WINDOW(g_object_ref(window));
        event->button.time = GDK_CURRENT_TIME;
        event->button.x = x;
        event->button.y = y;
        event->button.x_root = origin_x + x;
        event->button.y_root = origin_y + y;
        event->button.button = 1;
      }
      gdk_event_set_device(event, pointer);
      gtk_main_do_event(event);
      gdk_event_free(event);
    };
    send(GDK_MOTION_NOTIFY);
    send(GDK_BUTTON_PRESS);
    send(GDK_BUTTON_RELEASE);
    return true;
  }

  // Clicks the middle of the first element matching selector once it is
  // the one there; false when it is not found or covered.
  bool ClickOn(const std::string& selector) {
    std::string at = Eval("(function () { var e = document.querySelector(" + Js(selector) +
                          "); if (!e) return ''; e.scrollIntoView(); var r = "
                          "e.getBoundingClientRect(); var x = Math.round(r.left + r.width / 2),"
                          " y = Math.round(r.top + r.height / 2);"
                          " return document.elementFromPoint(x, y) === e ? x + ',' + y : ''; })()");
    std::size_t comma = at.find(',');
    if (comma == std::string::npos) return false;
    return Click(std::stoi(at.substr(0, comma)), std::stoi(at.substr(comma + 1)));
  }

  // A PNG of what the view shows; false when it can't be made.
  bool Screenshot(const fs::path& file) {
    struct Shot {
      bool done = false;
      bool ok = false;
      std::string file;
    } shot{false, false, file.string()};
    webkit_web_view_get_snapshot(
        page_->view(), WEBKIT_SNAPSHOT_REGION_VISIBLE, WEBKIT_SNAPSHOT_OPTIONS_NONE, nullptr,
        [](GObject* source, GAsyncResult* res, gpointer data) {
          auto* s = static_cast<Shot*>(data);
          cairo_surface_t* surface =
              webkit_web_view_get_snapshot_finish(WEBKIT_WEB_VIEW(source), res, nullptr);
          if (surface != nullptr) {
            s->ok = cairo_surface_write_to_png(surface, s->file.c_str()) == CAIRO_STATUS_SUCCESS;
            cairo_surface_destroy(surface);
          }
          s->done = true;
        },
        &shot);
    return RunUntil([&] { return shot.done; }) && shot.ok;
  }

 private:
  Dialogs dialogs_;
  std::unique_ptr<DialogServer> server_;
  GtkWidget* window_ = nullptr;
  std::unique_ptr<PageView> page_;
  bool loaded_ = false;
  bool loaded_ok_ = false;
  std::vector<std::string> refused_;
};

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

// Every file below folder by its relative path, with its bytes.
std::map<std::string, std::string> FolderBytes(const fs::path& folder) {
  std::map<std::string, std::string> out;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
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

// A second launch on the same data folder hands over to the running one and
// ends; a launch on another folder runs on its own. Needs a session bus.
TEST_F(DesktopApp, OneInstancePerDataFolder) {
  gchar* session = g_find_program_in_path("dbus-run-session");
  gchar* gdbus = g_find_program_in_path("gdbus");
  bool usable = session != nullptr && gdbus != nullptr;
  g_free(session);
  g_free(gdbus);
  if (!usable) GTEST_SKIP() << "dbus-run-session or gdbus missing";
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
  // Whatever hangs, the run ends by itself well within the test's limit.
  signal(SIGALRM, [](int) {
    static const char kMessage[] = "desktop_e2e: watchdog: the run took too long\n";
    ssize_t ignored = write(2, kMessage, sizeof kMessage - 1);
    (void)ignored;
    _exit(1);
  });
  alarm(240);
  g_setenv("GSETTINGS_BACKEND", "memory", TRUE);
  if (!gtk_init_check(&argc, &argv)) {
    std::fputs("desktop_e2e: no display (run it under xvfb-run)\n", stderr);
    return 1;
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
