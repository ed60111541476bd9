#include "platform/memory_platform.h"

#include <functional>

namespace vellumine {
namespace {

// Without trailing separators, except for the root itself.
std::u16string Trimmed(std::u16string_view path) {
  std::u16string p(path);
  while (p.size() > 1 && p.back() == u'/') p.pop_back();
  return p;
}

// The folder holding path; "/" for a name right below the root.
std::u16string ParentOf(const std::u16string& path) {
  const std::size_t slash = path.rfind(u'/');
  if (slash == std::u16string::npos || slash == 0) return u"/";
  return path.substr(0, slash);
}

}  // namespace

int MemoryPlatform::PathKind(std::u16string_view path) {
  const std::u16string p = Trimmed(path);
  if (files_.count(p)) return 1;
  if (p == u"/" || folders_.count(p)) return 2;
  return 0;
}

bool MemoryPlatform::CreateFolder(std::u16string_view path) {
  const std::u16string p = Trimmed(path);
  if (p.empty() || files_.count(p)) return false;
  if (p == u"/" || folders_.count(p)) return true;
  if (PathKind(ParentOf(p)) != 2) return false;
  folders_.insert(p);
  return true;
}

std::optional<std::string> MemoryPlatform::ReadFile(std::u16string_view path) {
  const auto it = files_.find(std::u16string(path));
  if (it == files_.end()) return std::nullopt;
  return it->second;
}

bool MemoryPlatform::WriteFileAtomic(std::u16string_view path, std::string_view bytes,
                                     WriteFailure* failure) {
  const std::u16string p(path);
  WriteFailure refused;
  if (p.empty() || p.back() == u'/') {
    refused.step = WriteStep::kPath;
  } else if (folders_.count(p)) {
    refused.step = WriteStep::kNotAFile;
  } else if (PathKind(ParentOf(p)) != 2) {
    refused.step = WriteStep::kCreateTemporary;
  }
  if (refused.step != WriteStep::kNone) {
    if (failure != nullptr) *failure = refused;
    return false;
  }
  files_[p] = std::string(bytes);
  return true;
}

bool MemoryPlatform::OverwriteFile(std::u16string_view path, std::string_view bytes) {
  return WriteFileAtomic(path, bytes);
}

bool MemoryPlatform::RemoveFile(std::u16string_view path) {
  const std::u16string p(path);
  if (folders_.count(p)) return false;
  files_.erase(p);
  return true;
}

std::vector<std::u16string> MemoryPlatform::ListFiles(std::u16string_view folder,
                                                      std::u16string_view prefix) {
  std::u16string base(folder);
  if (base.empty() || base.back() != u'/') base.push_back(u'/');
  std::vector<std::u16string> out;
  for (auto it = files_.lower_bound(base); it != files_.end(); ++it) {
    const std::u16string& path = it->first;
    if (path.compare(0, base.size(), base) != 0) break;
    const std::u16string name = path.substr(base.size());
    if (name.find(u'/') != std::u16string::npos) continue;
    if (name.compare(0, prefix.size(), prefix) == 0) out.push_back(name);
  }
  return out;
}

FileStamp MemoryPlatform::Stamp(std::u16string_view path) {
  const auto it = files_.find(std::u16string(path));
  if (it == files_.end()) return {};
  FileStamp stamp;
  stamp.exists = true;
  stamp.size = it->second.size();
  stamp.modified_ns = static_cast<std::int64_t>(std::hash<std::string>{}(it->second));
  return stamp;
}

std::optional<std::u16string> MemoryPlatform::CanonicalPath(std::u16string_view path) {
  if (PathKind(path) == 0) return std::nullopt;
  return Trimmed(path);
}

std::unique_ptr<FileLock> MemoryPlatform::LockFile(std::u16string_view, bool, bool* busy) {
  if (busy != nullptr) *busy = false;
  return std::make_unique<FileLock>();
}

void MemoryPlatform::Put(std::u16string_view relative, std::string bytes) {
  const std::u16string path = u"/d/" + std::u16string(relative);
  for (std::size_t i = 1; i < path.size(); ++i) {
    if (path[i] == u'/') folders_.insert(path.substr(0, i));
  }
  files_[path] = std::move(bytes);
}

std::optional<std::string> MemoryPlatform::Get(std::u16string_view relative) {
  return ReadFile(u"/d/" + std::u16string(relative));
}

}  // namespace vellumine
