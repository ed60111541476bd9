#include "hosts/desktop/instance.h"

#include <gio/gio.h>

#include "hosts/desktop/page_view.h"
#include "page/text.h"
#include "platform/posix_platform.h"

namespace vellumine::desktop {

std::optional<std::string> CanonicalDataFolder(const std::string& data_dir) {
  return PrepareDataFolder(DataFolderUtf8(data_dir), FolderSpelling::kCanonical);
}

std::unique_ptr<FileLock> TakeInstanceLock(const std::string& canonical_folder, bool* busy) {
  PosixPlatform platform;
  return platform.LockFile(Utf8ToUtf16(canonical_folder + ".instance"), false, busy);
}

HandOverResult HandOver(const std::string& application_id, unsigned wait_ms) {
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  if (bus == nullptr) return HandOverResult::kNoBus;
  // The object path GApplication exports for its id.
  std::string path = "/" + application_id;
  for (char& c : path) {
    if (c == '.') c = '/';
    if (c == '-') c = '_';
  }
  // The name is only asked for, never taken: a launch that took it for a
  // moment could make the first one hand over to it and end.
  const gint64 deadline = g_get_monotonic_time() + static_cast<gint64>(wait_ms) * 1000;
  HandOverResult result = HandOverResult::kNoAnswer;
  for (;;) {
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(
        bus, application_id.c_str(), path.c_str(), "org.freedesktop.Application", "Activate",
        g_variant_new("(a{sv})", nullptr), nullptr, G_DBUS_CALL_FLAGS_NO_AUTO_START, 10000, nullptr,
        &error);
    if (reply != nullptr) {
      g_variant_unref(reply);
      result = HandOverResult::kHandedOver;
      break;
    }
    g_error_free(error);
    if (g_get_monotonic_time() >= deadline) break;
    g_usleep(100 * 1000);
  }
  g_object_unref(bus);
  return result;
}

}  // namespace vellumine::desktop
