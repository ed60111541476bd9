#include "hosts/desktop/monitors.h"

#include <cstring>

#ifdef VELLUMINE_HAVE_XDG_OUTPUT
#include <gdk/gdkwayland.h>
#include <wayland-client.h>

#include "xdg-output-unstable-v1-client-protocol.h"
#endif

namespace vellumine::desktop {
namespace {

bool AllDigits(const std::string& text) {
  if (text.empty() || text.size() > 6) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

#ifdef VELLUMINE_HAVE_XDG_OUTPUT
// GTK 3 keeps the Wayland output's name to itself; the names are asked for
// on a queue of our own, so that asking never dispatches GTK's events from
// inside GTK's handlers.
struct NameQuery {
  wl_event_queue* queue = nullptr;
  zxdg_output_manager_v1* manager = nullptr;
  std::string name;
};

void OnGlobal(void* data, wl_registry* registry, uint32_t id, const char* interface,
              uint32_t version) {
  auto* query = static_cast<NameQuery*>(data);
  if (query->manager == nullptr &&
      std::strcmp(interface, zxdg_output_manager_v1_interface.name) == 0 && version >= 2) {
    query->manager = static_cast<zxdg_output_manager_v1*>(
        wl_registry_bind(registry, id, &zxdg_output_manager_v1_interface, 2));
  }
}
void OnGlobalRemove(void*, wl_registry*, uint32_t) {}
constexpr wl_registry_listener kRegistryListener = {OnGlobal, OnGlobalRemove};

void OnPosition(void*, zxdg_output_v1*, int32_t, int32_t) {}
void OnSize(void*, zxdg_output_v1*, int32_t, int32_t) {}
void OnDone(void*, zxdg_output_v1*) {}
void OnName(void* data, zxdg_output_v1*, const char* name) {
  static_cast<NameQuery*>(data)->name = name != nullptr ? name : "";
}
void OnDescription(void*, zxdg_output_v1*, const char*) {}
constexpr zxdg_output_v1_listener kOutputListener = {OnPosition, OnSize, OnDone, OnName,
                                                     OnDescription};

std::string WaylandOutputName(GdkMonitor* monitor) {
  wl_output* output = gdk_wayland_monitor_get_wl_output(monitor);
  wl_display* display = gdk_wayland_display_get_wl_display(gdk_monitor_get_display(monitor));
  if (output == nullptr || display == nullptr) return {};
  NameQuery query;
  query.queue = wl_display_create_queue(display);
  auto* wrapper = static_cast<wl_display*>(wl_proxy_create_wrapper(display));
  wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(wrapper), query.queue);
  wl_registry* registry = wl_display_get_registry(wrapper);
  wl_registry_add_listener(registry, &kRegistryListener, &query);
  wl_display_roundtrip_queue(display, query.queue);
  if (query.manager != nullptr) {
    zxdg_output_v1* xdg_output = zxdg_output_manager_v1_get_xdg_output(query.manager, output);
    zxdg_output_v1_add_listener(xdg_output, &kOutputListener, &query);
    wl_display_roundtrip_queue(display, query.queue);
    zxdg_output_v1_destroy(xdg_output);
    zxdg_output_manager_v1_destroy(query.manager);
  }
  wl_registry_destroy(registry);
  wl_proxy_wrapper_destroy(wrapper);
  wl_event_queue_destroy(query.queue);
  return query.name;
}
#endif

}  // namespace

int FindMonitor(const std::vector<MonitorInfo>& monitors, const std::string& wanted) {
  if (wanted.empty()) return -1;
  if (AllDigits(wanted)) {
    const int index = std::stoi(wanted);
    return index < static_cast<int>(monitors.size()) ? index : -1;
  }
  for (std::size_t i = 0; i < monitors.size(); ++i) {
    if (monitors[i].name == wanted) return static_cast<int>(i);
  }
  for (std::size_t i = 0; i < monitors.size(); ++i) {
    if (!monitors[i].name.empty() &&
        g_ascii_strcasecmp(monitors[i].name.c_str(), wanted.c_str()) == 0) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

int DefaultMonitor(const std::vector<MonitorInfo>& monitors) {
  for (std::size_t i = 0; i < monitors.size(); ++i) {
    if (monitors[i].primary) return static_cast<int>(i);
  }
  return monitors.empty() ? -1 : 0;
}

int ChooseMonitor(const std::vector<MonitorInfo>& monitors, const std::string& wanted,
                  bool* found) {
  const int index = FindMonitor(monitors, wanted);
  if (found != nullptr) *found = index >= 0;
  return index >= 0 ? index : DefaultMonitor(monitors);
}

std::string MonitorName(GdkMonitor* monitor) {
  if (monitor == nullptr) return {};
#ifdef VELLUMINE_HAVE_XDG_OUTPUT
  if (GDK_IS_WAYLAND_DISPLAY(gdk_monitor_get_display(monitor))) {
    // Asked once a monitor: the answer makes the compositor repeat the
    // output's state, which GTK reports as a change of the monitors.
    constexpr char kKey[] = "vellumine-output-name";
    auto* known = static_cast<const char*>(g_object_get_data(G_OBJECT(monitor), kKey));
    if (known != nullptr) return known;
    const std::string name = WaylandOutputName(monitor);
    if (!name.empty())
      g_object_set_data_full(G_OBJECT(monitor), kKey, g_strdup(name.c_str()), g_free);
    return name;
  }
#endif
  // X11: GTK names a RandR monitor by its output.
  const char* model = gdk_monitor_get_model(monitor);
  return model != nullptr ? model : "";
}

std::vector<MonitorInfo> ListMonitors(GdkDisplay* display) {
  std::vector<MonitorInfo> list;
  if (display == nullptr) return list;
  const int n = gdk_display_get_n_monitors(display);
  for (int i = 0; i < n; ++i) {
    GdkMonitor* monitor = gdk_display_get_monitor(display, i);
    list.push_back({MonitorName(monitor), monitor != nullptr && gdk_monitor_is_primary(monitor)});
  }
  return list;
}

}  // namespace vellumine::desktop
