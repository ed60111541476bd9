#include "store/store.h"

#include "store/random_source.h"
#include "store/records.h"

namespace vellumine {

Store::Store(Platform& platform, std::u16string data_folder)
    : platform_(platform), data_folder_(std::move(data_folder)) {}

std::u16string Store::FullPath(std::u16string_view relative) const {
  std::u16string path = data_folder_;
  const char16_t sep = platform_.Separator();
  path.reserve(path.size() + relative.size());
  for (char16_t c : relative) path.push_back(c == u'/' ? sep : c);
  return path;
}

void Store::EnsureFolders(std::u16string_view relative) {
  const char16_t sep = platform_.Separator();
  std::u16string folder = data_folder_;
  if (!folder.empty() && folder.back() == sep) folder.pop_back();
  if (!folder.empty() && platform_.PathKind(folder) == 0) {
    // The data folder's own parents may be missing too (a fresh home folder
    // without its shared data folder): create them outermost first.
    for (std::size_t i = 1; i < folder.size(); ++i) {
      if (folder[i] != sep) continue;
      const std::u16string parent = folder.substr(0, i);
      if (platform_.PathKind(parent) == 0) platform_.CreateFolder(parent);
    }
    platform_.CreateFolder(folder);
  }
  // Every folder of the relative path, outermost first; never the last
  // component, which is the file itself.
  for (std::size_t i = 0; i < relative.size(); ++i) {
    if (relative[i] != u'/') continue;
    const std::u16string path = FullPath(relative.substr(0, i));
    if (platform_.PathKind(path) == 0) platform_.CreateFolder(path);
  }
}

std::optional<std::string> Store::Read(std::u16string_view relative) {
  EnsureFolders(relative);
  return platform_.ReadFile(FullPath(relative));
}

bool Store::Write(std::u16string_view relative, std::string_view bytes) {
  EnsureFolders(relative);
  if (platform_.WriteFileAtomic(FullPath(relative), bytes)) return true;
  failed_ = true;
  return false;
}

bool Store::Remove(std::u16string_view relative) {
  if (platform_.RemoveFile(FullPath(relative))) return true;
  failed_ = true;
  return false;
}

void Store::CreateFolder(std::u16string_view relative) {
  std::u16string with_slash(relative);
  with_slash.push_back(u'/');
  EnsureFolders(with_slash);
}

int Store::Kind(std::u16string_view relative) { return platform_.PathKind(FullPath(relative)); }

std::u16string Store::MakeItemKeyPath(std::u16string_view folder, ItemKey& key) {
  CreateFolder(folder);
  std::u16string prefix(folder);
  prefix.push_back(u'/');
  if (key.second != 0) return prefix + KeyHex(key);
  std::u16string path;
  do {
    // 0 stands for "not assigned": drawing it would make the item draw a new
    // name (and lose its file) every time.
    do {
      key.second = RandomSource::Instance().Next();
    } while (key.second == 0);
    path = prefix + KeyHex(key);
  } while (Kind(path) != 0);
  return path;
}

bool Store::TakeFailure() {
  const bool failed = failed_;
  failed_ = false;
  return failed;
}

}  // namespace vellumine
