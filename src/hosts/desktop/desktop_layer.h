// A window shown as the desktop, on the monitor it is asked to cover.
//
// - Wayland with the layer-shell protocol (wlroots compositors, KDE Plasma):
//   a surface on the background layer, anchored to the four edges of its
//   output, taking the keyboard only when the user clicks into it.
// - X11: a desktop-type window the window manager keeps below the others,
//   on every workspace, sized to its monitor.
// - Anything else (GNOME's Wayland session): a normal window, said once on
//   standard error; never a full-screen one over everything.
//
// It follows the monitors: when the covered monitor goes away it covers the
// default one (see monitors.h), when a monitor changes size it is sized
// again, and it goes back to the wished monitor when that one returns. The
// page inside sees a resize and shows its windows within the new area.
#pragma once

#include <gtk/gtk.h>

#include <string>

namespace vellumine::desktop {

class DesktopLayer {
 public:
  enum class Kind { kLayerShell, kX11Desktop, kPlainWindow };

  // Call before the window is first shown. wanted: a monitor's name or
  // number, or empty for the default. The window must outlive this object.
  DesktopLayer(GtkWindow* window, std::string wanted);
  ~DesktopLayer();
  DesktopLayer(const DesktopLayer&) = delete;
  DesktopLayer& operator=(const DesktopLayer&) = delete;

  Kind kind() const { return kind_; }
  // The monitor covered now; nullptr while there is none.
  GdkMonitor* monitor() const { return monitor_; }

 private:
  void Place();
  void PlaceSoon();
  static void OnMonitorsChanged(gpointer self);
  static gboolean OnDelete(GtkWidget* widget, GdkEvent* event, gpointer self);

  GtkWindow* window_;  // nullptr once destroyed
  GdkDisplay* display_ = nullptr;
  GdkScreen* screen_ = nullptr;
  std::string wanted_;
  Kind kind_ = Kind::kPlainWindow;
  GdkMonitor* monitor_ = nullptr;
  bool missing_said_ = false;
  guint idle_ = 0;
};

// Whether this display offers the layer-shell protocol (false where the app
// was built without gtk-layer-shell).
bool LayerShellSupported(GdkDisplay* display);

}  // namespace vellumine::desktop
