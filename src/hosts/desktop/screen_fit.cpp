#include "hosts/desktop/screen_fit.h"

#include <algorithm>

namespace vellumine::desktop {
namespace {

// Room left round a dialog, so its frame and shadow stay on the screen too.
constexpr int kDialogMargin = 16;

GdkMonitor* MonitorOf(GtkWindow* window) {
  GdkDisplay* display =
      window != nullptr ? gtk_widget_get_display(GTK_WIDGET(window)) : gdk_display_get_default();
  if (display == nullptr) return nullptr;
  GdkWindow* shown = window != nullptr ? gtk_widget_get_window(GTK_WIDGET(window)) : nullptr;
  if (shown != nullptr) {
    if (GdkMonitor* monitor = gdk_display_get_monitor_at_window(display, shown)) return monitor;
  }
  if (GdkMonitor* primary = gdk_display_get_primary_monitor(display)) return primary;
  return gdk_display_get_monitor(display, 0);
}

void Fit(GtkWindow* dialog) {
  GdkRectangle area = WorkArea(gtk_window_get_transient_for(dialog));
  area.x += kDialogMargin;
  area.y += kDialogMargin;
  area.width -= 2 * kDialogMargin;
  area.height -= 2 * kDialogMargin;
  int width = 0;
  int height = 0;
  gtk_window_get_size(dialog, &width, &height);
  int fitted_width = width;
  int fitted_height = height;
  FitInto(area, fitted_width, fitted_height);
  if (fitted_width != width || fitted_height != height) {
    gtk_window_resize(dialog, fitted_width, fitted_height);
  }
  int x = 0;
  int y = 0;
  gtk_window_get_position(dialog, &x, &y);
  const int inside_x = std::clamp(x, area.x, std::max(area.x, area.x + area.width - fitted_width));
  const int inside_y =
      std::clamp(y, area.y, std::max(area.y, area.y + area.height - fitted_height));
  if (inside_x != x || inside_y != y) gtk_window_move(dialog, inside_x, inside_y);
}

void OnMapped(GtkWidget* dialog, gpointer /*data*/) { Fit(GTK_WINDOW(dialog)); }

}  // namespace

GdkRectangle WorkArea(GtkWindow* window) {
  GdkRectangle area{0, 0, 1280, 800};
  if (GdkMonitor* monitor = MonitorOf(window)) {
    gdk_monitor_get_workarea(monitor, &area);
    // A work area the window system left empty is the monitor itself.
    if (area.width <= 0 || area.height <= 0) gdk_monitor_get_geometry(monitor, &area);
  }
  return area;
}

void FitInto(const GdkRectangle& area, int& width, int& height) {
  width = std::max(1, std::min(width, area.width));
  height = std::max(1, std::min(height, area.height));
}

void FitWindow(GtkWindow* window, int width, int height) {
  FitInto(WorkArea(window), width, height);
  gtk_window_set_default_size(window, width, height);
}

void KeepOnScreen(GtkWindow* dialog) {
  // After the dialog's own handlers, which may size it on the way.
  g_signal_connect_after(dialog, "map", G_CALLBACK(OnMapped), nullptr);
}

}  // namespace vellumine::desktop
