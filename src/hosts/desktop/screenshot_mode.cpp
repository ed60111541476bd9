// The --screenshot run: the page rendered once off-screen into a PNG file.
#include <gtk/gtk.h>

#include <cstdio>
#include <memory>
#include <string>

#include "hosts/desktop/app_modes.h"
#include "hosts/desktop/dialog_server.h"
#include "hosts/desktop/screen_fit.h"

namespace vellumine::desktop {
namespace {

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

}  // namespace

int RunScreenshot(const AppPaths& paths, const std::string& data_folder, Dialogs& dialogs,
                  const std::string& file) {
  DialogServer server(dialogs);
  server.Start();
  GtkWidget* window = gtk_offscreen_window_new();
  auto page = std::make_unique<PageView>(paths, data_folder, server);
  // The size the app's window takes on this screen.
  GdkRectangle area = vellumine::desktop::WorkArea(nullptr);
  int width = kWindowWidth;
  int height = kWindowHeight;
  vellumine::desktop::FitInto(area, width, height);
  gtk_widget_set_size_request(page->widget(), width, height);
  gtk_container_add(GTK_CONTAINER(window), page->widget());
  gtk_widget_show_all(window);

  Shot shot{file, g_main_loop_new(nullptr, FALSE), page->view()};
  Shot* shot_ptr = &shot;
  page->on_loaded = [shot_ptr] {
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
  page->Load();
  g_main_loop_run(shot.loop);
  g_source_remove(watchdog);
  g_main_loop_unref(shot.loop);
  page.reset();
  gtk_widget_destroy(window);
  return shot.status;
}

}  // namespace vellumine::desktop
