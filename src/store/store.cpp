#include "store/store.h"

#include <utility>

#include "page/wide_format.h"
#include "store/records.h"

namespace vellumine {
namespace {

constexpr std::u16string_view kLockFile = u".lock";
constexpr std::u16string_view kStampFile = u".stamp";
// The files that list everything else: any outside change of the folder's
// contents that matters goes through one of them (or through the stamp).
constexpr std::u16string_view kIndexFiles[4] = {u"config", u"wplist", u"memolist", u"link"};
// The folders whose files an interrupted save can leave a temporary in.
constexpr std::u16string_view kItemFolders[4] = {u"memo", u"linkmenu", u"wp", u"schdl"};

std::uint64_t StampSeed(Platform& platform, const void* self) {
  std::random_device device;
  const std::uint64_t drawn = (static_cast<std::uint64_t>(device()) << 32) ^ device();
  // Where the device is weak, the tick count and the address still differ
  // between two processes started together.
  return drawn ^ platform.TickCount() ^ reinterpret_cast<std::uintptr_t>(self);
}

}  // namespace

Store::Store(Platform& platform, std::u16string data_folder, std::mt19937* random)
    : platform_(platform),
      data_folder_(std::move(data_folder)),
      stamps_(StampSeed(platform, this)),
      random_(random != nullptr ? *random : own_random_) {}

std::u16string Store::FullPath(std::u16string_view relative) const {
  std::u16string path = data_folder_;
  const char16_t sep = platform_.Separator();
  path.reserve(path.size() + relative.size());
  for (char16_t c : relative) path.push_back(c == u'/' ? sep : c);
  return path;
}

void Store::EnsureFolders(std::u16string_view relative, bool remember) {
  // A folder noted this holding is taken as there; any other is looked for
  // (and made), and noted when remember is set.
  const auto ensure = [&](const std::u16string& path) {
    if (remember && present_.contains(path)) return;
    if (platform_.PathKind(path) == 0) platform_.CreateFolder(path);
    if (remember) present_.insert(path);
  };
  const char16_t sep = platform_.Separator();
  std::u16string folder = data_folder_;
  if (!folder.empty() && folder.back() == sep) folder.pop_back();
  if (!folder.empty() && !(remember && present_.contains(folder)) &&
      platform_.PathKind(folder) == 0) {
    // The data folder's own parents may be missing too (a fresh home folder
    // without its shared data folder): create them outermost first.
    for (std::size_t i = 1; i < folder.size(); ++i) {
      if (folder[i] != sep) continue;
      const std::u16string parent = folder.substr(0, i);
      if (platform_.PathKind(parent) == 0) platform_.CreateFolder(parent);
    }
    platform_.CreateFolder(folder);
  }
  if (remember && !folder.empty()) present_.insert(folder);
  // Every folder of the relative path, outermost first; never the last
  // component, which is the file itself.
  for (std::size_t i = 0; i < relative.size(); ++i) {
    if (relative[i] != u'/') continue;
    ensure(FullPath(relative.substr(0, i)));
  }
}

std::optional<std::string> Store::Read(std::u16string_view relative) {
  EnsureFolders(relative, true);
  return platform_.ReadFile(FullPath(relative));
}

std::optional<std::string> Store::ReadNoted(std::u16string_view relative) {
  // The stamp before the bytes: a change in between leaves a stamp older
  // than what was read, which the next look finds changed.
  const std::int64_t clock = platform_.FileClockNs();
  const FileStamp stamp = platform_.Stamp(FullPath(relative));
  std::optional<std::string> bytes = Read(relative);
  const auto it = reads_.find(relative);
  if (bytes && stamp.exists && stamp.modified_ns <= clock - kSettledNs) {
    if (it != reads_.end()) {
      it->second = stamp;
    } else {
      reads_.emplace(std::u16string(relative), stamp);
    }
  } else if (it != reads_.end()) {
    reads_.erase(it);
  }
  return bytes;
}

bool Store::StillAsRead(std::u16string_view relative) {
  const auto it = reads_.find(relative);
  return it != reads_.end() && platform_.Stamp(FullPath(relative)) == it->second;
}

void Store::NoteOwn(std::u16string_view relative) {
  const FileStamp now = platform_.Stamp(FullPath(relative));
  const auto it = own_.find(relative);
  if (it != own_.end()) {
    it->second = now;
  } else {
    own_.emplace(std::u16string(relative), now);
  }
}

bool Store::Write(std::u16string_view relative, std::string_view bytes) {
  EnsureFolders(relative);
  const std::u16string path = FullPath(relative);
  // The same bytes again change nothing: no write, no stamp, so that other
  // writers have nothing to load again.
  const FileStamp before = platform_.Stamp(path);
  if (before.exists && before.size == bytes.size()) {
    const std::optional<std::string> held = platform_.ReadFile(path);
    if (held && *held == bytes) return true;
  }
  ForgetRead(relative);
  if (IsDamaged(relative) && !KeepDamagedCopy(relative)) {
    failed_ = true;
    return false;
  }
  if (!platform_.WriteFileAtomic(path, bytes)) {
    failed_ = true;
    return false;
  }
  saved_ = true;
  NoteOwn(relative);
  return true;
}

bool Store::Remove(std::u16string_view relative) {
  const std::u16string path = FullPath(relative);
  // Nothing there: nothing changes, and the other writers need not look.
  if (!platform_.Stamp(path).exists) return true;
  ForgetRead(relative);
  if (!platform_.RemoveFile(path)) {
    failed_ = true;
    return false;
  }
  saved_ = true;
  NoteOwn(relative);
  return true;
}

void Store::CreateFolder(std::u16string_view relative) {
  std::u16string with_slash(relative);
  with_slash.push_back(u'/');
  // A write into it looks again.
  EnsureFolders(with_slash, true);
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
      key.second = static_cast<std::uint32_t>(random_());
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

std::unique_ptr<FileLock> Store::LockFolder() {
  present_.clear();
  if (canonical_folder_.empty()) {
    EnsureFolders(u"");
    // Every spelling of the folder (a link to it, "..") must lock one file;
    // the lock is on the file, but its name is made once, from the folder's
    // canonical path.
    std::u16string folder = data_folder_;
    if (folder.size() > 1 && folder.back() == platform_.Separator()) folder.pop_back();
    if (std::optional<std::u16string> canonical = platform_.CanonicalPath(folder)) {
      canonical_folder_ = *canonical;
      if (canonical_folder_.empty() || canonical_folder_.back() != platform_.Separator()) {
        canonical_folder_.push_back(platform_.Separator());
      }
    }
  }
  const std::u16string folder = canonical_folder_.empty() ? data_folder_ : canonical_folder_;
  std::unique_ptr<FileLock> lock = platform_.LockFile(folder + std::u16string(kLockFile), true);
  if (lock == nullptr) {
    // The folder went since it was first locked: made again, it locks.
    EnsureFolders(u"");
    lock = platform_.LockFile(folder + std::u16string(kLockFile), true);
  }
  return lock;
}

FolderSignature Store::Signature() {
  FolderSignature signature;
  signature.stamp = platform_.ReadFile(FullPath(kStampFile));
  for (std::size_t i = 0; i < signature.indexes.size(); ++i) {
    signature.indexes[i] = platform_.Stamp(FullPath(kIndexFiles[i]));
  }
  return signature;
}

bool Store::TakeSaved() {
  const bool saved = saved_;
  saved_ = false;
  return saved;
}

void Store::BumpStamp() {
  std::u16string text;
  WideFormat(text, u"%08x%08x\n",
             {static_cast<std::uint32_t>(stamps_() >> 32), static_cast<std::uint32_t>(stamps_())});
  const std::string bytes(text.begin(), text.end());  // ASCII
  // Losing the stamp in a crash is harmless: the index files' own stamps
  // still tell that they changed.
  if (platform_.OverwriteFile(FullPath(kStampFile), bytes)) NoteOwn(kStampFile);
}

bool Store::IsKnownState(std::u16string_view relative) {
  const auto it = own_.find(relative);
  return it != own_.end() && it->second == platform_.Stamp(FullPath(relative));
}

void Store::RemoveLeftovers() {
  const auto sweep = [this](std::u16string_view folder) {
    const std::u16string path = folder.empty() ? data_folder_ : FullPath(folder);
    for (const std::u16string& name : platform_.ListFiles(path, u".")) {
      if (!IsTemporaryName(name)) continue;
      std::u16string relative(folder);
      if (!relative.empty()) relative.push_back(u'/');
      relative += name;
      platform_.RemoveFile(FullPath(relative));
    }
  };
  sweep(u"");
  for (std::u16string_view folder : kItemFolders) sweep(folder);
}

void Store::MarkDamaged(std::u16string_view relative) {
  damaged_.emplace(relative);
  ForgetRead(relative);
}

void Store::ForgetRead(std::u16string_view relative) {
  const auto it = reads_.find(relative);
  if (it != reads_.end()) reads_.erase(it);
}

bool Store::IsDamaged(std::u16string_view relative) const {
  return damaged_.find(relative) != damaged_.end();
}

bool Store::KeepDamagedCopy(std::u16string_view relative) {
  const std::optional<std::string> bytes = platform_.ReadFile(FullPath(relative));
  if (!bytes) {
    // Gone or unreadable since it was loaded: nothing left to keep.
    damaged_.erase(damaged_.find(relative));
    return platform_.PathKind(FullPath(relative)) == 0;
  }
  const LocalTime now = platform_.Now();
  std::u16string copy(relative);
  WideFormat(copy, u".damaged-%04d%02d%02d-%02d%02d%02d",
             {now.date.year, now.date.month, now.date.day, now.hour, now.minute, now.second});
  // Two copies within one second get numbered names.
  const std::u16string base = copy;
  for (std::int32_t n = 2; Kind(copy) != 0; ++n) copy = WideFormatted(u"%s-%d", {base, n});
  if (!platform_.WriteFileAtomic(FullPath(copy), *bytes)) return false;
  damaged_.erase(damaged_.find(relative));
  std::u16string shown = copy;
  for (char16_t& c : shown) {
    if (c == u'/') c = platform_.Separator();
  }
  kept_.push_back(std::move(shown));
  return true;
}

std::vector<std::u16string> Store::TakeKeptCopies() { return std::exchange(kept_, {}); }

}  // namespace vellumine
