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
// For measurements, VELLUMINE_TIMING_SCRIPT=FILE.js shows the page in a
// plain window and prints what the page's script measured (app_modes.h).
#include <gtk/gtk.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "hosts/desktop/app_modes.h"
#include "hosts/desktop/autostart.h"
#include "hosts/desktop/desktop_layer.h"
#include "hosts/desktop/dialog_server.h"
#include "hosts/desktop/instance.h"
#include "hosts/desktop/page_view.h"
#include "hosts/desktop/screen_fit.h"

namespace {

using vellumine::desktop::AppPaths;
using vellumine::desktop::Dialogs;
using vellumine::desktop::DialogServer;
using vellumine::desktop::PageView;

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

// 0 when parsed, otherwise the exit status (-1: the usage was asked for).
// The app's own usage text stands for the option parser's help; anything
// the parser does not take (an unknown option, a word) is refused by name.
int ParseOptions(int argc, char** argv, Options& options) {
  // "--" ends no options here: nothing may follow them. The parser would
  // take it away unseen.
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if ((arg == "--data" || arg == "--monitor" || arg == "--screenshot") && i + 1 < argc) {
      ++i;
    } else if (arg == "--") {
      std::fputs("vellumine: unknown argument --\n", stderr);
      Usage(stderr);
      return 2;
    }
  }
  gchar* data_dir = nullptr;
  gchar* monitor = nullptr;
  gchar* screenshot = nullptr;
  gboolean desktop = FALSE;
  gboolean help = FALSE;
  // File names: their bytes as given, whatever the locale.
  const GOptionEntry entries[] = {
      {"data", 0, 0, G_OPTION_ARG_FILENAME, &data_dir, nullptr, "DIR"},
      {"desktop", 0, 0, G_OPTION_ARG_NONE, &desktop, nullptr, nullptr},
      {"monitor", 0, 0, G_OPTION_ARG_FILENAME, &monitor, nullptr, "NAME|N"},
      {"screenshot", 0, 0, G_OPTION_ARG_FILENAME, &screenshot, nullptr, "FILE"},
      {"help", 'h', 0, G_OPTION_ARG_NONE, &help, nullptr, nullptr},
      {nullptr, 0, 0, G_OPTION_ARG_NONE, nullptr, nullptr, nullptr},
  };
  GOptionContext* context = g_option_context_new(nullptr);
  g_option_context_set_help_enabled(context, FALSE);
  g_option_context_set_ignore_unknown_options(context, TRUE);
  g_option_context_add_main_entries(context, entries, nullptr);
  // The parser works on a copy: GTK's own parsing later sees argv whole.
  gchar** args = g_new0(gchar*, static_cast<gsize>(argc) + 1);
  for (int i = 0; i < argc; ++i) args[i] = g_strdup(argv[i]);
  GError* error = nullptr;
  int status = 0;
  if (!g_option_context_parse_strv(context, &args, &error)) {
    std::fprintf(stderr, "vellumine: %s\n", error->message);
    Usage(stderr);
    g_clear_error(&error);
    status = 2;
  } else if (help) {
    Usage(stdout);
    status = -1;
  } else if (args[0] != nullptr && args[1] != nullptr) {
    std::fprintf(stderr, "vellumine: unknown argument %s\n", args[1]);
    Usage(stderr);
    status = 2;
  } else {
    options.desktop = desktop;
    for (auto [value, option] :
         {std::pair{data_dir, &options.data_dir}, std::pair{monitor, &options.monitor},
          std::pair{screenshot, &options.screenshot}}) {
      if (value == nullptr) continue;
      if (*value == '\0') {
        Usage(stderr);
        status = 2;
      }
      *option = value;
    }
  }
  g_strfreev(args);
  g_free(data_dir);
  g_free(monitor);
  g_free(screenshot);
  g_option_context_free(context);
  return status;
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
  vellumine::desktop::FitWindow(GTK_WINDOW(app->window), vellumine::desktop::kWindowWidth,
                                vellumine::desktop::kWindowHeight);
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
    return vellumine::desktop::RunScreenshot(app.paths, app.data_folder, app.dialogs,
                                             app.options.screenshot);
  }
  if (g_getenv("VELLUMINE_TIMING_SCRIPT") != nullptr) {
    if (!gtk_init_check(&argc, &argv)) {
      std::fputs("vellumine: no display\n", stderr);
      return 1;
    }
    return vellumine::desktop::RunTiming(app.paths, app.data_folder, app.dialogs);
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
