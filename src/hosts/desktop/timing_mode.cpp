// The measuring run (VELLUMINE_TIMING_SCRIPT): the page in a plain window,
// the report its script gives, the idle CPU time and the processes' peaks.
#include <gtk/gtk.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "hosts/desktop/app_modes.h"
#include "hosts/desktop/dialog_server.h"
#include "hosts/desktop/process_stats.h"

namespace vellumine::desktop {
namespace {

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

}  // namespace

int RunTiming(const AppPaths& paths, const std::string& data_folder, Dialogs& dialogs) {
  DialogServer server(dialogs);
  server.Start();
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_default_size(GTK_WINDOW(window), kWindowWidth, kWindowHeight);
  auto page = std::make_unique<PageView>(paths, data_folder, server);
  gtk_container_add(GTK_CONTAINER(window), page->widget());
  gtk_widget_show_all(window);

  TimingRun run;
  run.page = page.get();
  run.loop = g_main_loop_new(nullptr, FALSE);
  if (const char* idle = g_getenv("VELLUMINE_TIMING_IDLE_SECONDS"); idle != nullptr) {
    run.idle_seconds = std::max(0, std::atoi(idle));
  }

  g_signal_connect(page->view(), "notify::title", G_CALLBACK(OnTitle), nullptr);
  page->on_loaded = [&run] {
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
  page->Load();
  g_main_loop_run(run.loop);
  g_source_remove(watchdog);
  g_main_loop_unref(run.loop);
  if (run.status == 0) PrintProcessPeaks("");
  std::fflush(stdout);
  page.reset();
  gtk_widget_destroy(window);
  return run.status;
}

}  // namespace vellumine::desktop
