// MemoryPlatform: files and folders in memory, below the data folder "/d/",
// with no dialogs (questions answer No, pickers cancel) and nothing
// launched. For fuzz targets, benchmarks and tests that need no disk; wrap it
// in ScriptedPlatform for dialogs or FaultyPlatform for failures.
//
// Paths use "/"; a folder exists once created (or once Put puts a file
// below it). Writing over a folder, or below a missing folder, fails as it
// would on disk. One process, one thread: a lock is always free.
#pragma once

#include <cstdint>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace vellumine {

class MemoryPlatform : public Platform {
 public:
  Answer ShowMessage(std::u16string_view, const std::optional<std::u16string>&,
                     Buttons buttons) override {
    return buttons == Buttons::kYesNo ? Answer::kNo : Answer::kOk;
  }
  std::optional<FontChoice> PickFont(std::u16string_view, std::int32_t) override {
    return std::nullopt;
  }
  std::optional<std::u16string> PickFile() override { return std::nullopt; }
  std::optional<std::u16string> PickFolder() override { return std::nullopt; }
  void Launch(std::u16string_view) override {}

  std::u16string DataFolder() override { return u"/d/"; }
  char16_t Separator() const override { return u'/'; }
  std::uint32_t TickCount() override { return 1; }
  LocalDate Today() override { return {2026, 12, 7}; }
  LocalTime Now() override { return {{2026, 12, 7}, 12, 0, 0}; }
  // Its stamps' times follow the content, not a clock: any file is as old as
  // a stamp can tell.
  std::int64_t FileClockNs() override { return std::numeric_limits<std::int64_t>::max(); }

  int PathKind(std::u16string_view path) override;
  bool CreateFolder(std::u16string_view path) override;
  std::optional<std::string> ReadFile(std::u16string_view path) override;
  bool WriteFileAtomic(std::u16string_view path, std::string_view bytes,
                       WriteFailure* failure = nullptr) override;
  bool OverwriteFile(std::u16string_view path, std::string_view bytes) override;
  bool RemoveFile(std::u16string_view path) override;
  std::vector<std::u16string> ListFiles(std::u16string_view folder,
                                        std::u16string_view prefix) override;
  // The content's hash stands for its time: a change is seen.
  FileStamp Stamp(std::u16string_view path) override;
  std::optional<std::u16string> CanonicalPath(std::u16string_view path) override;
  std::unique_ptr<FileLock> LockFile(std::u16string_view path, bool wait,
                                     bool* busy = nullptr) override;

  // A data file by its relative path ("memo/0123456789abcdef"), its folders
  // made as needed.
  void Put(std::u16string_view relative, std::string bytes);
  std::optional<std::string> Get(std::u16string_view relative);
  const std::map<std::u16string, std::string>& files() const { return files_; }

 private:
  std::map<std::u16string, std::string> files_;
  std::set<std::u16string> folders_;
};

}  // namespace vellumine
