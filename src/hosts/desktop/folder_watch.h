// FolderWatch: tells the page's control when the data folder changes from
// outside (a runner, another machine's copy through a sync tool, an editor).
//
// Directory monitors (inotify; nothing polls) on the data folder and its item
// folders "memo", "linkmenu", "wp" and "schdl", each added when it appears.
// Only names the store itself gives are reported: the index files, the
// change stamp, item files named by a key (16 hexadecimal digits) or a date
// (8 digits). What a sync tool or an editor leaves beside them (conflict
// copies, partial downloads, its own temporaries, backups) and the store's
// own temporaries, locks and kept copies are not. Changes are gathered and
// reported together a short while after the last one, and at most a little
// later than the first, so that a save of several files is one report.
#pragma once

#include <gio/gio.h>

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace vellumine::desktop {

// The relative path ("memolist", "memo/0123456789abcdef") of a name seen in
// folder ("" for the data folder itself, else an item folder), or nullopt
// when the name is none the store gives.
std::optional<std::u16string> WatchedPath(std::string_view folder, std::string_view name);

class FolderWatch {
 public:
  using Report = std::function<void(const std::vector<std::u16string>& changed)>;

  // data_folder: the canonical data folder, UTF-8, ending with "/".
  // quiet_ms: how long after the last change the report comes; it comes at
  // most max_ms after the first.
  FolderWatch(std::string data_folder, Report report, unsigned quiet_ms = 200,
              unsigned max_ms = 600);
  ~FolderWatch();
  FolderWatch(const FolderWatch&) = delete;
  FolderWatch& operator=(const FolderWatch&) = delete;

  // The folders watched now ("" for the data folder).
  std::vector<std::string> watched() const;

 private:
  static void OnChanged(GFileMonitor* monitor, GFile* file, GFile* other, GFileMonitorEvent event,
                        gpointer self);
  static gboolean OnQuiet(gpointer self);
  void Watch(const std::string& folder);
  void Note(const std::string& folder, GFile* file);
  void Arm();

  std::string data_folder_;
  Report report_;
  unsigned quiet_ms_;
  unsigned max_ms_;
  std::map<std::string, GFileMonitor*> monitors_;
  std::set<std::u16string> pending_;
  gint64 first_change_us_ = 0;
  guint timer_ = 0;
};

}  // namespace vellumine::desktop
