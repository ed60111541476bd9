// vellumine: the organiser page in a window of its own, or as the desktop.
//
//   vellumine [--data DIR] [--desktop [--monitor NAME|N]]
//   vellumine [--data DIR] --screenshot FILE.png
//
// One window per data folder: a second launch on a folder that a window
// shows already raises that window through the session bus and ends (status
// 0); without a bus it says so and ends with status 1. Either way it writes
// nothing into the folder.
//
// For measurements, VELLUMINE_TIMING_SCRIPT=FILE.js puts FILE.js into the
// page before the page's own scripts, shows the page in a plain window, and
// a second after it has loaded prints what the page's timingReport() returns
// (or the promise it returns settles to); while that is null, timingReport()
// is called again, each time in an evaluation of its own. With VELLUMINE_TIMING_IDLE_SECONDS=N
// it then does nothing for N seconds and prints the CPU time all the app's
// processes used meanwhile; last, each process's peak resident size, then
// exits. A timing script may set the page's title to "vellumine:mark" to
// have the peaks so far printed then (as "mark_...").
#include <gtk/gtk.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "hosts/desktop/autostart.h"
#include "hosts/desktop/desktop_layer.h"
#include "hosts/desktop/dialog_server.h"
#include "hosts/desktop/instance.h"
#include "hosts/desktop/page_view.h"
#include "hosts/desktop/process_stats.h"
#include "hosts/desktop/screen_fit.h"

namespace {

using vellumine::desktop::AppPaths;
using vellumine::desktop::CpuPercent;
using vellumine::desktop::Dialogs;
using vellumine::desktop::DialogServer;
using vellumine::desktop::PageView;
using vellumine::desktop::ProcessSample;
using vellumine::desktop::SampleAppProcesses;

// The window's size where the screen allows it.
constexpr int kWidth = 1280;
constexpr int kHeight = 800;

struct Options {
  std::string data_dir;
  bool desktop = false;
  std::string monitor;
  std::string screenshot;
};

struct App {
  Options options;
  AppPaths paths;
  std::string data_folder;
  Dialogs dialogs;
  std::unique_ptr<vellumine::FileLock> instance;  // held while the window runs
  std::unique_ptr<DialogServer> server;
  std::unique_ptr<PageView> page;
  std::unique_ptr<vellumine::desktop::DesktopLayer> layer;
  GtkWidget* window = nullptr;
};

void Usage(FILE* out) {
  std::fputs(
      "Usage: vellumine [--data DIR] [--desktop [--monitor NAME|N]]\n"
      "       vellumine [--data DIR] --screenshot FILE.png\n"
      "  --data DIR          keep the data in DIR instead of the XDG data folder\n"
      "  --desktop           show the page as the desktop, behind all windows\n"
      "  --monitor NAME|N    the monitor the desktop covers: its output's name or its\n"
      "                      number from 0 (default: the primary one, or the first)\n"
      "  --screenshot FILE   render the page once off-screen into FILE (PNG) and exit\n",
      out);
}

// 0 when parsed, otherwise the exit status.
int ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--desktop") {
      options.desktop = true;
    } else if ((arg == "--data" || arg == "--screenshot" || arg == "--monitor") && i + 1 < argc) {
      std::string& value = arg == "--data"      ? options.data_dir
                           : arg == "--monitor" ? options.monitor
                                                : options.screenshot;
      value = argv[++i];
      if (value.empty()) {
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

// The entry that starts this run again at login, for the page's setting.
vellumine::desktop::StartAtLogin StartAtLoginOf(const App& app) {
  vellumine::desktop::StartAtLogin start;
  gchar* program = g_file_read_link("/proc/self/exe", nullptr);
  const std::string file =
      vellumine::desktop::AutostartFile(vellumine::desktop::ApplicationId(app.data_folder));
  if (program != nullptr && !file.empty() && g_utf8_validate(file.c_str(), -1, nullptr)) {
    const std::optional<std::string> entry =
        vellumine::desktop::AutostartEntry(vellumine::desktop::RestartArguments(
            program, app.data_folder, app.options.desktop, app.options.monitor));
    if (entry) start = {file, *entry};
  }
  g_free(program);
  return start;
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
  app->page =
      std::make_unique<PageView>(app->paths, app->data_folder, *app->server, StartAtLoginOf(*app));
  gtk_container_add(GTK_CONTAINER(app->window), app->page->widget());
  if (app->options.desktop) {
    app->layer = std::make_unique<vellumine::desktop::DesktopLayer>(GTK_WINDOW(app->window),
                                                                    app->options.monitor);
    // Windows move over an X11 desktop all the time; without a compositing
    // manager the engine's accelerated mode leaves what they uncovered
    // unpainted.
    if (app->layer->kind() == vellumine::desktop::DesktopLayer::Kind::kX11Desktop) {
      webkit_settings_set_hardware_acceleration_policy(
          webkit_web_view_get_settings(app->page->view()),
          WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
    }
  }
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
  app->layer.reset();
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
  Shot* shot_ptr = &shot;
  app.page->on_loaded = [shot_ptr] {
    // The page's pictures (the wallpaper) load after the page itself: the
    // shot waits for them, then for the page's layout to settle.
    webkit_web_view_call_async_javascript_function(
        shot_ptr->view,
        "await Promise.all(Array.from(document.images).map(function (i) {"
        "  return i.complete ? 0 : new Promise(function (r) {"
        "    i.addEventListener('load', r); i.addEventListener('error', r); }); }));"
        "return 0;",
        -1, nullptr, nullptr, nullptr, nullptr,
        [](GObject* source, GAsyncResult* result, gpointer data) {
          JSCValue* ignored = webkit_web_view_call_async_javascript_function_finish(
              WEBKIT_WEB_VIEW(source), result, nullptr);
          if (ignored != nullptr) g_object_unref(ignored);
          g_timeout_add(kSettleMs, TakeShot, data);
        },
        shot_ptr);
  };
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

// The figures of the app's processes after a timing run: each one's peak
// resident size and the sum of those peaks.
// prefix names a mark the page asked for ("" at the end of the run).
void PrintProcessPeaks(const char* prefix) {
  std::uint64_t sum = 0;
  for (const ProcessSample& s : SampleAppProcesses()) {
    std::printf("%sprocess=%s pid=%d peak_rss=%llu rss=%llu\n", prefix, s.name.c_str(),
                static_cast<int>(s.pid), static_cast<unsigned long long>(s.peak_rss),
                static_cast<unsigned long long>(s.rss));
    sum += s.peak_rss;
  }
  std::printf("%speak_rss_sum=%llu\n", prefix, static_cast<unsigned long long>(sum));
  std::fflush(stdout);
}

// A timing script sets the page's title to "vellumine:mark" to have the
// peaks so far printed (as "mark_..."), before it goes on with work of its
// own that is not the app's (a yardstick, say).
void OnTitle(WebKitWebView* view, GParamSpec* /*spec*/, gpointer /*data*/) {
  const char* title = webkit_web_view_get_title(view);
  if (title != nullptr && std::strcmp(title, "vellumine:mark") == 0) PrintProcessPeaks("mark_");
}

// One timing run: the page, and how the run goes.
struct TimingRun {
  PageView* page = nullptr;
  GMainLoop* loop = nullptr;
  bool started = false;
  int status = 1;
  // Seconds of doing nothing after the report, whose CPU time is measured.
  int idle_seconds = 0;
  std::vector<ProcessSample> idle_start;
  gint64 idle_start_us = 0;
};

gboolean EndIdle(gpointer data) {
  auto* run = static_cast<TimingRun*>(data);
  const double seconds = static_cast<double>(g_get_monotonic_time() - run->idle_start_us) / 1e6;
  std::printf("idle_seconds=%.1f\nidle_cpu_percent=%.2f\n", seconds,
              CpuPercent(run->idle_start, SampleAppProcesses(), seconds));
  g_main_loop_quit(run->loop);
  return G_SOURCE_REMOVE;
}

void AskForReport(TimingRun* run);

void OnReport(GObject* source, GAsyncResult* result, gpointer data) {
  auto* run = static_cast<TimingRun*>(data);
  GError* error = nullptr;
  JSCValue* value = webkit_web_view_call_async_javascript_function_finish(WEBKIT_WEB_VIEW(source),
                                                                          result, &error);
  if (value != nullptr && jsc_value_is_null(value)) {
    // Not done yet: the next step is an evaluation of its own.
    g_object_unref(value);
    AskForReport(run);
    return;
  }
  if (value != nullptr) {
    gchar* text = jsc_value_to_string(value);
    std::printf("%s\n", text);
    std::fflush(stdout);
    g_free(text);
    g_object_unref(value);
    run->status = 0;
  } else {
    std::fprintf(stderr, "vellumine: timing script failed: %s\n",
                 error != nullptr ? error->message : "?");
    g_clear_error(&error);
  }
  if (run->status != 0 || run->idle_seconds == 0) {
    g_main_loop_quit(run->loop);
    return;
  }
  run->idle_start = SampleAppProcesses();
  run->idle_start_us = g_get_monotonic_time();
  g_timeout_add_seconds(static_cast<guint>(run->idle_seconds), EndIdle, run);
}

// The report may be a promise: the page's script then decides when its
// measurements are done. A report of null asks to be called again, in an
// evaluation of its own, as a further click would: each evaluation carries a
// fresh user activation, which a long measurement would outlast.
void AskForReport(TimingRun* run) {
  webkit_web_view_call_async_javascript_function(
      run->page->view(),
      "const report = await timingReport(); return report === null ? null : String(report);", -1,
      nullptr, nullptr, nullptr, nullptr, OnReport, run);
}

int RunTiming(App& app) {
  app.server = std::make_unique<DialogServer>(app.dialogs);
  app.server->Start();
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_default_size(GTK_WINDOW(window), 1280, 800);
  app.page = std::make_unique<PageView>(app.paths, app.data_folder, *app.server);
  gtk_container_add(GTK_CONTAINER(window), app.page->widget());
  gtk_widget_show_all(window);

  TimingRun run;
  run.page = app.page.get();
  run.loop = g_main_loop_new(nullptr, FALSE);
  if (const char* idle = g_getenv("VELLUMINE_TIMING_IDLE_SECONDS"); idle != nullptr) {
    run.idle_seconds = std::max(0, std::atoi(idle));
  }

  g_signal_connect(app.page->view(), "notify::title", G_CALLBACK(OnTitle), nullptr);
  app.page->on_loaded = [&run] {
    if (run.started) return;
    run.started = true;
    // Let the page's own load-time work settle before the measurement.
    g_timeout_add_seconds(
        1,
        [](gpointer data) {
          AskForReport(static_cast<TimingRun*>(data));
          return G_SOURCE_REMOVE;
        },
        &run);
  };
  guint watchdog = g_timeout_add_seconds(
      300,
      [](gpointer data) {
        std::fputs("vellumine: the timing run did not finish in time\n", stderr);
        auto* r = static_cast<TimingRun*>(data);
        r->status = 1;
        g_main_loop_quit(r->loop);
        return G_SOURCE_REMOVE;
      },
      &run);
  app.page->Load();
  g_main_loop_run(run.loop);
  g_source_remove(watchdog);
  g_main_loop_unref(run.loop);
  if (run.status == 0) PrintProcessPeaks("");
  std::fflush(stdout);
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
  // Every spelling of the folder (a link to it, "..") is one folder: the
  // control, the locks and the application id all use its canonical path.
  const std::optional<std::string> folder =
      vellumine::desktop::CanonicalDataFolder(app.options.data_dir);
  if (!folder) {
    std::fprintf(stderr, "vellumine: can't create the data folder %s\n",
                 vellumine::desktop::DataFolderUtf8(app.options.data_dir).c_str());
    return 2;
  }
  app.data_folder = *folder;
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
  bool busy = false;
  app.instance = vellumine::desktop::TakeInstanceLock(app.data_folder, &busy);
  if (busy) {
    using vellumine::desktop::HandOverResult;
    switch (vellumine::desktop::HandOver(id)) {
      case HandOverResult::kHandedOver:
        return 0;
      case HandOverResult::kNoBus:
        std::fprintf(stderr,
                     "vellumine: %s is open in another window already; with no session bus it "
                     "can't be brought forward\n",
                     app.data_folder.c_str());
        return 1;
      case HandOverResult::kNoAnswer:
        std::fprintf(stderr,
                     "vellumine: %s is open in another window already, which does not answer on "
                     "the session bus\n",
                     app.data_folder.c_str());
        return 1;
    }
  }
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
