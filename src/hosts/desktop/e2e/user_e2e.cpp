// The desktop app as a user meets it, on a virtual screen of the size the
// test is run with (1280x800 and 1024x600): the real view, web process and
// dialogs, driven only by clicks and keys sent through the X server
// (xdotool), with the app's own dialogs answered the same way. After each
// step the screen (screenshots of the view and of the whole screen) and the
// data folder are checked; page script is read, never used to act.
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "hosts/desktop/dialog_server.h"
#include "hosts/desktop/e2e/e2e_support.h"
#include "hosts/desktop/page_view.h"
#include "hosts/desktop/screen_fit.h"
#include "page/text.h"
#include "store/records.h"

// Last: the X headers define names (None, Status, ...) the others use.
#include <gdk/gdkx.h>
#undef None
#undef Status
#undef Bool

namespace vellumine::desktop {
namespace {

namespace fs = std::filesystem;
using e2e::Js;
using e2e::kWaitSeconds;
using e2e::Pump;
using e2e::ReadAll;
using e2e::RunUntil;
using e2e::WriteAll;

// A data file's records as UTF-8 texts.
std::vector<std::string> Records(const fs::path& file) {
  const std::string bytes = ReadAll(file);
  RecordReader reader(bytes);
  std::vector<std::string> out;
  for (std::u16string record; reader.Next(&record);) out.push_back(Utf16ToUtf8(record));
  return out;
}

// A field of a window's record in a settings file ("" when it has none):
// WindowField(config, "memo…", "WndTextColor").
std::string WindowField(const fs::path& file, const std::string& window, const std::string& field) {
  const std::vector<std::string> all = Records(file);
  for (const std::string& r : all) {
    if (r.rfind("WndName", 0) != 0 || r.substr(r.find('=') + 1) != window) continue;
    const std::string index = r.substr(7, r.find('=') - 7);
    for (const std::string& f : all) {
      if (f.rfind(field + index + "=", 0) == 0) return f.substr(f.find('=') + 1);
    }
  }
  return "";
}

bool HasRecord(const fs::path& file, const std::string& record) {
  const std::vector<std::string> all = Records(file);
  return std::find(all.begin(), all.end(), record) != all.end();
}

// The value of "Key=value" in a data file ("" when absent).
std::string RecordValue(const fs::path& file, const std::string& key) {
  for (const std::string& r : Records(file)) {
    if (r.rfind(key + "=", 0) == 0) return r.substr(key.size() + 1);
  }
  return "";
}

// Runs a program to its end while this process keeps serving its windows;
// its exit status, -1 when it could not start. out gets its standard output.
int RunProgram(const std::vector<std::string>& argv, std::string* out = nullptr) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  GPid pid = 0;
  gint out_fd = -1;
  if (!g_spawn_async_with_pipes(nullptr, args.data(), nullptr,
                                GSpawnFlags(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD),
                                nullptr, nullptr, &pid, nullptr, out != nullptr ? &out_fd : nullptr,
                                nullptr, nullptr)) {
    return -1;
  }
  struct Child {
    bool done = false;
    int status = 0;
  } child;
  g_child_watch_add(
      pid,
      [](GPid p, gint status, gpointer data) {
        auto* c = static_cast<Child*>(data);
        c->status = status;
        c->done = true;
        g_spawn_close_pid(p);
      },
      &child);
  std::string text;
  if (!RunUntil([&] { return child.done; }, 120)) return -1;
  if (out_fd >= 0) {
    char buf[4096];
    for (ssize_t n; (n = read(out_fd, buf, sizeof buf)) > 0;) text.append(buf, n);
    close(out_fd);
    *out = text;
  }
  return WIFEXITED(child.status) ? WEXITSTATUS(child.status) : -1;
}

// xdotool, the X server's test input: its exit status.
int Xdo(std::vector<std::string> args) {
  args.insert(args.begin(), "xdotool");
  return RunProgram(args);
}

// The same, from inside a dialog's own loop, where the test's loop is not
// running: the input waits in the X queue until the dialog's loop takes it.
void XdoNow(std::vector<std::string> args) {
  args.insert(args.begin(), "xdotool");
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  g_spawn_sync(nullptr, argv.data(), nullptr, G_SPAWN_SEARCH_PATH, nullptr, nullptr, nullptr,
               nullptr, nullptr, nullptr);
}

struct Rect {
  int x = 0, y = 0, width = 0, height = 0;
  bool valid() const { return width > 0 && height > 0; }
  int cx() const { return x + width / 2; }
  int cy() const { return y + height / 2; }
  bool Inside(const Rect& outer) const {
    return x >= outer.x && y >= outer.y && x + width <= outer.x + outer.width &&
           y + height <= outer.y + outer.height;
  }
  bool operator==(const Rect&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Rect& r) {
  return os << r.x << "," << r.y << " " << r.width << "x" << r.height;
}

Rect ParseRect(const std::string& text) {
  Rect r;
  if (std::sscanf(text.c_str(), "%d,%d,%d,%d", &r.x, &r.y, &r.width, &r.height) != 4) return {};
  return r;
}

Rect ScreenRect() {
  GdkRectangle area = WorkArea(nullptr);
  return {area.x, area.y, area.width, area.height};
}

// What a dialog showed when it came up.
struct SeenDialog {
  std::string title;
  std::string text;                  // a message's text
  std::vector<std::string> buttons;  // every labelled button, in tree order
  std::vector<Rect> button_places;   // where each of them stands
  std::string filter;                // a file chooser's filter shown first
  Rect frame;                        // where it stood on the screen
};

Rect WidgetRect(GtkWidget* widget);

void CollectButtons(GtkWidget* widget, SeenDialog& seen) {
  if (GTK_IS_BUTTON(widget) && gtk_widget_get_mapped(widget)) {
    const char* label = gtk_button_get_label(GTK_BUTTON(widget));
    if (label != nullptr) {
      seen.buttons.push_back(label);
      seen.button_places.push_back(WidgetRect(widget));
    }
  }
  if (GTK_IS_CONTAINER(widget)) {
    GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
    for (GList* c = children; c != nullptr; c = c->next) {
      CollectButtons(GTK_WIDGET(c->data), seen);
    }
    g_list_free(children);
  }
}

GtkWidget* FindButton(GtkWidget* widget, const std::string& label) {
  if (GTK_IS_BUTTON(widget) && gtk_widget_get_visible(widget)) {
    const char* l = gtk_button_get_label(GTK_BUTTON(widget));
    if (l != nullptr && label == l) return widget;
  }
  if (!GTK_IS_CONTAINER(widget)) return nullptr;
  GtkWidget* found = nullptr;
  GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
  for (GList* c = children; c != nullptr && found == nullptr; c = c->next) {
    found = FindButton(GTK_WIDGET(c->data), label);
  }
  g_list_free(children);
  return found;
}

// Where a widget stands on the screen.
Rect WidgetRect(GtkWidget* widget) {
  GtkWidget* top = gtk_widget_get_toplevel(widget);
  GdkWindow* window = gtk_widget_get_window(top);
  if (window == nullptr) return {};
  int ox = 0, oy = 0, wx = 0, wy = 0;
  gdk_window_get_origin(window, &ox, &oy);
  gtk_widget_translate_coordinates(widget, top, 0, 0, &wx, &wy);
  GtkAllocation a;
  gtk_widget_get_allocation(widget, &a);
  return {ox + wx, oy + wy, a.width, a.height};
}

// Answers the app's dialogs as the user does. Next() arms it for the next
// dialog that comes up: once it is on the screen, what it shows is kept and
// act runs (inside the dialog's own loop) to answer it with real input.
class DialogWatch {
 public:
  using Act = std::function<void(GtkWindow*)>;
  explicit DialogWatch(GtkWindow* main) : main_(main) {}
  ~DialogWatch() {
    if (source_ != 0) g_source_remove(source_);
  }

  // Acts are taken in turn, one for each dialog that comes up.
  void Next(Act act) {
    acts_.push_back(std::move(act));
    if (source_ == 0) {
      settle_ = 0;
      source_ = g_timeout_add(60, Poll, this);
    }
  }
  const std::vector<SeenDialog>& seen() const { return seen_; }
  bool armed() const { return source_ != 0; }
  // No dialog of the app is on the screen.
  static bool NoneShown(GtkWindow* main) { return Shown(main) == nullptr; }

  // Answers: a click on the button labelled label.
  static Act Click(const std::string& label) {
    return [label](GtkWindow* dialog) {
      GtkWidget* button = FindButton(GTK_WIDGET(dialog), label);
      if (button == nullptr) {
        ADD_FAILURE() << "no button " << label;
        gtk_window_close(dialog);
        return;
      }
      Rect r = WidgetRect(button);
      XdoNow({"mousemove", std::to_string(r.cx()), std::to_string(r.cy()), "click", "1"});
    };
  }
  // Answers with act after keeping a picture of the whole screen in *shot.
  static Act Photographed(GdkPixbuf** shot, Act act) {
    return [shot, act](GtkWindow* dialog) {
      GdkWindow* root = gdk_get_default_root_window();
      *shot = gdk_pixbuf_get_from_window(root, 0, 0, gdk_window_get_width(root),
                                         gdk_window_get_height(root));
      act(dialog);
    };
  }
  // Answers: keys pressed in turn, and text typed where "type:" starts one.
  static Act Keys(std::vector<std::string> keys) {
    return [keys](GtkWindow* dialog) {
      // Without a window manager a new window gets the keys only when told.
      if (GdkWindow* window = gtk_widget_get_window(GTK_WIDGET(dialog))) {
        XdoNow({"windowfocus", "--sync", std::to_string(gdk_x11_window_get_xid(window))});
      }
      Pump(300);  // the dialog takes the focus first
      for (const std::string& k : keys) {
        if (k.rfind("type:", 0) == 0) {
          // Typing goes where the focus is: into a field only once one has
          // it (a slow run may take a while to show the picker's location
          // field), and the next key only once the text is all there.
          const std::string text = k.substr(5);
          RunUntil([dialog] { return GTK_IS_ENTRY(gtk_window_get_focus(dialog)); }, 10);
          XdoNow({"type", "--delay", "25", text});
          RunUntil(
              [dialog, &text] {
                GtkWidget* focus = gtk_window_get_focus(dialog);
                if (!GTK_IS_ENTRY(focus)) return true;
                // A completion may follow what was typed.
                return std::string(gtk_entry_get_text(GTK_ENTRY(focus))).find(text) !=
                       std::string::npos;
              },
              10);
        } else {
          XdoNow({"key", "--delay", "80", k});
        }
        Pump(300);
      }
    };
  }

 private:
  static GtkWindow* Shown(GtkWindow* main) {
    GtkWindow* found = nullptr;
    GList* all = gtk_window_list_toplevels();
    for (GList* w = all; w != nullptr; w = w->next) {
      auto* window = GTK_WINDOW(w->data);
      if (window != main && gtk_widget_get_mapped(GTK_WIDGET(window)) &&
          gtk_window_get_modal(window)) {
        found = window;
      }
    }
    g_list_free(all);
    return found;
  }

  static gboolean Poll(gpointer data) {
    auto* self = static_cast<DialogWatch*>(data);
    GtkWindow* dialog = Shown(self->main_);
    if (dialog == nullptr || dialog == self->last_) {
      self->settle_ = 0;
      return G_SOURCE_CONTINUE;
    }
    // Shown and laid out for a moment, as the user would first see it.
    if (++self->settle_ < 6) return G_SOURCE_CONTINUE;
    SeenDialog seen;
    const char* title = gtk_window_get_title(dialog);
    seen.title = title != nullptr ? title : "";
    CollectButtons(GTK_WIDGET(dialog), seen);
    if (GTK_IS_MESSAGE_DIALOG(dialog)) {
      gchar* text = nullptr;
      g_object_get(dialog, "text", &text, nullptr);
      seen.text = text != nullptr ? text : "";
      g_free(text);
    }
    if (GTK_IS_FILE_CHOOSER(dialog)) {
      GtkFileFilter* filter = gtk_file_chooser_get_filter(GTK_FILE_CHOOSER(dialog));
      if (filter != nullptr && gtk_file_filter_get_name(filter) != nullptr) {
        seen.filter = gtk_file_filter_get_name(filter);
      }
    }
    GdkWindow* window = gtk_widget_get_window(GTK_WIDGET(dialog));
    GdkRectangle frame{};
    if (window != nullptr) gdk_window_get_frame_extents(window, &frame);
    seen.frame = {frame.x, frame.y, frame.width, frame.height};
    self->seen_.push_back(seen);
    self->last_ = dialog;
    self->settle_ = 0;
    Act act = std::move(self->acts_.front());
    self->acts_.pop_front();
    const bool more = !self->acts_.empty();
    if (!more) self->source_ = 0;
    // A dialog the answer did not close would hold the run: it is failed and
    // cancelled after a while.
    g_object_ref(dialog);
    g_timeout_add_seconds(40, Unanswered, dialog);
    if (act) act(dialog);
    return more ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
  }
  static gboolean Unanswered(gpointer data) {
    auto* dialog = static_cast<GtkWindow*>(data);
    if (gtk_widget_get_mapped(GTK_WIDGET(dialog))) {
      const char* title = gtk_window_get_title(dialog);
      ADD_FAILURE() << "the dialog " << (title != nullptr ? title : "") << " was not answered";
      if (const char* keep = g_getenv("USER_E2E_KEEP")) {
        GdkWindow* root = gdk_get_default_root_window();
        GdkPixbuf* shot = gdk_pixbuf_get_from_window(root, 0, 0, gdk_window_get_width(root),
                                                     gdk_window_get_height(root));
        gdk_pixbuf_save(shot, keep, "png", nullptr, nullptr);
        g_object_unref(shot);
      }
      if (GTK_IS_DIALOG(dialog)) gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL);
    }
    g_object_unref(dialog);
    return G_SOURCE_REMOVE;
  }

  GtkWindow* main_;
  GtkWindow* last_ = nullptr;
  std::deque<Act> acts_;
  guint source_ = 0;
  int settle_ = 0;
  std::vector<SeenDialog> seen_;
};

// One run of the app's window on a data folder: a window sized as the app
// sizes its own, the page in it, and dialogs the user answers.
class Session {
 public:
  explicit Session(const std::string& data_folder) {
    server_ = std::make_unique<DialogServer>(dialogs_);
    EXPECT_TRUE(server_->Start());
    window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window_), "Vellumine");
    FitWindow(GTK_WINDOW(window_), 1280, 800);
    dialogs_.set_parent(GTK_WINDOW(window_));
    page_ = std::make_unique<PageView>(FindAppPaths(), data_folder, *server_);
    page_->on_loaded = [this] { loaded_ = true; };
    gtk_container_add(GTK_CONTAINER(window_), page_->widget());
    gtk_window_move(GTK_WINDOW(window_), 0, 0);
    gtk_widget_show_all(window_);
    page_->Load();
    loaded_ok_ = RunUntil([this] { return loaded_; });
    // The page's own start-up work (after its load event) settles.
    loaded_ok_ = loaded_ok_ && RunUntil([this] {
                   return Eval("String(!!document.querySelector('#menumini [data-kb]'))") == "true";
                 });
    watch_ = std::make_unique<DialogWatch>(GTK_WINDOW(window_));
    Pump(200);
  }
  ~Session() {
    watch_.reset();
    page_.reset();
    gtk_widget_destroy(window_);
    server_.reset();
  }

  bool loaded() const { return loaded_ok_; }
  GtkWindow* window() const { return GTK_WINDOW(window_); }
  DialogWatch& watch() { return *watch_; }

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
  // Waits until the script's value reads "true".
  bool WaitFor(const std::string& condition, int seconds = 10) {
    return RunUntil([&] { return Eval("String(!!(" + condition + "))") == "true"; }, seconds);
  }

  // The view's origin on the screen.
  Rect View() {
    Rect r = WidgetRect(page_->widget());
    return r;
  }
  // Where the first element matching selector is seen on the screen (its
  // bounding box, transforms included); invalid when there is none.
  Rect At(const std::string& selector) {
    Rect page = ParseRect(
        Eval("(function () { var e = document.querySelector(" + Js(selector) +
             "); if (!e) return ''; var r = e.getBoundingClientRect(); return [Math.round(r.left),"
             " Math.round(r.top), Math.round(r.width), Math.round(r.height)].join(','); })()"));
    if (!page.valid()) return {};
    Rect view = View();
    return {view.x + page.x, view.y + page.y, page.width, page.height};
  }
  // A real click in the middle of the element; false when it is not there or
  // something else stands in front of it.
  bool Click(const std::string& selector) {
    const std::string covered =
        Eval("(function () { var e = document.querySelector(" + Js(selector) +
             "); if (!e) return 'missing'; var r = e.getBoundingClientRect(); var h ="
             " document.elementFromPoint(r.left + r.width / 2, r.top + r.height / 2);"
             " return h && (h === e || e.contains(h)) ? 'ok' : 'covered'; })()");
    if (covered != "ok") {
      ADD_FAILURE() << selector << ": " << covered;
      return false;
    }
    Rect r = At(selector);
    return ClickAt(r.cx(), r.cy());
  }
  bool ClickAt(int x, int y) {
    // No --sync: it waits for a move that never comes when the pointer is
    // there already; the server takes the move before the click anyway.
    bool ok = Xdo({"mousemove", std::to_string(x), std::to_string(y), "click", "1"}) == 0;
    Pump(150);
    return ok;
  }
  // Presses, moves in steps and lets go: a drag.
  bool Drag(int x, int y, int to_x, int to_y) {
    bool ok = Xdo({"mousemove", std::to_string(x), std::to_string(y), "mousedown", "1"}) == 0;
    for (int i = 1; i <= 5; ++i) {
      ok = ok && Xdo({"mousemove", std::to_string(x + (to_x - x) * i / 5),
                      std::to_string(y + (to_y - y) * i / 5)}) == 0;
    }
    ok = ok && Xdo({"mouseup", "1"}) == 0;
    Pump(150);
    return ok;
  }
  // Keys go to this window, as they do once the user has clicked into it
  // (without a window manager, a closed dialog hands the focus to no one).
  void TakeFocus() {
    if (GdkWindow* gdk = gtk_widget_get_window(window_)) {
      Xdo({"windowfocus", "--sync", std::to_string(gdk_x11_window_get_xid(gdk))});
    }
  }
  bool Keys(const std::vector<std::string>& keys) {
    TakeFocus();
    std::vector<std::string> args = {"key", "--delay", "60"};
    args.insert(args.end(), keys.begin(), keys.end());
    bool ok = Xdo(args) == 0;
    Pump(150);
    return ok;
  }
  bool Type(const std::string& text) {
    TakeFocus();
    bool ok = Xdo({"type", "--delay", "30", text}) == 0;
    Pump(150);
    return ok;
  }
  // What has the keyboard focus in the page: its tag, id and text.
  std::string Focused() {
    return Eval(
        "(function () { var e = document.activeElement; if (!e) return ''; return e.tagName +"
        " '#' + e.id + ':' + (e.getAttribute('aria-label') || e.value || e.textContent ||"
        " '').trim(); })()");
  }
  // Presses Tab until the focus is on what matches selector; false after
  // limit presses.
  bool TabTo(const std::string& selector, int limit = 60) {
    std::string trail;
    for (int i = 0; i < limit; ++i) {
      if (Eval("String(document.activeElement === document.querySelector(" + Js(selector) + "))") ==
          "true") {
        return true;
      }
      trail += " | " + Focused();
      Keys({"Tab"});
    }
    ADD_FAILURE() << "Tab never reached " << selector << ":" << trail;
    return false;
  }

  // With USER_E2E_SHOTS set to a folder, keeps what the view shows there as
  // name.png, for a person to look at.
  void Keep(const std::string& name) {
    const char* folder = g_getenv("USER_E2E_SHOTS");
    if (folder == nullptr) return;
    cairo_surface_t* shot = Snapshot();
    if (shot == nullptr) return;
    cairo_surface_write_to_png(shot, (fs::path(folder) / (name + ".png")).c_str());
    cairo_surface_destroy(shot);
  }

  // The view as a picture.
  cairo_surface_t* Snapshot() {
    struct Shot {
      bool done = false;
      cairo_surface_t* surface = nullptr;
    } shot;
    webkit_web_view_get_snapshot(
        page_->view(), WEBKIT_SNAPSHOT_REGION_VISIBLE, WEBKIT_SNAPSHOT_OPTIONS_NONE, nullptr,
        [](GObject* source, GAsyncResult* res, gpointer data) {
          auto* s = static_cast<Shot*>(data);
          s->surface = webkit_web_view_get_snapshot_finish(WEBKIT_WEB_VIEW(source), res, nullptr);
          s->done = true;
        },
        &shot);
    RunUntil([&] { return shot.done; });
    return shot.surface;
  }

 private:
  Dialogs dialogs_;
  std::unique_ptr<DialogServer> server_;
  GtkWidget* window_ = nullptr;
  std::unique_ptr<PageView> page_;
  std::unique_ptr<DialogWatch> watch_;
  bool loaded_ = false;
  bool loaded_ok_ = false;
};

struct Rgb {
  int r = 0, g = 0, b = 0;
};

// How many pixels of region (page coordinates) in a view snapshot lie within
// tolerance of colour.
int CountColour(cairo_surface_t* surface, const Rect& region, Rgb colour, int tolerance = 40) {
  if (surface == nullptr) return -1;
  cairo_surface_flush(surface);
  const int w = cairo_image_surface_get_width(surface);
  const int h = cairo_image_surface_get_height(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  const unsigned char* data = cairo_image_surface_get_data(surface);
  int n = 0;
  for (int y = std::max(0, region.y); y < std::min(h, region.y + region.height); ++y) {
    for (int x = std::max(0, region.x); x < std::min(w, region.x + region.width); ++x) {
      const auto* p = reinterpret_cast<const std::uint32_t*>(data + y * stride) + x;
      const int r = (*p >> 16) & 0xff, g = (*p >> 8) & 0xff, b = *p & 0xff;
      if (std::abs(r - colour.r) + std::abs(g - colour.g) + std::abs(b - colour.b) <= tolerance) {
        ++n;
      }
    }
  }
  return n;
}

// The same on a screen shot.
int CountColour(GdkPixbuf* pixbuf, const Rect& region, Rgb colour, int tolerance = 40) {
  if (pixbuf == nullptr) return -1;
  const int w = gdk_pixbuf_get_width(pixbuf), h = gdk_pixbuf_get_height(pixbuf);
  const int stride = gdk_pixbuf_get_rowstride(pixbuf), channels = gdk_pixbuf_get_n_channels(pixbuf);
  const guchar* data = gdk_pixbuf_get_pixels(pixbuf);
  int n = 0;
  for (int y = std::max(0, region.y); y < std::min(h, region.y + region.height); ++y) {
    for (int x = std::max(0, region.x); x < std::min(w, region.x + region.width); ++x) {
      const guchar* p = data + y * stride + x * channels;
      if (std::abs(p[0] - colour.r) + std::abs(p[1] - colour.g) + std::abs(p[2] - colour.b) <=
          tolerance) {
        ++n;
      }
    }
  }
  return n;
}

// A picture file of one colour.
void WritePicture(const fs::path& file, double r, double g, double b) {
  fs::create_directories(file.parent_path());
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 64, 48);
  cairo_t* cr = cairo_create(s);
  cairo_set_source_rgb(cr, r, g, b);
  cairo_paint(cr);
  cairo_destroy(cr);
  cairo_surface_write_to_png(s, file.c_str());
  cairo_surface_destroy(s);
}

class UserApp : public ::testing::Test {
 protected:
  void SetUp() override {
    gchar* dir = g_dir_make_tmp("vellumine-user-XXXXXX", nullptr);
    ASSERT_NE(dir, nullptr);
    root_ = dir;
    g_free(dir);
    data_ = root_ / "data";
    folder_ = data_.string() + "/";
    files_ = root_ / "files";
    fs::create_directories(files_);
    screen_ = ScreenRect();
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }
  // Calls of the headless runner on the same folder, to set up data.
  void Runner(const std::string& script) {
    WriteAll(root_ / "setup.jsonl", script);
    std::string out;
    ASSERT_EQ(
        RunProgram({VELLUMINE_CLI, "--data", data_.string(), (root_ / "setup.jsonl").string()},
                   &out),
        0)
        << out;
  }
  fs::path Config() const { return data_ / "config"; }

  fs::path root_, data_, files_;
  std::string folder_;
  Rect screen_;
};

// ---------------------------------------------------------------------------
// The keyboard

TEST_F(UserApp, TheLauncherOpensAndClosesFromTheKeyboardWithAFocusRingOnTheWay) {
  Session s(folder_);
  ASSERT_TRUE(s.loaded());
  // Tab from the start of the page reaches the launcher's button first.
  ASSERT_TRUE(s.TabTo("#menumini pre", 3));
  EXPECT_EQ(s.Eval("document.querySelector('#menumini pre').getAttribute('role')"), "button");
  // The ring is drawn: blue round the button that was not there before.
  Rect button = s.At("#menumini pre");
  Rect view = s.View();
  Rect around{button.x - view.x - 6, button.y - view.y - 6, button.width + 12, button.height + 12};
  s.Keep("focus-ring");
  cairo_surface_t* ring = s.Snapshot();
  EXPECT_GT(CountColour(ring, around, {0x2f, 0x6f, 0xd0}), 40);
  cairo_surface_destroy(ring);

  ASSERT_TRUE(s.Keys({"Return"}));
  ASSERT_TRUE(s.WaitFor("isShown(el('menunormal'))"));
  EXPECT_EQ(s.Eval("document.querySelector('#menumini pre').getAttribute('aria-expanded')"),
            "true");
  // The focus went into the launcher; Esc closes it and comes back.
  EXPECT_NE(s.Focused().find("カレンダー"), std::string::npos) << s.Focused();
  ASSERT_TRUE(s.Keys({"Escape"}));
  ASSERT_TRUE(s.WaitFor("!isShown(el('menunormal'))"));
  EXPECT_TRUE(s.WaitFor("document.activeElement === document.querySelector('#menumini pre')"));
  cairo_surface_t* closed = s.Snapshot();
  EXPECT_GT(CountColour(closed, around, {0x2f, 0x6f, 0xd0}), 40);
  cairo_surface_destroy(closed);
}

// The id of the first memo window, and of the first link menu window.
constexpr char kFirstMemo[] = "document.querySelector('#memofield > div').id";
constexpr char kFirstMenu[] = "document.querySelector('#linkfield > div').id";

TEST_F(UserApp, AMemoIsWrittenSavedStyledAndMovedWithTheKeyboardOnly) {
  Session s(folder_);
  ASSERT_TRUE(s.loaded());
  // To the memo list's "メモの追加", Enter: the form opens with the focus in
  // its title.
  ASSERT_TRUE(s.TabTo("#memo pre[onmouseup^='memofrm']"));
  ASSERT_TRUE(s.Keys({"Return"}));
  ASSERT_TRUE(s.WaitFor("isShown(el('memoinput'))"));
  EXPECT_TRUE(s.WaitFor("document.activeElement === document.forms.memofrm.subject"));
  // Esc closes it, and the focus goes back to where it was opened.
  ASSERT_TRUE(s.Keys({"Escape"}));
  ASSERT_TRUE(s.WaitFor("!isShown(el('memoinput'))"));
  EXPECT_TRUE(
      s.WaitFor("document.activeElement === "
                "document.querySelector(\"#memo pre[onmouseup^='memofrm']\")"))
      << s.Focused();
  ASSERT_TRUE(s.Keys({"space"}));
  ASSERT_TRUE(s.WaitFor("document.activeElement === document.forms.memofrm.subject"));
  ASSERT_TRUE(s.Type("Milk"));
  ASSERT_TRUE(s.Keys({"Tab"}));
  ASSERT_TRUE(s.Type("two bottles"));
  // Back to the title; Enter there saves.
  ASSERT_TRUE(s.Keys({"shift+Tab", "Return"}));
  ASSERT_TRUE(s.WaitFor("document.querySelectorAll('#memofield > div').length == 1"));
  EXPECT_TRUE(s.WaitFor("!isShown(el('memoinput'))"));
  ASSERT_EQ(Records(data_ / "memolist").size(), 2u);
  const std::string memo = s.Eval(kFirstMemo);
  EXPECT_TRUE(HasRecord(data_ / "memo" / memo.substr(4), "Subject=Milk"));
  EXPECT_TRUE(HasRecord(data_ / "memo" / memo.substr(4), "Message=two bottles"));

  // Its settings, from the keyboard: "設定", then 個別設定 on and the text
  // colour stepped from Black to Red.
  ASSERT_TRUE(s.TabTo("#" + memo + " pre[onmouseup^='setview']"));
  ASSERT_TRUE(s.Keys({"Return"}));
  const std::string own = "#" + memo + "_view_value [id='" + memo + "Default']";
  ASSERT_TRUE(s.WaitFor("document.activeElement === document.querySelector(" + Js(own) + ")"));
  EXPECT_EQ(s.Eval("document.activeElement.getAttribute('aria-label')"), "個別設定:無効");
  ASSERT_TRUE(s.Keys({"space"}));
  ASSERT_TRUE(s.WaitFor("document.querySelector(" + Js(own) + ").textContent == '有効'"));
  // The focus stayed on the line it was on.
  EXPECT_EQ(s.Eval("document.activeElement.id"), memo + "Default");
  ASSERT_TRUE(s.Keys({"Tab"}));
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(s.Keys({"Return"}));
  EXPECT_TRUE(RunUntil([&] { return WindowField(Config(), memo, "WndTextColor") == "8"; }, 10));
  EXPECT_EQ(WindowField(Config(), memo, "WndDefault"), "1");
  // Back to the memo: it shows in red.
  ASSERT_TRUE(s.TabTo("#" + memo + "_view_value pre[onmouseup^=\"setview('" + memo + "_main'\"]"));
  ASSERT_TRUE(s.Keys({"Return"}));
  EXPECT_TRUE(s.WaitFor("getComputedStyle(document.getElementById('subject" + memo.substr(4) +
                        "')).color == 'rgb(255, 0, 0)'"));

  // Its title line moves it: three steps right, one down.
  ASSERT_TRUE(s.TabTo("#subject" + memo.substr(4)));
  const Rect before = s.At("#" + memo);
  ASSERT_TRUE(s.Keys({"Right", "Right", "Right", "Down"}));
  EXPECT_TRUE(RunUntil([&] { return s.At("#" + memo).x == before.x + 48; }, 10))
      << s.At("#" + memo) << " was " << before;
  EXPECT_EQ(s.At("#" + memo).y, before.y + 16);
  EXPECT_EQ(WindowField(Config(), memo, "WndPos.x"),
            s.Eval("String(el(" + Js(memo) + ").offsetLeft)"));
  EXPECT_EQ(WindowField(Config(), memo, "WndPos.y"),
            s.Eval("String(el(" + Js(memo) + ").offsetTop)"));
}

TEST_F(UserApp, EveryControlLineHasARoleANameAndAPlaceInTheTabOrder) {
  Runner(R"(["InitPage"]
["AddMemo","Milk","two"]
["MakeLinkMenu","Work",-1]
)");
  Session s(folder_);
  ASSERT_TRUE(s.loaded());
  // Every shown line with a handler is a named button the keyboard reaches
  // (the calendar's days by the arrow keys, one of them by Tab).
  EXPECT_EQ(s.Eval(R"JS(
    (function () {
      var bad = [], list = document.querySelectorAll('[onmouseup]');
      for (var i = 0; i < list.length; ++i) {
        var e = list[i];
        if (!e.getClientRects().length || getComputedStyle(e).visibility == 'hidden') continue;
        var w = windowOf(e);
        if (/^\s*movewnd/.test(e.getAttribute('onmouseup')) &&
            w.querySelector("[onmouseup^='movewnd']") !== e) continue;
        var named = (e.getAttribute('aria-label') || e.textContent).trim() != '';
        if (e.getAttribute('role') != 'button' || !e.hasAttribute('tabindex') || !named)
          bad.push(e.outerHTML.slice(0, 80));
      }
      return bad.join('\n');
    })())JS"),
            "");
  EXPECT_EQ(s.Eval("document.querySelectorAll('#calender div[onmouseup][tabindex=\"0\"]').length"),
            "1");
  // Windows are named groups, forms named dialogs.
  EXPECT_EQ(s.Eval("el('memo').getAttribute('role') + ':' + el('memo').getAttribute('aria-label')"),
            "group:メモ");
  EXPECT_EQ(s.Eval("el('memoinput').getAttribute('role')"), "dialog");
  const std::string menu = s.Eval(kFirstMenu);
  EXPECT_EQ(s.Eval("el(" + Js(menu) + ").getAttribute('aria-label')"), "Work");
  // The arrows of an option say what they step.
  EXPECT_EQ(s.Eval("document.querySelector(\"#option_menu span.step[onmouseup*=',1)']\")"
                   ".getAttribute('aria-label')"),
            "文字色を進める");
  EXPECT_EQ(s.Eval("document.querySelectorAll(\"#option_menu span.step\")[2]"
                   ".getAttribute('aria-label')"),
            "フォントサイズを戻す");
}

// A change is decorated where it lands: taking a window's leading title line
// away makes the next one lead, named for the window.
TEST_F(UserApp, WhenATitleLineGoesTheNextOneLeadsItsWindow) {
  Runner("[\"InitPage\"]\n");
  Session s(folder_);
  ASSERT_TRUE(s.loaded());
  ASSERT_EQ(s.Eval("el('monthname').remove(); 'gone'"), "gone");
  EXPECT_TRUE(
      s.WaitFor("(function () { var h = el('calender').querySelector(\"[onmouseup^='movewnd']\");"
                " return h.getAttribute('role') == 'button' && h.getAttribute('tabindex') == '0' &&"
                " h.getAttribute('aria-label') == 'カレンダー（矢印キーで移動）'; })()"))
      << s.Eval("el('calender').querySelector(\"[onmouseup^='movewnd']\").outerHTML");
}

// A menu shown with one link more: only the new line gets the keyboard's
// marks and a name; the lines and windows that were there are left alone
// (a hundred menus redrawn would otherwise be marked again line by line).
TEST_F(UserApp, ALineMoreIsMarkedAloneWhenEveryMenuIsRedrawn) {
  std::string script =
      "[\"InitPage\"]\n[\"MakeLinkMenu\",\"One\",-1]\n[\"MakeLinkMenu\",\"Two\",-1]\n";
  for (int i = 0; i < 12; ++i) {
    const fs::path file = files_ / ("note" + std::to_string(i) + ".txt");
    WriteAll(file, "x");
    for (int menu = 0; menu < 2; ++menu) {
      script += "[\"AddLink\"," + Js(file.string()) + "," + std::to_string(menu) + "]\n";
    }
  }
  Runner(script);
  Session s(folder_);
  ASSERT_TRUE(s.loaded());
  // What each element of the menus was: a line whose handler or text
  // changes is named again, as a new line is; nothing else may be touched.
  ASSERT_EQ(s.Eval(R"JS(
    var was = new Map(), touched = new Set();
    for (var e of document.querySelectorAll("#linkfield *")) {
      was.set(e, e.getAttribute("onmouseup") + "|" + e.textContent);
    }
    var seen = new MutationObserver(function (records) {
      for (var r of records) touched.add(r.target);
    });
    seen.observe(document.body, { subtree: true, attributes: true,
                                  attributeFilter: ["data-kb", "role", "tabindex", "aria-label"] });
    Skerrow.ChangeOption(document, "LinkItemNum", 1);
    "called")JS"),
            "called");
  Pump(300);
  EXPECT_EQ(s.Eval(R"JS(
    seen.takeRecords().forEach(function (r) { touched.add(r.target); });
    seen.disconnect();
    var lines = document.querySelectorAll("#linkfield pre[onmouseup^='Skerrow.Open']");
    var unmarked = Array.from(lines).filter(function (e) {
      return e.getAttribute("role") != "button" || e.getAttribute("tabindex") != "0";
    });
    var needless = Array.from(touched).filter(function (e) {
      return was.get(e) === e.getAttribute("onmouseup") + "|" + e.textContent;
    });
    lines.length + " lines, " + unmarked.length + " unmarked, " + needless.length +
        " marked again as they were: " + needless.map(function (e) { return e.outerHTML.slice(0, 60); }))JS"),
            "22 lines, 0 unmarked, 0 marked again as they were: ");
}

// Opens the settings panel the way the user does: the launcher, then 設定.
void OpenSettings(Session& s) {
  ASSERT_TRUE(s.Click("#menumini pre"));
  ASSERT_TRUE(s.WaitFor("isShown(el('menunormal'))"));
  ASSERT_TRUE(s.Click("#menunormal pre[data-wnd='option']"));
  ASSERT_TRUE(s.WaitFor("isShown(el('option'))"));
}

// Types a path into an open file chooser and confirms it.
DialogWatch::Act TypePath(const std::string& path) {
  return DialogWatch::Keys({"ctrl+l", "type:" + path, "Return"});
}

// Gives a memo window its own colour with clicks: 設定, 個別設定 on, the
// text colour stepped from Black to Red, back.
void MakeRed(Session& s, const std::string& memo) {
  ASSERT_TRUE(s.Click("#" + memo + " pre[onmouseup^='setview']"));
  const std::string view = "#" + memo + "_view_value ";
  ASSERT_TRUE(s.WaitFor("document.querySelector(" + Js(view + "[id='" + memo + "Default']") + ")"));
  ASSERT_TRUE(s.Click(view + "[id='" + memo + "Default']"));
  for (int i = 0; i < 5; ++i) {
    ASSERT_TRUE(s.Click(view + "[id='" + memo + "TextColor']"));
  }
  ASSERT_TRUE(s.WaitFor("document.querySelector(" + Js(view + "[id='" + memo + "TextColor']") +
                        ").textContent == '文字色:Red'"));
  ASSERT_TRUE(s.Click(view + "pre[onmouseup^=\"setview('" + memo + "_main'\"]"));
  ASSERT_TRUE(s.WaitFor("document.getElementById('subject" + memo.substr(4) + "')"));
}

// How many red pixels the view shows in an element's box.
int RedIn(Session& s, const std::string& selector) {
  Rect r = s.At(selector), view = s.View();
  cairo_surface_t* shot = s.Snapshot();
  int n = CountColour(shot, {r.x - view.x, r.y - view.y, r.width, r.height}, {255, 0, 0}, 120);
  cairo_surface_destroy(shot);
  return n;
}

// ---------------------------------------------------------------------------
// Layouts and styles

TEST_F(UserApp, ALayoutMadeBeforeTheFirstWallpaperStaysWhenItIsChosenAndAfterARestart) {
  WritePicture(files_ / "sea.png", 0.1, 0.3, 0.8);
  Runner("[\"InitPage\"]\n[\"AddMemo\",\"Milk\",\"two\"]\n");
  Rect moved;
  std::string memo;
  {
    Session s(folder_);
    ASSERT_TRUE(s.loaded());
    memo = s.Eval(kFirstMemo);
    // The calendar dragged by its title to another place.
    Rect title = s.At("#monthname");
    ASSERT_TRUE(s.Drag(title.cx(), title.cy(), title.cx() - 300, title.cy() + 150));
    ASSERT_TRUE(RunUntil([&] { return WindowField(Config(), "calender", "WndPos.x") != ""; }, 10));
    moved = s.At("#calender");
    // The memo in its own red.
    MakeRed(s, memo);
    ASSERT_TRUE(RunUntil([&] { return WindowField(Config(), memo, "WndTextColor") == "8"; }, 10));
    EXPECT_GT(RedIn(s, "#subject" + memo.substr(4)), 20);

    // The first wallpaper: added with the picker, chosen in the list.
    OpenSettings(s);
    s.watch().Next(TypePath((files_ / "sea.png").string()));
    ASSERT_TRUE(s.Click("#wallpaper input[value='壁紙の追加']"));
    ASSERT_TRUE(s.WaitFor("el('wplist').options.length == 1"));
    ASSERT_EQ(s.watch().seen().size(), 1u);
    EXPECT_EQ(s.watch().seen()[0].filter, "画像ファイル");
    ASSERT_TRUE(s.Click("#wplist option"));
    ASSERT_TRUE(s.Click("#wallpaper input[value='設定']"));
    ASSERT_TRUE(
        s.WaitFor("el('bgimg').getAttribute('src') == " + Js((files_ / "sea.png").string())));
    // Nothing moved or lost its colour on the screen.
    EXPECT_EQ(s.At("#calender"), moved);
    EXPECT_GT(RedIn(s, "#subject" + memo.substr(4)), 20);
  }
  // Both the page's and the wallpaper's settings keep the arrangement.
  EXPECT_EQ(RecordValue(Config(), "WPNo"), "0");
  EXPECT_EQ(WindowField(Config(), memo, "WndTextColor"), "8");
  EXPECT_EQ(WindowField(Config(), memo, "WndDefault"), "1");
  EXPECT_NE(WindowField(Config(), "calender", "WndPos.x"), "");
  const std::string key = Records(data_ / "wplist").at(1).substr(5);
  EXPECT_EQ(WindowField(data_ / "wp" / key, memo, "WndTextColor"), "8");
  EXPECT_EQ(WindowField(data_ / "wp" / key, "calender", "WndPos.x"),
            WindowField(Config(), "calender", "WndPos.x"));

  // A restart shows it all again.
  Session again(folder_);
  ASSERT_TRUE(again.loaded());
  EXPECT_EQ(again.At("#calender"), moved);
  EXPECT_GT(RedIn(again, "#subject" + memo.substr(4)), 20);
}

TEST_F(UserApp, AddingAMemoKeepsTheOtherMemosOwnColourAndDoesNotCoverIt) {
  Runner("[\"InitPage\"]\n[\"AddMemo\",\"First\",\"one\"]\n");
  Session s(folder_);
  ASSERT_TRUE(s.loaded());
  const std::string first = s.Eval(kFirstMemo);
  MakeRed(s, first);
  const Rect first_place = s.At("#" + first);
  // A second memo, written in the form with clicks and typing.
  ASSERT_TRUE(s.Click("#memo pre[onmouseup^='memofrm']"));
  ASSERT_TRUE(s.WaitFor("isShown(el('memoinput'))"));
  ASSERT_TRUE(s.Click("#memofrm input[name='subject']"));
  ASSERT_TRUE(s.Type("Second"));
  ASSERT_TRUE(s.Click("#memofrm textarea"));
  ASSERT_TRUE(s.Type("two"));
  ASSERT_TRUE(s.Click("#memofrm input[value='保存']"));
  ASSERT_TRUE(s.WaitFor("document.querySelectorAll('#memofield > div').length == 2"));
  const std::string second = s.Eval("document.querySelectorAll('#memofield > div')[1].id");
  // The first memo is still red on the screen, where it was.
  EXPECT_TRUE(s.WaitFor("getComputedStyle(document.getElementById('subject" + first.substr(4) +
                        "')).color == 'rgb(255, 0, 0)'"));
  EXPECT_GT(RedIn(s, "#subject" + first.substr(4)), 20);
  EXPECT_EQ(s.At("#" + first), first_place);
  // The new one stands apart from it, and is stored there.
  const Rect second_place = s.At("#" + second);
  EXPECT_FALSE(second_place.x == first_place.x && second_place.y == first_place.y)
      << second_place << " on " << first_place;
  EXPECT_EQ(WindowField(Config(), second, "WndPos.x"),
            std::to_string(std::stoi(WindowField(Config(), first, "WndPos.x")) + 28));
  EXPECT_EQ(WindowField(Config(), first, "WndTextColor"), "8");
}

// ---------------------------------------------------------------------------
// Dialogs

bool Contains(const std::vector<std::string>& all, const std::string& one) {
  return std::find(all.begin(), all.end(), one) != all.end();
}

TEST_F(UserApp, DeletingAMemoOrAWallpaperAsksInTheAppsOwnDialog) {
  WritePicture(files_ / "sea.png", 0.1, 0.3, 0.8);
  Runner("[\"InitPage\"]\n[\"AddMemo\",\"Milk\",\"two\"]\n[\"AddWallPaper\"," +
         Js((files_ / "sea.png").string()) + "]\n[\"SetBG\",0]\n");
  Session s(folder_);
  ASSERT_TRUE(s.loaded());
  const std::string memo = s.Eval(kFirstMemo);
  ASSERT_TRUE(s.Click("#" + memo + " pre[onmouseup^='trinputfield']"));  // 編集
  ASSERT_TRUE(s.WaitFor("isShown(el('memoinput')) && isShown(el('memoremove'))"));
  GdkPixbuf* screen = nullptr;
  s.watch().Next(DialogWatch::Photographed(&screen, DialogWatch::Click("いいえ")));
  ASSERT_TRUE(s.Click("#memoremove"));
  ASSERT_TRUE(RunUntil([&] { return s.watch().seen().size() == 1; }));
  const SeenDialog asked = s.watch().seen()[0];
  EXPECT_EQ(asked.title, "Vellumine");
  EXPECT_EQ(asked.text, "このメモを削除してよろしいですか？");
  EXPECT_TRUE(Contains(asked.buttons, "はい") && Contains(asked.buttons, "いいえ"));
  for (const char* foreign : {"OK", "Cancel", "_OK", "_Cancel"}) {
    EXPECT_FALSE(Contains(asked.buttons, foreign)) << foreign;
  }
  EXPECT_TRUE(asked.frame.Inside(screen_)) << asked.frame;
  // On the screen it is the dialog's light panel, not the page behind it.
  ASSERT_NE(screen, nullptr);
  const Rect& f = asked.frame;
  EXPECT_GT(CountColour(screen, {f.x, f.y, f.width, f.height}, {0xf6, 0xf5, 0xf4}, 30),
            f.width * f.height / 2);
  g_object_unref(screen);
  Pump(300);
  EXPECT_EQ(Records(data_ / "memolist").size(), 2u);  // No: still there

  s.watch().Next(DialogWatch::Click("はい"));
  ASSERT_TRUE(s.Click("#memoremove"));
  ASSERT_TRUE(s.WaitFor("document.querySelectorAll('#memofield > div').length == 0"));
  EXPECT_TRUE(Records(data_ / "memolist").empty());

  // The wallpaper, chosen in the list and removed with 削除.
  OpenSettings(s);
  ASSERT_TRUE(s.Click("#wplist option"));
  s.watch().Next(DialogWatch::Click("はい"));
  ASSERT_TRUE(s.Click("#wallpaper input[value='削除']"));
  ASSERT_TRUE(s.WaitFor("el('wplist').options.length == 0"));
  ASSERT_EQ(s.watch().seen().size(), 3u);
  EXPECT_EQ(s.watch().seen()[2].title, "Vellumine");
  EXPECT_NE(s.watch().seen()[2].text.find("壁紙を一覧から外して"), std::string::npos);
  EXPECT_TRUE(Contains(s.watch().seen()[2].buttons, "はい"));
  EXPECT_TRUE(Records(data_ / "wplist").empty());
}

// ---------------------------------------------------------------------------
// Small screens

TEST_F(UserApp, TheWindowThePagesWindowsAndTheDialogsFitTheScreen) {
  // The calendar stored where only a larger screen shows it.
  Runner(
      "[\"InitPage\"]\n[\"SetWndPos\",\"calender\",1210,760,1]\n[\"AddMemo\",\"Milk\",\"two\"]\n"
      "[\"MakeLinkMenu\",\"Work\",-1]\n");
  {
    Session s(folder_);
    ASSERT_TRUE(s.loaded());
    const Rect view = s.View();
    EXPECT_TRUE(view.Inside(screen_)) << view << " on " << screen_;
    for (const std::string& w :
         {std::string("#calender"), std::string("#schedule"), std::string("#memo"),
          std::string("#link"), std::string("#memofield > div"), std::string("#linkfield > div")}) {
      EXPECT_TRUE(s.At(w).Inside(view)) << w << " at " << s.At(w) << " in " << view;
    }
    // Shown where it fits; stored where it was until the user moves it.
    EXPECT_EQ(WindowField(Config(), "calender", "WndPos.x"), "1210");
    // The forms open inside the screen too.
    ASSERT_TRUE(s.Click("#link pre[onmouseup^='linkfrm']"));
    ASSERT_TRUE(s.WaitFor("isShown(el('linkinput'))"));
    EXPECT_TRUE(s.At("#linkinput").Inside(view)) << s.At("#linkinput");

    // The pickers fit, with their buttons on the screen.
    s.watch().Next(DialogWatch::Click("キャンセル"));
    ASSERT_TRUE(s.Click("#linkfrm input[value='ファイル']"));
    ASSERT_TRUE(RunUntil([&] { return s.watch().seen().size() == 1; }));
    s.watch().Next(DialogWatch::Click("キャンセル"));
    ASSERT_TRUE(s.Click("#linkfrm input[value='フォルダ']"));
    ASSERT_TRUE(RunUntil([&] { return s.watch().seen().size() == 2; }));
    ASSERT_TRUE(s.Click("#linkfrm input[value='閉じる']"));
    OpenSettings(s);
    EXPECT_TRUE(s.At("#option").Inside(view)) << s.At("#option");
    s.watch().Next(DialogWatch::Click("キャンセル"));
    ASSERT_TRUE(s.Click("#MenuFont"));
    ASSERT_TRUE(RunUntil([&] { return s.watch().seen().size() == 3; }));
    for (const SeenDialog& d : s.watch().seen()) {
      EXPECT_TRUE(d.frame.Inside(screen_)) << d.title << " at " << d.frame << " on " << screen_;
      for (std::size_t i = 0; i < d.buttons.size(); ++i) {
        if (d.buttons[i] == "キャンセル" || d.buttons[i] == "開く" || d.buttons[i] == "選択") {
          EXPECT_TRUE(d.button_places[i].Inside(screen_))
              << d.title << ": " << d.buttons[i] << " at " << d.button_places[i];
        }
      }
      for (const char* foreign : {"_Cancel", "_Select", "Cancel", "Select"}) {
        EXPECT_FALSE(Contains(d.buttons, foreign)) << d.title << ": " << foreign;
      }
    }
    EXPECT_EQ(s.watch().seen()[0].title, "ファイルを開く");
    EXPECT_EQ(s.watch().seen()[0].filter, "全てのファイル");
  }

  // The app itself opens inside the screen's work area, and so does its
  // rendering of the page.
  GPid pid = 0;
  const char* argv[] = {VELLUMINE_APP, "--data", data_.c_str(), nullptr};
  ASSERT_TRUE(g_spawn_async(nullptr, const_cast<char**>(argv), nullptr, G_SPAWN_DEFAULT, nullptr,
                            nullptr, &pid, nullptr));
  // xdotool walks the whole window tree and gives up (BadWindow) when a
  // window goes away under it, as the dialogs above may still be doing:
  // asked again then.
  std::string geometry;
  for (int attempt = 0; attempt < 10 && geometry.find("HEIGHT=") == std::string::npos; ++attempt) {
    if (attempt > 0) Pump(300);
    std::string found;
    RunProgram({"xdotool", "search", "--sync", "--onlyvisible", "--pid", std::to_string(pid)},
               &found);
    geometry.clear();
    if (!found.empty()) {
      RunProgram({"xdotool", "getwindowgeometry", "--shell", found.substr(0, found.find('\n'))},
                 &geometry);
    }
  }
  kill(pid, SIGTERM);
  g_spawn_close_pid(pid);
  Rect app;
  for (const std::string& line :
       {std::string("X="), std::string("Y="), std::string("WIDTH="), std::string("HEIGHT=")}) {
    std::size_t at = geometry.find(line);
    ASSERT_NE(at, std::string::npos) << geometry;
    int v = std::stoi(geometry.substr(at + line.size()));
    (line == "X=" ? app.x : line == "Y=" ? app.y : line == "WIDTH=" ? app.width : app.height) = v;
  }
  EXPECT_TRUE(app.Inside(screen_)) << app << " on " << screen_;
  EXPECT_EQ(app.width, std::min(1280, screen_.width));
  EXPECT_EQ(app.height, std::min(800, screen_.height));

  const fs::path shot = root_ / "page.png";
  ASSERT_EQ(RunProgram({VELLUMINE_APP, "--data", data_.string(), "--screenshot", shot.string()}),
            0);
  GdkPixbuf* picture = gdk_pixbuf_new_from_file(shot.c_str(), nullptr);
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(gdk_pixbuf_get_width(picture), std::min(1280, screen_.width));
  EXPECT_EQ(gdk_pixbuf_get_height(picture), std::min(800, screen_.height));
  g_object_unref(picture);
}

// ---------------------------------------------------------------------------
// Failures

TEST_F(UserApp, FailuresAreToldInThePagesLanguage) {
  WriteAll(files_ / "gone.txt", "x");
  WriteAll(files_ / "blob.vlmx", std::string("\x01\x02\x03\xfe\xff\x00\x10", 7));
  WriteAll(files_ / "fake.png", "not a picture\n");
  Runner("[\"InitPage\"]\n[\"MakeLinkMenu\",\"Work\",-1]\n[\"AddLink\"," +
         Js((files_ / "gone.txt").string()) + ",0]\n[\"AddLink\"," +
         Js((files_ / "blob.vlmx").string()) + ",0]\n");
  fs::remove(files_ / "gone.txt");
  Session s(folder_);
  ASSERT_TRUE(s.loaded());
  // A link whose target is gone.
  s.watch().Next(DialogWatch::Click("OK"));
  ASSERT_TRUE(s.Click("#linkfield pre[onmouseup='Skerrow.Open(0,0)']"));
  ASSERT_TRUE(RunUntil([&] { return s.watch().seen().size() == 1; }));
  EXPECT_EQ(s.watch().seen()[0].title, "Vellumine");
  EXPECT_EQ(s.watch().seen()[0].text,
            "リンク先が見つかりません。\n" + (files_ / "gone.txt").string());
  EXPECT_EQ(s.watch().seen()[0].buttons, std::vector<std::string>{"OK"});
  // One that nothing opens, from the keyboard this time.
  ASSERT_TRUE(RunUntil([&] { return DialogWatch::NoneShown(s.window()); }));
  ASSERT_TRUE(s.TabTo("#linkfield pre[onmouseup='Skerrow.Open(0,1)']"));
  s.watch().Next(DialogWatch::Keys({"Return"}));
  ASSERT_TRUE(s.Keys({"Return"}));
  ASSERT_TRUE(RunUntil([&] { return s.watch().seen().size() == 2; }));
  EXPECT_EQ(s.watch().seen()[1].text,
            "リンク先を開くアプリケーションが見つかりません。\n" + (files_ / "blob.vlmx").string());

  // A file that is no picture, offered as a wallpaper.
  ASSERT_TRUE(RunUntil([&] { return DialogWatch::NoneShown(s.window()); }));
  OpenSettings(s);
  s.watch().Next(TypePath((files_ / "fake.png").string()));
  s.watch().Next(DialogWatch::Click("OK"));
  ASSERT_TRUE(s.Click("#wallpaper input[value='壁紙の追加']"));
  ASSERT_TRUE(RunUntil([&] { return s.watch().seen().size() == 4; }));
  EXPECT_EQ(s.watch().seen()[2].filter, "画像ファイル");
  EXPECT_TRUE(Contains(s.watch().seen()[2].buttons, "開く"));
  EXPECT_EQ(s.watch().seen()[3].text,
            std::string("画像ファイルではありません。壁紙には画像ファイルを選んでください。\n") +
                (files_ / "fake.png").string());
  Pump(300);
  EXPECT_EQ(s.Eval("String(el('wplist').options.length)"), "0");
  EXPECT_FALSE(fs::exists(data_ / "wplist"));

  // 追加 in a form that has no menu yet.
  ASSERT_TRUE(s.Click("#option .close"));
  ASSERT_TRUE(s.Click("#link pre[onmouseup^='linkfrm']"));
  ASSERT_TRUE(s.WaitFor("isShown(el('linkinput'))"));
  s.watch().Next(DialogWatch::Click("OK"));
  ASSERT_TRUE(s.Click("#linkfrm input[value='追加']"));
  ASSERT_TRUE(RunUntil([&] { return s.watch().seen().size() == 5; }));
  EXPECT_EQ(s.watch().seen()[4].title, "Vellumine");
  EXPECT_NE(s.watch().seen()[4].text.find("メニュー名を入力して「名前の設定」を押してください"),
            std::string::npos)
      << s.watch().seen()[4].text;
}

// ---------------------------------------------------------------------------
// Smaller faults

TEST_F(UserApp, TheWallpaperShownIsMarkedAlsoAfterARandomChoice) {
  WritePicture(files_ / "sea.png", 0.1, 0.3, 0.8);
  WritePicture(files_ / "forest.png", 0.1, 0.6, 0.2);
  WritePicture(files_ / "sand.png", 0.9, 0.8, 0.5);
  Runner("[\"InitPage\"]\n[\"AddWallPaper\"," + Js((files_ / "sea.png").string()) +
         "]\n[\"AddWallPaper\"," + Js((files_ / "forest.png").string()) + "]\n[\"AddWallPaper\"," +
         Js((files_ / "sand.png").string()) + "]\n[\"SetBG\",0]\n");
  Session s(folder_);
  ASSERT_TRUE(s.loaded());
  OpenSettings(s);
  const std::string marked =
      "(function () { var c = document.querySelectorAll('#wplist option.current');"
      " return c.length == 1 && c[0].selected ? c[0].textContent : 'none'; })()";
  EXPECT_EQ(s.Eval(marked), "sea.png");
  // The list says so in the line itself.
  EXPECT_EQ(s.Eval("document.querySelector('#wplist option.current').label"), "sea.png（表示中）");
  EXPECT_EQ(s.Eval("document.querySelectorAll('#wplist option[label]').length"), "1");
  // The page's mark of the shown wallpaper changes no window: the page is
  // tidied once for the call that changed the wallpaper, not again for it.
  s.Eval(
      "window.tidies = 0; var tidyOnce = tidy;"
      " tidy = function (again) { ++window.tidies; return tidyOnce(again); };"
      " Skerrow.SetBG(document, 2); ''");
  ASSERT_TRUE(s.WaitFor(marked + " == 'sand.png'"));
  EXPECT_EQ(s.Eval("String(window.tidies)"), "1");
  s.Keep("wallpapers");
  ASSERT_TRUE(s.Click("#wplist option:nth-child(2)"));
  ASSERT_TRUE(s.Click("#wallpaper input[value='設定']"));
  EXPECT_TRUE(s.WaitFor(marked + " == 'forest.png'"));
  EXPECT_EQ(s.Eval("getComputedStyle(document.querySelector('#wplist option.current')).fontWeight"),
            "700");
  // ランダム until another picture is drawn; the mark follows every draw.
  std::set<std::string> shown = {"forest.png"};
  for (int i = 0; i < 30 && shown.size() < 3; ++i) {
    ASSERT_TRUE(s.Click("#wallpaper input[value='ランダム']"));
    Pump(200);
    const std::string src = s.Eval("el('bgimg').getAttribute('src')");
    const std::string file = src.substr(src.rfind('/') + 1);
    EXPECT_TRUE(s.WaitFor(marked + " == " + Js(file))) << s.Eval(marked) << " for " << file;
    shown.insert(file);
  }
  EXPECT_EQ(shown.size(), 3u);
}

TEST_F(UserApp, TheLauncherClosesOnAClickElsewhereAndTheArrowsStayPut) {
  Runner("[\"InitPage\"]\n[\"AddMemo\",\"Milk\",\"two\"]\n");
  Session s(folder_);
  ASSERT_TRUE(s.loaded());
  ASSERT_TRUE(s.Click("#menumini pre"));
  ASSERT_TRUE(s.WaitFor("isShown(el('menunormal'))"));
  // A click on the bare page, away from every window.
  const Rect view = s.View();
  ASSERT_TRUE(s.ClickAt(view.x + view.width / 2, view.y + view.height - 12));
  EXPECT_TRUE(s.WaitFor("!isShown(el('menunormal'))"));

  // The colour arrow, clicked at one spot while the value's width changes
  // (Black, Gray, Silver, White, Maroon, Red, Purple): each click counts.
  OpenSettings(s);
  const std::string next = "#option_menu span.step[onmouseup*=\"'MenuTextColor',1\"]";
  const Rect arrow = s.At(next);
  s.Keep("arrows");
  for (int i = 1; i <= 6; ++i) {
    ASSERT_TRUE(s.ClickAt(arrow.cx(), arrow.cy()));
    EXPECT_TRUE(RunUntil(
        [&] { return RecordValue(Config(), "MenuTextColor") == std::to_string(3 + i); }, 10))
        << "click " << i << " gave " << RecordValue(Config(), "MenuTextColor");
    EXPECT_EQ(s.At(next), arrow);
  }
  // A window's font size arrow across 9 and 10.
  ASSERT_TRUE(s.Click("#option .close"));
  const std::string memo = s.Eval(kFirstMemo);
  ASSERT_TRUE(s.Click("#" + memo + " pre[onmouseup^='setview']"));
  const std::string down = "#" + memo + "_view_value span[onmouseup*=\"'FontSize',-1\"]";
  const std::string up = "#" + memo + "_view_value span[onmouseup*=\"'FontSize',1\"]";
  ASSERT_TRUE(s.WaitFor("document.querySelector(" + Js(down) + ")"));
  const Rect less = s.At(down);
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(s.ClickAt(less.cx(), less.cy()));  // 13 -> 9
  ASSERT_TRUE(RunUntil([&] { return WindowField(Config(), memo, "WndFontSize") == "9"; }, 10));
  const Rect more = s.At(up);
  s.Keep("window-options");
  ASSERT_TRUE(s.ClickAt(more.cx(), more.cy()));
  ASSERT_TRUE(RunUntil([&] { return WindowField(Config(), memo, "WndFontSize") == "10"; }, 10));
  EXPECT_EQ(s.At(up), more);
  ASSERT_TRUE(s.ClickAt(more.cx(), more.cy()));
  EXPECT_TRUE(RunUntil([&] { return WindowField(Config(), memo, "WndFontSize") == "11"; }, 10));
}

TEST_F(UserApp, TheCalendarNamesItsYear) {
  Session s(folder_);
  ASSERT_TRUE(s.loaded());
  const std::string year =
      "getComputedStyle(document.querySelector('#monthname b'), '::after').content";
  GDateTime* now = g_date_time_new_now_local();
  const int this_year = g_date_time_get_year(now);
  const int month = g_date_time_get_month(now);
  g_date_time_unref(now);
  EXPECT_NE(s.Eval(year).find(std::to_string(this_year)), std::string::npos) << s.Eval(year);
  // "next" up to January: the next year.
  for (int i = month; i <= 12; ++i) {
    ASSERT_TRUE(s.Click("#calender > table tr:first-child td:last-child"));
    Pump(100);
  }
  EXPECT_TRUE(s.WaitFor(year + ".indexOf('" + std::to_string(this_year + 1) + "') >= 0"))
      << s.Eval(year);
  EXPECT_NE(s.Eval("document.querySelector('#monthname').getAttribute('aria-label')")
                .find(std::to_string(this_year + 1)),
            std::string::npos);
  // And it shows: the year's digits widen the title row's text.
  Rect title = s.At("#monthname b");
  EXPECT_GT(title.width, 60) << title;
}

// What a screen reader hears: the app's accessibility tree read over AT-SPI
// by another process, one "role<TAB>name" line per named object.
constexpr char kReadTree[] = R"PY(
import sys, pyatspi
want = int(sys.argv[1])
for app in pyatspi.Registry.getDesktop(0):
    if app is None or app.get_process_id() != want:
        continue
    def walk(a, depth):
        if depth > 60:
            return
        try:
            role, name = a.getRoleName(), a.name
        except Exception:
            return
        if name:
            print(role + "\t" + name)
        for i in range(a.childCount):
            try:
                child = a.getChildAtIndex(i)
            except Exception:
                continue
            if child is not None:
                walk(child, depth + 1)
    walk(app, 0)
)PY";

TEST_F(UserApp, AScreenReaderHearsNamedButtonsPanelsAndFields) {
  WritePicture(files_ / "sea.png", 0.1, 0.3, 0.8);
  Runner("[\"InitPage\"]\n[\"AddMemo\",\"Milk\",\"two\"]\n[\"AddWallPaper\"," +
         Js((files_ / "sea.png").string()) + "]\n[\"SetBG\",0]\n");
  Session s(folder_);
  ASSERT_TRUE(s.loaded());
  ASSERT_TRUE(s.Click("#memo pre[onmouseup^='memofrm']"));
  ASSERT_TRUE(s.WaitFor("isShown(el('memoinput'))"));
  OpenSettings(s);
  WriteAll(root_ / "tree.py", kReadTree);
  std::string tree;
  ASSERT_EQ(RunProgram({"/usr/bin/python3", (root_ / "tree.py").string(), std::to_string(getpid())},
                       &tree),
            0)
      << "reading the accessibility tree needs python3-pyatspi and a session bus";
  GDateTime* now = g_date_time_new_now_local();
  const std::string today = std::to_string(g_date_time_get_year(now)) + "年" +
                            std::to_string(g_date_time_get_month(now)) + "月" +
                            std::to_string(g_date_time_get_day_of_month(now)) + "日";
  g_date_time_unref(now);
  for (const std::string& line :
       {std::string("push button\tメニュー"), std::string("panel\tカレンダー"),
        "push button\t" + today, std::string("push button\t前の月"), std::string("panel\tメモ"),
        std::string("push button\tメモの追加"), std::string("push button\tMilk"),
        std::string("push button\tMilk（矢印キーで移動）"), std::string("push button\t設定"),
        std::string("push button\t文字色を進める"),
        std::string("push button\tフォントサイズを戻す"), std::string("list box\t壁紙"),
        std::string("list item\tsea.png（表示中）"), std::string("dialog\tメモの追加"),
        std::string("entry\t題名")}) {
    EXPECT_NE(tree.find("\n" + line + "\n"), std::string::npos) << line << " in:\n" << tree;
  }
}

}  // namespace
}  // namespace vellumine::desktop

int main(int argc, char** argv) {
  signal(SIGALRM, [](int) {
    static const char kMessage[] = "user_e2e: watchdog: the run took too long\n";
    ssize_t ignored = write(2, kMessage, sizeof kMessage - 1);
    (void)ignored;
    _exit(1);
  });
  alarm(1500);
  g_setenv("GSETTINGS_BACKEND", "memory", TRUE);
  // The pickers keep recent files and the like: in a folder of the run's own.
  gchar* home = g_dir_make_tmp("vellumine-user-home-XXXXXX", nullptr);
  if (home != nullptr) {
    for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"}) {
      g_setenv(name, (std::string(home) + "/" + name).c_str(), TRUE);
    }
  }
  if (!gtk_init_check(&argc, &argv)) {
    std::fputs("user_e2e: no display (run it under xvfb-run)\n", stderr);
    return 1;
  }
  gchar* xdotool = g_find_program_in_path("xdotool");
  if (xdotool == nullptr) {
    std::fputs("user_e2e: xdotool is missing (src/hosts/desktop/deps lists it)\n", stderr);
    return 1;
  }
  g_free(xdotool);
  ::testing::InitGoogleTest(&argc, argv);
  const int status = RUN_ALL_TESTS();
  if (home != nullptr) {
    std::error_code ignored;
    std::filesystem::remove_all(home, ignored);
    g_free(home);
  }
  return status;
}
