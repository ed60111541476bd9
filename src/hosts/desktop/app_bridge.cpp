#include "hosts/desktop/app_bridge.h"

#include <cstdio>

#include "hosts/desktop/skerrow_binding.h"

namespace vellumine::desktop {
namespace {

struct Bridge {
  StartAtLogin start;
  JSCContext* guard;
};

void FreeBridge(gpointer data) {
  auto* bridge = static_cast<Bridge*>(data);
  if (bridge->guard != nullptr) g_object_unref(bridge->guard);
  delete bridge;
}

gboolean Enabled(gpointer data) {
  return AutostartEnabled(static_cast<Bridge*>(data)->start.file) ? TRUE : FALSE;
}

gboolean SetEnabled(JSCValue* on, gpointer data) {
  auto* bridge = static_cast<Bridge*>(data);
  JSCContext* page = jsc_context_get_current();
  if (page != nullptr && IsUserAction(page, bridge->guard)) {
    const bool wanted = on != nullptr && jsc_value_to_boolean(on);
    if (!SetAutostart(bridge->start.file, bridge->start.entry, wanted)) {
      std::fprintf(stderr, "vellumine: can't %s %s\n", wanted ? "write" : "remove",
                   bridge->start.file.c_str());
    }
  }
  return AutostartEnabled(bridge->start.file) ? TRUE : FALSE;
}

}  // namespace

void InstallAppBridge(JSCContext* context, JSCContext* guard, const StartAtLogin& start) {
  if (start.file.empty()) return;
  JSCValue* object = jsc_value_new_object(context, nullptr, nullptr);
  // Each function holds its own bridge: the object may outlive either.
  auto make = [&] {
    return new Bridge{start, guard != nullptr ? JSC_CONTEXT(g_object_ref(guard)) : nullptr};
  };
  JSCValue* enabled = jsc_value_new_function(context, "StartAtLogin", G_CALLBACK(Enabled), make(),
                                             FreeBridge, G_TYPE_BOOLEAN, 0);
  JSCValue* set = jsc_value_new_function(context, "SetStartAtLogin", G_CALLBACK(SetEnabled), make(),
                                         FreeBridge, G_TYPE_BOOLEAN, 1, JSC_TYPE_VALUE);
  jsc_value_object_set_property(object, "StartAtLogin", enabled);
  jsc_value_object_set_property(object, "SetStartAtLogin", set);
  jsc_context_set_value(context, "VellumineApp", object);
  g_object_unref(set);
  g_object_unref(enabled);
  g_object_unref(object);
  jsc_context_clear_exception(context);
}

}  // namespace vellumine::desktop
