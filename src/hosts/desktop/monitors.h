// Which monitor the desktop covers, and the monitors' names.
//
// A monitor is named as the window system names its output ("DP-1",
// "HEADLESS-1") or by its number among the display's monitors, counted from
// 0 in the display's order. Without a wish the primary monitor is taken, or
// the first where none is primary (Wayland has no primary monitor). A wish
// that names no monitor now falls back to that default; the desktop goes
// back to the wished monitor when it appears again.
#pragma once

#include <gtk/gtk.h>

#include <string>
#include <vector>

namespace vellumine::desktop {

struct MonitorInfo {
  std::string name;  // the output's name; may be empty while it is unknown
  bool primary = false;
};

// The index of the monitor that wanted names: a number names the monitor at
// that index, anything else an output name (exact, then ignoring ASCII case).
// -1 when wanted names no monitor of the list.
int FindMonitor(const std::vector<MonitorInfo>& monitors, const std::string& wanted);

// The monitor covered without a wish: the primary one, otherwise the first;
// -1 for an empty list.
int DefaultMonitor(const std::vector<MonitorInfo>& monitors);

// The monitor to cover: FindMonitor's, or DefaultMonitor's where wanted is
// empty or names no monitor. *found says whether wanted was found.
int ChooseMonitor(const std::vector<MonitorInfo>& monitors, const std::string& wanted, bool* found);

// The name of a monitor of the running display: on Wayland the output's
// name as the compositor gives it, on X11 the RandR output's name.
std::string MonitorName(GdkMonitor* monitor);

// The display's monitors in their order, with their names.
std::vector<MonitorInfo> ListMonitors(GdkDisplay* display);

}  // namespace vellumine::desktop
