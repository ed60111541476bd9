// vellumine: the organiser page in a window of its own, or as the desktop.
//
//   vellumine [--data DIR] [--desktop]
//   vellumine [--data DIR] --screenshot FILE.png
//
// For measurements, VELLUMINE_TIMING_SCRIPT=FILE.js puts FILE.js into the
// page before the page's own scripts, shows the page in a plain window, and
// a second after it has loaded prints what the page's timingReport()
// returns, then exits.
#include <gtk/gtk.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "hosts/desktop/dialog_server.h"
#include "hosts/desktop/page_view.h"
#include "hosts/desktop/screen_fit.h"

namespace {

using vellumine::desktop::AppPaths;
using vellumine::desktop::Dialogs;
using vellumine::desktop::DialogServer;
using vellumine::desktop::PageView;

// The window's size where the screen allows it.
constexpr int kWidth = 1280;
constexpr int kHeight = 800;

struct Options {
  std::string data_dir;
  bool desktop = false;
  std::string screenshot;
};

struct App {
  Options options;
  AppPaths paths;
  std::string data_folder;
  Dialogs dialogs;
  std::unique_ptr<DialogServer> server;
  std::unique_ptr<PageView> page;
  GtkWidget* window = nullptr;
};

void Usage(FILE* out) {
  std::fputs(
      "Usage: vellumine [--data DIR] [--desktop]\n"
      "       vellumine [--data DIR] --screenshot FILE.png\n"
      "  --data DIR          keep the data in DIR instead of the XDG data folder\n"
      "  --desktop           show the page as the desktop, behind all windows\n"
      "  --screenshot FILE   render the page once off-screen into FILE (PNG) and exit\n",
      out);
}

// 0 when parsed, otherwise the exit status.
int ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--desktop") {
      options.desktop = true;
    } else if ((arg == "--data" || arg == "--screenshot") && i + 1 < argc) {
      (arg == "--data" ? options.data_dir : options.screenshot) = argv[++i];
      if ((arg == "--data" ? options.data_dir : options.screenshot).empty()) {
        Usage(stderr);
        return 2;
      }
    } else if (arg == "--help" || arg == "-h") {
      Usage(stdout);
      return -1;
    } else {
      std::fprintf(stderr, "vellumine: unknown argument %s\n", arg.c_str());
      Usage(stderr);
      return 2;
    }
  }
  return 0;
}

bool IsX11(GdkDisplay* display) {
  return display != nullptr && std::strcmp(G_OBJECT_TYPE_NAME(display), "GdkX11Display") == 0;
}

void MakeDesktopWindow(GtkWindow* window) {
  GdkDisplay* display = gtk_widget_get_display(GTK_WIDGET(window));
  GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
  if (monitor == nullptr) monitor = gdk_display_get_monitor(display, 0);
  GdkRectangle area{0, 0, 1280, 800};
  if (monitor != nullptr) gdk_monitor_get_geometry(monitor, &area);
  if (IsX11(display)) {
    // The window manager keeps a desktop window below every other window.
    gtk_window_set_type_hint(window, GDK_WINDOW_TYPE_HINT_DESKTOP);
    gtk_window_set_decorated(window, FALSE);
    gtk_window_set_skip_taskbar_hint(window, TRUE);
    gtk_window_set_skip_pager_hint(window, TRUE);
    gtk_window_set_keep_below(window, TRUE);
    gtk_window_stick(window);
    gtk_window_move(window, area.x, area.y);
    gtk_window_set_default_size(window, area.width, area.height);
  } else {
    std::fputs(
        "vellumine: this display offers no desktop window to clients; "
        "showing the page full-screen instead.\n",
        stderr);
    gtk_window_fullscreen(window);
  }
}

void OnStartup(GApplication* application, gpointer data) {
  auto* app = static_cast<App*>(data);
  app->server = std::make_unique<DialogServer>(app->dialogs);
  if (!app->server->Start()) {
    std::fputs("vellumine: can't open the dialog channel; dialogs will be cancelled\n", stderr);
  }
  app->window = gtk_application_window_new(GTK_APPLICATION(application));
  gtk_window_set_title(GTK_WINDOW(app->window), "Vellumine");
  // 1280x800 where the screen has room for it, otherwise what it has.
  vellumine::desktop::FitWindow(GTK_WINDOW(app->window), kWidth, kHeight);
  app->dialogs.set_parent(GTK_WINDOW(app->window));
  app->page = std::make_unique<PageView>(app->paths, app->data_folder, *app->server);
  gtk_container_add(GTK_CONTAINER(app->window), app->page->widget());
  if (app->options.desktop) MakeDesktopWindow(GTK_WINDOW(app->window));
  app->page->Load();
}

void OnActivate(GApplication* /*application*/, gpointer data) {
  // Also what a second launch on the same data folder does: raise this one.
  auto* app = static_cast<App*>(data);
  if (app->window == nullptr) return;
  gtk_widget_show_all(app->window);
  gtk_window_present(GTK_WINDOW(app->window));
}

void OnShutdown(GApplication* /*application*/, gpointer data) {
  auto* app = static_cast<App*>(data);
  app->page.reset();
  app->window = nullptr;
}

// One --screenshot run: where the picture goes, and how it went.
struct Shot {
  std::string file;
  GMainLoop* loop = nullptr;
  WebKitWebView* view = nullptr;
  int status = 1;
};

// The page lays itself out for its size just after its load (the view's size
// may arrive then too): the picture is taken once that is done.
constexpr guint kSettleMs = 700;

gboolean TakeShot(gpointer data) {
  auto* shot = static_cast<Shot*>(data);
  webkit_web_view_get_snapshot(
      shot->view, WEBKIT_SNAPSHOT_REGION_VISIBLE, WEBKIT_SNAPSHOT_OPTIONS_NONE, nullptr,
      [](GObject* source, GAsyncResult* result, gpointer done) {
        auto* s = static_cast<Shot*>(done);
        cairo_surface_t* surface =
            webkit_web_view_get_snapshot_finish(WEBKIT_WEB_VIEW(source), result, nullptr);
        if (surface != nullptr) {
          // Compressed as far as PNG goes: the pictures end up in documents.
          GdkPixbuf* picture =
              gdk_pixbuf_get_from_surface(surface, 0, 0, cairo_image_surface_get_width(surface),
                                          cairo_image_surface_get_height(surface));
          if (picture != nullptr && gdk_pixbuf_save(picture, s->file.c_str(), "png", nullptr,
                                                    "compression", "9", nullptr)) {
            s->status = 0;
          }
          if (picture != nullptr) g_object_unref(picture);
          cairo_surface_destroy(surface);
        }
        if (s->status != 0) std::fprintf(stderr, "vellumine: can't write %s\n", s->file.c_str());
        g_main_loop_quit(s->loop);
      },
      shot);
  return G_SOURCE_REMOVE;
}

int RunScreenshot(App& app) {
  app.server = std::make_unique<DialogServer>(app.dialogs);
  app.server->Start();
  GtkWidget* window = gtk_offscreen_window_new();
  app.page = std::make_unique<PageView>(app.paths, app.data_folder, *app.server);
  // The size the app's window takes on this screen.
  GdkRectangle area = vellumine::desktop::WorkArea(nullptr);
  int width = kWidth;
  int height = kHeight;
  vellumine::desktop::FitInto(area, width, height);
  gtk_widget_set_size_request(app.page->widget(), width, height);
  gtk_container_add(GTK_CONTAINER(window), app.page->widget());
  gtk_widget_show_all(window);

  Shot shot{app.options.screenshot, g_main_loop_new(nullptr, FALSE), app.page->view()};
  app.page->on_loaded = [&shot] { g_timeout_add(kSettleMs, TakeShot, &shot); };
  // A page that never finishes loading must not keep the run alive.
  guint watchdog = g_timeout_add_seconds(
      60,
      [](gpointer data) {
        std::fputs("vellumine: the page did not load in time\n", stderr);
        g_main_loop_quit(static_cast<Shot*>(data)->loop);
        return G_SOURCE_REMOVE;
      },
      &shot);
  app.page->Load();
  g_main_loop_run(shot.loop);
  g_source_remove(watchdog);
  g_main_loop_unref(shot.loop);
  app.page.reset();
  gtk_widget_destroy(window);
  return shot.status;
}

int RunTiming(App& app) {
  app.server = std::make_unique<DialogServer>(app.dialogs);
  app.server->Start();
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_default_size(GTK_WINDOW(window), 1280, 800);
  app.page = std::make_unique<PageView>(app.paths, app.data_folder, *app.server);
  gtk_container_add(GTK_CONTAINER(window), app.page->widget());
  gtk_widget_show_all(window);

  struct Run {
    PageView* page;
    GMainLoop* loop;
    bool started = false;
    int status = 1;
  } run{app.page.get(), g_main_loop_new(nullptr, FALSE)};

  app.page->on_loaded = [&run] {
    if (run.started) return;
    run.started = true;
    // Let the page's own load-time work settle before the measurement.
    g_timeout_add_seconds(
        1,
        [](gpointer data) {
          auto* r = static_cast<Run*>(data);
          webkit_web_view_evaluate_javascript(
              r->page->view(), "String(timingReport())", -1, nullptr, nullptr, nullptr,
              [](GObject* source, GAsyncResult* result, gpointer done) {
                auto* finished = static_cast<Run*>(done);
                GError* error = nullptr;
                JSCValue* value = webkit_web_view_evaluate_javascript_finish(
                    WEBKIT_WEB_VIEW(source), result, &error);
                if (value != nullptr) {
                  gchar* text = jsc_value_to_string(value);
                  std::printf("%s\n", text);
                  std::fflush(stdout);
                  g_free(text);
                  g_object_unref(value);
                  finished->status = 0;
                } else {
                  std::fprintf(stderr, "vellumine: timing script failed: %s\n",
                               error != nullptr ? error->message : "?");
                  g_clear_error(&error);
                }
                g_main_loop_quit(finished->loop);
              },
              r);
          return G_SOURCE_REMOVE;
        },
        &run);
  };
  guint watchdog = g_timeout_add_seconds(
      300,
      [](gpointer data) {
        std::fputs("vellumine: the timing run did not finish in time\n", stderr);
        g_main_loop_quit(static_cast<Run*>(data)->loop);
        return G_SOURCE_REMOVE;
      },
      &run);
  app.page->Load();
  g_main_loop_run(run.loop);
  g_source_remove(watchdog);
  g_main_loop_unref(run.loop);
  app.page.reset();
  gtk_widget_destroy(window);
  return run.status;
}

}  // namespace

int main(int argc, char** argv) {
  App app;
  if (int status = ParseOptions(argc, argv, app.options); status != 0) {
    return status < 0 ? 0 : status;
  }
  app.paths = vellumine::desktop::FindAppPaths();
  app.data_folder = vellumine::desktop::DataFolderUtf8(app.options.data_dir);
  if (!app.dialogs.UseScriptFromEnvironment()) return 2;

  if (!app.options.screenshot.empty()) {
    if (!gtk_init_check(&argc, &argv)) {
      std::fputs("vellumine: no display\n", stderr);
      return 1;
    }
    return RunScreenshot(app);
  }
  if (g_getenv("VELLUMINE_TIMING_SCRIPT") != nullptr) {
    if (!gtk_init_check(&argc, &argv)) {
      std::fputs("vellumine: no display\n", stderr);
      return 1;
    }
    return RunTiming(app);
  }

  std::string id = vellumine::desktop::ApplicationId(app.data_folder);
  GtkApplication* application = gtk_application_new(id.c_str(), G_APPLICATION_DEFAULT_FLAGS);
  g_signal_connect(application, "startup", G_CALLBACK(OnStartup), &app);
  g_signal_connect(application, "activate", G_CALLBACK(OnActivate), &app);
  g_signal_connect(application, "shutdown", G_CALLBACK(OnShutdown), &app);
  // Our own options are read already; GApplication sees the program name only.
  int status = g_application_run(G_APPLICATION(application), 1, argv);
  g_object_unref(application);
  app.server.reset();
  return status;
}
