// One window per data folder.
//
// The first launch on a folder holds the folder's instance lock
// ("<canonical folder>/.instance", a file apart from the lock each call of
// the control takes) for as long as it runs: the lock, not the bus, decides
// which launch is the first, however the folder's path is spelled. A later
// launch hands over to the first through the session bus (the application
// id comes from the canonical path, so every spelling finds the same one),
// which raises its window; with no bus, or no answer on it, the later launch
// says so and ends. A later launch writes nothing into the folder.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/platform.h"

namespace vellumine::desktop {

// The data folder as the app uses it: data_dir when given, otherwise the
// user's XDG data folder; made if missing, with every link and "." or ".."
// resolved, ending with "/". nullopt when it can't be made.
std::optional<std::string> CanonicalDataFolder(const std::string& data_dir);

// The instance lock of a canonical data folder; nullptr when another launch
// holds it (*busy true) or it can't be taken (*busy false: a folder that
// can't be written, say).
std::unique_ptr<FileLock> TakeInstanceLock(const std::string& canonical_folder, bool* busy);

enum class HandOverResult {
  kHandedOver,  // the first launch was asked to show its window
  kNoBus,       // no session bus to ask it through
  kNoAnswer,    // nothing answers for the folder on the bus
};

// Asks the launch registered under application_id to show its window,
// waiting up to wait_ms for it to appear on the bus (it may be starting).
HandOverResult HandOver(const std::string& application_id, unsigned wait_ms = 5000);

}  // namespace vellumine::desktop
