#include "hosts/desktop/desktop_layer.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "hosts/desktop/monitors.h"

#ifdef VELLUMINE_HAVE_LAYER_SHELL
#include <gtk-layer-shell/gtk-layer-shell.h>
#endif

namespace vellumine::desktop {
namespace {

bool IsX11(GdkDisplay* display) {
  return display != nullptr && std::strcmp(G_OBJECT_TYPE_NAME(display), "GdkX11Display") == 0;
}
bool IsWayland(GdkDisplay* display) {
  return display != nullptr && std::strcmp(G_OBJECT_TYPE_NAME(display), "GdkWaylandDisplay") == 0;
}

}  // namespace

bool LayerShellSupported(GdkDisplay* display) {
#ifdef VELLUMINE_HAVE_LAYER_SHELL
  return IsWayland(display) && gtk_layer_is_supported();
#else
  (void)display;
  return false;
#endif
}

DesktopLayer::DesktopLayer(GtkWindow* window, std::string wanted)
    : window_(window), wanted_(std::move(wanted)) {
  g_object_add_weak_pointer(G_OBJECT(window_), reinterpret_cast<gpointer*>(&window_));
  GdkDisplay* display = gtk_widget_get_display(GTK_WIDGET(window_));
  if (LayerShellSupported(display)) {
    kind_ = Kind::kLayerShell;
#ifdef VELLUMINE_HAVE_LAYER_SHELL
    gtk_layer_init_for_window(window_);
    gtk_layer_set_layer(window_, GTK_LAYER_SHELL_LAYER_BACKGROUND);
    gtk_layer_set_namespace(window_, "vellumine");
    for (GtkLayerShellEdge edge : {GTK_LAYER_SHELL_EDGE_LEFT, GTK_LAYER_SHELL_EDGE_RIGHT,
                                   GTK_LAYER_SHELL_EDGE_TOP, GTK_LAYER_SHELL_EDGE_BOTTOM}) {
      gtk_layer_set_anchor(window_, edge, TRUE);
    }
#ifdef VELLUMINE_LAYER_SHELL_ON_DEMAND
    // Typing into the page's forms takes a click into it; the keyboard is
    // never held away from the other windows.
    gtk_layer_set_keyboard_mode(window_, GTK_LAYER_SHELL_KEYBOARD_MODE_ON_DEMAND);
#else
    // Older versions know only an exclusive keyboard, which would lock the
    // user out of every other window: the desktop goes without.
    gtk_layer_set_keyboard_interactivity(window_, FALSE);
#endif
#endif
    // The compositor closes the surface when its output goes away; the
    // desktop then moves to another monitor instead of ending.
    g_signal_connect(window_, "delete-event", G_CALLBACK(OnDelete), this);
  } else if (IsX11(display)) {
    kind_ = Kind::kX11Desktop;
    // The window manager keeps a desktop window below every other window.
    gtk_window_set_type_hint(window_, GDK_WINDOW_TYPE_HINT_DESKTOP);
    gtk_window_set_decorated(window_, FALSE);
    gtk_window_set_skip_taskbar_hint(window_, TRUE);
    gtk_window_set_skip_pager_hint(window_, TRUE);
    gtk_window_set_keep_below(window_, TRUE);
    gtk_window_stick(window_);
  } else {
    std::fputs(
        "vellumine: this display offers no desktop layer (no layer-shell on this Wayland "
        "compositor); the page opens in a normal window instead\n",
        stderr);
  }
  if (kind_ == Kind::kPlainWindow) return;
  display_ = display;
  screen_ = gtk_widget_get_screen(GTK_WIDGET(window_));
  g_signal_connect_swapped(display_, "monitor-added", G_CALLBACK(OnMonitorsChanged), this);
  g_signal_connect_swapped(display_, "monitor-removed", G_CALLBACK(OnMonitorsChanged), this);
  g_signal_connect_swapped(screen_, "monitors-changed", G_CALLBACK(OnMonitorsChanged), this);
  g_signal_connect_swapped(screen_, "size-changed", G_CALLBACK(OnMonitorsChanged), this);
  Place();
}

DesktopLayer::~DesktopLayer() {
  if (idle_ != 0) g_source_remove(idle_);
  if (display_ != nullptr) g_signal_handlers_disconnect_by_data(display_, this);
  if (screen_ != nullptr) g_signal_handlers_disconnect_by_data(screen_, this);
  if (window_ == nullptr) return;  // destroyed before: its handlers went with it
  g_signal_handlers_disconnect_by_data(window_, this);
  g_object_remove_weak_pointer(G_OBJECT(window_), reinterpret_cast<gpointer*>(&window_));
}

void DesktopLayer::Place() {
  if (window_ == nullptr) return;
  GdkDisplay* display = gtk_widget_get_display(GTK_WIDGET(window_));
  const std::vector<MonitorInfo> monitors = ListMonitors(display);
  bool found = false;
  const int index = ChooseMonitor(monitors, wanted_, &found);
  if (!wanted_.empty() && !found && !missing_said_) {
    std::fprintf(
        stderr, "vellumine: no monitor \"%s\" now; the desktop covers %s until it appears\n",
        wanted_.c_str(),
        index >= 0 && !monitors[index].name.empty() ? monitors[index].name.c_str() : "another one");
  }
  missing_said_ = !wanted_.empty() && !found;
  monitor_ = index >= 0 ? gdk_display_get_monitor(display, index) : nullptr;
  if (monitor_ == nullptr) return;  // no monitor at all: wait for one
  if (kind_ == Kind::kLayerShell) {
#ifdef VELLUMINE_HAVE_LAYER_SHELL
    if (gtk_layer_get_monitor(window_) != monitor_) gtk_layer_set_monitor(window_, monitor_);
#endif
    // Shown again after the compositor closed it with its old output.
    if (g_object_get_data(G_OBJECT(window_), "vellumine-closed") != nullptr) {
      g_object_set_data(G_OBJECT(window_), "vellumine-closed", nullptr);
      gtk_widget_show(GTK_WIDGET(window_));
    }
  } else if (kind_ == Kind::kX11Desktop) {
    GdkRectangle area{};
    gdk_monitor_get_geometry(monitor_, &area);
    gtk_window_move(window_, area.x, area.y);
    gtk_window_set_default_size(window_, area.width, area.height);
    gtk_window_resize(window_, area.width, area.height);
  }
}

void DesktopLayer::PlaceSoon() {
  // Monitor changes come in bursts (removed, added, resized): placed once
  // they are over, when the display's list is whole again.
  if (idle_ != 0) return;
  idle_ = g_timeout_add(
      50,
      [](gpointer self) {
        auto* layer = static_cast<DesktopLayer*>(self);
        layer->idle_ = 0;
        layer->Place();
        return G_SOURCE_REMOVE;
      },
      this);
}

void DesktopLayer::OnMonitorsChanged(gpointer self) {
  static_cast<DesktopLayer*>(self)->PlaceSoon();
}

gboolean DesktopLayer::OnDelete(GtkWidget* widget, GdkEvent* /*event*/, gpointer self) {
  g_object_set_data(G_OBJECT(widget), "vellumine-closed", GINT_TO_POINTER(1));
  gtk_widget_hide(widget);
  static_cast<DesktopLayer*>(self)->PlaceSoon();
  return TRUE;
}

}  // namespace vellumine::desktop
