#include "hosts/desktop/folder_watch.h"

#include <algorithm>

#include "page/text.h"

namespace vellumine::desktop {
namespace {

constexpr std::string_view kItemFolders[] = {"memo", "linkmenu", "wp", "schdl"};
constexpr std::string_view kTopFiles[] = {"config", "wplist", "memolist", "link", ".stamp"};

bool AllOf(std::string_view name, std::size_t length, bool (*unit)(char)) {
  return name.size() == length && std::all_of(name.begin(), name.end(), unit);
}
bool IsKeyDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsItemFolder(std::string_view name) {
  return std::find(std::begin(kItemFolders), std::end(kItemFolders), name) !=
         std::end(kItemFolders);
}

}  // namespace

std::optional<std::u16string> WatchedPath(std::string_view folder, std::string_view name) {
  if (folder.empty()) {
    if (std::find(std::begin(kTopFiles), std::end(kTopFiles), name) == std::end(kTopFiles)) {
      return std::nullopt;
    }
    return Utf8ToUtf16(name);
  }
  const bool named = folder == "schdl" ? AllOf(name, 8, IsDigit)
                                       : IsItemFolder(folder) && AllOf(name, 16, IsKeyDigit);
  if (!named) return std::nullopt;
  return Utf8ToUtf16(std::string(folder) + "/" + std::string(name));
}

FolderWatch::FolderWatch(std::string data_folder, Report report, unsigned quiet_ms, unsigned max_ms)
    : data_folder_(std::move(data_folder)),
      report_(std::move(report)),
      quiet_ms_(quiet_ms),
      max_ms_(max_ms) {
  Watch("");
  for (std::string_view folder : kItemFolders) {
    if (g_file_test((data_folder_ + std::string(folder)).c_str(), G_FILE_TEST_IS_DIR)) {
      Watch(std::string(folder));
    }
  }
}

FolderWatch::~FolderWatch() {
  if (timer_ != 0) g_source_remove(timer_);
  for (auto& [folder, monitor] : monitors_) {
    g_signal_handlers_disconnect_by_data(monitor, this);
    g_file_monitor_cancel(monitor);
    g_object_unref(monitor);
  }
}

std::vector<std::string> FolderWatch::watched() const {
  std::vector<std::string> out;
  for (const auto& [folder, monitor] : monitors_) out.push_back(folder);
  return out;
}

void FolderWatch::Watch(const std::string& folder) {
  if (monitors_.count(folder) != 0) return;
  GFile* dir = g_file_new_for_path((data_folder_ + folder).c_str());
  GFileMonitor* monitor =
      g_file_monitor_directory(dir, G_FILE_MONITOR_WATCH_MOVES, nullptr, nullptr);
  g_object_unref(dir);
  if (monitor == nullptr) return;
  g_object_set_data_full(G_OBJECT(monitor), "vellumine-folder", g_strdup(folder.c_str()), g_free);
  g_signal_connect(monitor, "changed", G_CALLBACK(OnChanged), this);
  monitors_[folder] = monitor;
}

void FolderWatch::OnChanged(GFileMonitor* monitor, GFile* file, GFile* other,
                            GFileMonitorEvent event, gpointer self) {
  auto* watch = static_cast<FolderWatch*>(self);
  const auto* folder =
      static_cast<const char*>(g_object_get_data(G_OBJECT(monitor), "vellumine-folder"));
  if (folder == nullptr) return;
  switch (event) {
    case G_FILE_MONITOR_EVENT_CHANGES_DONE_HINT:
    case G_FILE_MONITOR_EVENT_CHANGED:
    case G_FILE_MONITOR_EVENT_CREATED:
    case G_FILE_MONITOR_EVENT_DELETED:
    case G_FILE_MONITOR_EVENT_MOVED_IN:
    case G_FILE_MONITOR_EVENT_MOVED_OUT:
    case G_FILE_MONITOR_EVENT_RENAMED:
      break;
    default:
      return;  // attributes, unmounts: no content changed
  }
  // An item folder that appears is watched from now on.
  if (*folder == '\0' &&
      (event == G_FILE_MONITOR_EVENT_CREATED || event == G_FILE_MONITOR_EVENT_MOVED_IN ||
       event == G_FILE_MONITOR_EVENT_RENAMED)) {
    GFile* created = event == G_FILE_MONITOR_EVENT_RENAMED ? other : file;
    gchar* name = created != nullptr ? g_file_get_basename(created) : nullptr;
    if (name != nullptr && IsItemFolder(name) &&
        g_file_query_file_type(created, G_FILE_QUERY_INFO_NONE, nullptr) == G_FILE_TYPE_DIRECTORY) {
      watch->Watch(name);
    }
    g_free(name);
  }
  // A rename names the old and the new file: either may be a watched one
  // (a sync tool's temporary renamed over the list, a list renamed away).
  watch->Note(folder, file);
  if (other != nullptr) watch->Note(folder, other);
}

void FolderWatch::Note(const std::string& folder, GFile* file) {
  gchar* name = g_file_get_basename(file);
  if (name == nullptr) return;
  std::optional<std::u16string> path = WatchedPath(folder, name);
  g_free(name);
  if (!path) return;
  pending_.insert(std::move(*path));
  Arm();
}

void FolderWatch::Arm() {
  const gint64 now = g_get_monotonic_time();
  if (timer_ == 0) {
    first_change_us_ = now;
  } else {
    g_source_remove(timer_);
  }
  // Quiet for a moment, but never later than max_ms after the first change.
  const gint64 due_us = std::min<gint64>(now + static_cast<gint64>(quiet_ms_) * 1000,
                                         first_change_us_ + static_cast<gint64>(max_ms_) * 1000);
  const gint64 wait_ms = std::max<gint64>(0, (due_us - now) / 1000);
  timer_ = g_timeout_add(static_cast<guint>(wait_ms), OnQuiet, this);
}

gboolean FolderWatch::OnQuiet(gpointer self) {
  auto* watch = static_cast<FolderWatch*>(self);
  watch->timer_ = 0;
  std::vector<std::u16string> changed(watch->pending_.begin(), watch->pending_.end());
  watch->pending_.clear();
  if (!changed.empty()) watch->report_(changed);
  return G_SOURCE_REMOVE;
}

}  // namespace vellumine::desktop
