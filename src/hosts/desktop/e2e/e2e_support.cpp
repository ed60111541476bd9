#include "hosts/desktop/e2e/e2e_support.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace vellumine::desktop::e2e {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteAll(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

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

std::string FolderSnapshot(const fs::path& folder) {
  std::vector<std::string> lines;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    struct stat st {};
    if (lstat(entry.path().c_str(), &st) != 0) continue;
    lines.push_back(entry.path().string() + " " + std::to_string(st.st_size) + " " +
                    std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec) +
                    " " + std::to_string(st.st_ino));
  }
  std::sort(lines.begin(), lines.end());
  std::string out;
  for (const std::string& line : lines) out += line + "\n";
  return out;
}

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

Session::Session(const std::string& data_folder, const StartAtLogin& start) {
  EXPECT_TRUE(dialogs_.UseScriptFromEnvironment());
  server_ = std::make_unique<DialogServer>(dialogs_);
  EXPECT_TRUE(server_->Start());
  window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_default_size(GTK_WINDOW(window_), 1280, 800);
  dialogs_.set_parent(GTK_WINDOW(window_));
  page_ = std::make_unique<PageView>(FindAppPaths(), data_folder, *server_, start);
  page_->on_loaded = [this] { loaded_ = true; };
  page_->on_refused = [this](const std::string& uri) { refused_.push_back(uri); };
  gtk_container_add(GTK_CONTAINER(window_), page_->widget());
  gtk_widget_show_all(window_);
  page_->Load();
  loaded_ok_ = RunUntil([this] { return loaded_; });
}

Session::~Session() {
  page_.reset();
  gtk_widget_destroy(window_);
  server_.reset();
}

namespace {

struct Result {
  bool done = false;
  std::string text;
};

void TakeValue(Result* r, JSCValue* value, GError* error) {
  if (value == nullptr) {
    r->text = std::string("ERROR: ") + (error != nullptr ? error->message : "?");
    if (error != nullptr) g_error_free(error);
  } else {
    gchar* text =
        jsc_value_is_string(value) ? jsc_value_to_string(value) : jsc_value_to_json(value, 0);
    r->text = text != nullptr ? text : "undefined";
    g_free(text);
    g_object_unref(value);
  }
  r->done = true;
}

}  // namespace

std::string Session::Eval(const std::string& script, int seconds) {
  Result result;
  webkit_web_view_evaluate_javascript(
      page_->view(), script.c_str(), -1, nullptr, nullptr, nullptr,
      [](GObject* source, GAsyncResult* res, gpointer data) {
        GError* error = nullptr;
        JSCValue* value =
            webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), res, &error);
        TakeValue(static_cast<Result*>(data), value, error);
      },
      &result);
  if (!RunUntil([&] { return result.done; }, seconds)) return "ERROR: timed out";
  return result.text;
}

std::string Session::EvalAsync(const std::string& body, int seconds) {
  Result result;
  webkit_web_view_call_async_javascript_function(
      page_->view(), body.c_str(), -1, nullptr, nullptr, nullptr, nullptr,
      [](GObject* source, GAsyncResult* res, gpointer data) {
        GError* error = nullptr;
        JSCValue* value = webkit_web_view_call_async_javascript_function_finish(
            WEBKIT_WEB_VIEW(source), res, &error);
        TakeValue(static_cast<Result*>(data), value, error);
      },
      &result);
  if (!RunUntil([&] { return result.done; }, seconds)) return "ERROR: timed out";
  return result.text;
}

bool Session::Screenshot(const fs::path& file) {
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

void Pump(int milliseconds) {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (std::chrono::steady_clock::now() < until) {
    g_main_context_iteration(nullptr, FALSE);
    if (!g_main_context_pending(nullptr)) g_usleep(2000);
  }
}

bool Session::Click(int x, int y) {
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

bool Session::ClickOn(const std::string& selector) {
  std::string at = Eval("(function () { var e = document.querySelector(" + Js(selector) +
                        "); if (!e) return ''; e.scrollIntoView(); var r = "
                        "e.getBoundingClientRect(); var x = Math.round(r.left + r.width / 2),"
                        " y = Math.round(r.top + r.height / 2);"
                        " return document.elementFromPoint(x, y) === e ? x + ',' + y : ''; })()");
  std::size_t comma = at.find(',');
  if (comma == std::string::npos) return false;
  return Click(std::stoi(at.substr(0, comma)), std::stoi(at.substr(comma + 1)));
}

int Main(int argc, char** argv, unsigned watchdog_seconds, const char* name) {
  static const char* program = name;
  // Whatever hangs, the run ends by itself well within the test's limit.
  signal(SIGALRM, [](int) {
    static const char kMessage[] = ": watchdog: the run took too long\n";
    ssize_t ignored = write(2, program, std::char_traits<char>::length(program));
    ignored = write(2, kMessage, sizeof kMessage - 1);
    (void)ignored;
    _exit(1);
  });
  alarm(watchdog_seconds);
  g_setenv("GSETTINGS_BACKEND", "memory", TRUE);
  if (!gtk_init_check(&argc, &argv)) {
    std::fprintf(stderr, "%s: no display (run it under xvfb-run)\n", name);
    return 1;
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

}  // namespace vellumine::desktop::e2e
