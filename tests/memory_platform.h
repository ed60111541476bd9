// A platform whose files and folders live in memory, below the data folder
// "/d/", with no dialogs (questions answer No, pickers cancel) and nothing
// launched. For fuzz targets and tests that need no disk.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace vellumine::testing {

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

  int PathKind(std::u16string_view path) override {
    std::u16string p(path);
    while (p.size() > 1 && p.back() == u'/') p.pop_back();
    if (files_.count(p)) return 1;
    if (folders_.count(p)) return 2;
    return 0;
  }
  bool CreateFolder(std::u16string_view path) override {
    std::u16string p(path);
    while (p.size() > 1 && p.back() == u'/') p.pop_back();
    if (files_.count(p)) return false;
    folders_.insert(p);
    return true;
  }
  std::optional<std::string> ReadFile(std::u16string_view path) override {
    auto it = files_.find(std::u16string(path));
    if (it == files_.end()) return std::nullopt;
    return it->second;
  }
  bool WriteFileAtomic(std::u16string_view path, std::string_view bytes) override {
    std::u16string p(path);
    if (folders_.count(p)) return false;
    files_[p] = std::string(bytes);
    return true;
  }
  bool OverwriteFile(std::u16string_view path, std::string_view bytes) override {
    return WriteFileAtomic(path, bytes);
  }
  bool RemoveFile(std::u16string_view path) override {
    files_.erase(std::u16string(path));
    return true;
  }
  FileStamp Stamp(std::u16string_view path) override {
    auto it = files_.find(std::u16string(path));
    if (it == files_.end()) return {};
    // The content's hash stands for its time: a change is seen.
    FileStamp stamp;
    stamp.exists = true;
    stamp.size = it->second.size();
    stamp.modified_ns = static_cast<std::int64_t>(std::hash<std::string>{}(it->second));
    return stamp;
  }
  std::optional<std::u16string> CanonicalPath(std::u16string_view path) override {
    if (PathKind(path) == 0) return std::nullopt;
    std::u16string p(path);
    while (p.size() > 1 && p.back() == u'/') p.pop_back();
    return p;
  }
  // One process, one thread: the lock is always free.
  std::unique_ptr<FileLock> LockFile(std::u16string_view, bool, bool* busy) override {
    if (busy != nullptr) *busy = false;
    return std::make_unique<FileLock>();
  }
  std::vector<std::u16string> ListFiles(std::u16string_view folder,
                                        std::u16string_view prefix) override {
    std::u16string base(folder);
    if (base.empty() || base.back() != u'/') base.push_back(u'/');
    std::vector<std::u16string> out;
    for (const auto& [path, bytes] : files_) {
      if (path.size() <= base.size() || path.compare(0, base.size(), base) != 0) continue;
      const std::u16string name = path.substr(base.size());
      if (name.find(u'/') != std::u16string::npos) continue;
      if (name.compare(0, prefix.size(), prefix) == 0) out.push_back(name);
    }
    return out;
  }

  // A data file by its relative path ("memo/0123456789abcdef").
  void Put(std::u16string_view relative, std::string bytes) {
    std::u16string path = u"/d/" + std::u16string(relative);
    for (std::size_t i = 3; i < path.size(); ++i) {
      if (path[i] == u'/') folders_.insert(path.substr(0, i));
    }
    folders_.insert(u"/d");
    files_[path] = std::move(bytes);
  }
  std::optional<std::string> Get(std::u16string_view relative) {
    return ReadFile(u"/d/" + std::u16string(relative));
  }
  const std::map<std::u16string, std::string>& files() const { return files_; }

 private:
  std::map<std::u16string, std::string> files_;
  std::set<std::u16string> folders_;
};

}  // namespace vellumine::testing
