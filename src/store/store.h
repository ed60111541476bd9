// Store: the data folder and the files in it.
//
// Relative paths name files below the data folder with "/" between folder
// and file names ("config", "memo/0123456789abcdef"); the store maps "/" to
// the platform's separator. Every write replaces a file whole through the
// platform's atomic replace, creating the folders of the relative path first,
// outermost first; a write of the bytes the file holds already is skipped. A
// failed write or removal is remembered until TakeFailure(), so the control
// can tell the user once per call.
//
// Several writers may share the folder (processes of this system, a sync
// tool, an editor). Each call of the control holds the folder's lock
// (LockFolder) and, having saved anything, writes a new change stamp
// (".stamp") so that the others notice; Signature() is what they compare:
// the stamp and the size, time and identity of the index files.
//
// A file that loaded damaged (MarkDamaged) is copied beside itself as
// "<name>.damaged-YYYYMMDD-hhmmss" before the first write that would replace
// it; TakeKeptCopies() names the copies made.
#pragma once

#include <array>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "model/state.h"
#include "platform/platform.h"

namespace vellumine {

// The saved state of a data folder as far as cheap looks can tell.
struct FolderSignature {
  std::optional<std::string> stamp;  // the change stamp's content
  std::array<FileStamp, 4> indexes;  // "config", "wplist", "memolist", "link"
  bool operator==(const FolderSignature&) const = default;
};

class Store {
 public:
  // Item keys are drawn from random, which must outlive the store (the
  // control hands over its own); without one the store draws from an engine
  // of its own with the standard default seed.
  Store(Platform& platform, std::u16string data_folder, std::mt19937* random = nullptr);

  Platform& platform() { return platform_; }
  const std::u16string& data_folder() const { return data_folder_; }

  // The data folder followed by the relative path with "/" mapped.
  std::u16string FullPath(std::u16string_view relative) const;

  // The whole file; nullopt when it is missing or can't be read. Creates the
  // data folder and the folders of the relative path when they are missing.
  std::optional<std::string> Read(std::u16string_view relative);
  // Replaces the file whole; false (and a remembered failure) when it could
  // not be written, or when it loaded damaged and no copy could be kept.
  bool Write(std::u16string_view relative, std::string_view bytes);
  // Removes the file; a missing file is no error. No folder is created.
  bool Remove(std::u16string_view relative);
  // Creates a folder below the data folder (and the data folder itself).
  void CreateFolder(std::u16string_view relative);
  // PathKind of a relative path.
  int Kind(std::u16string_view relative);

  // folder + "/" + "%08x%08x" of key. When key.second is 0, draws it from
  // the store's random engine until no file or folder of that name exists, and keeps
  // it in key. Creates the folder.
  std::u16string MakeItemKeyPath(std::u16string_view folder, ItemKey& key);

  // True once after a write or removal failed.
  bool TakeFailure();

  // --- Sharing the folder ---
  // The folder's lock ("<canonical folder>/.lock", the data folder created
  // first), held until released; waits while another writer holds it.
  // nullptr when the folder can't be locked (it can't be written either).
  std::unique_ptr<FileLock> LockFolder();
  FolderSignature Signature();
  // True once after a write or removal changed a file.
  bool TakeSaved();
  // Writes a new change stamp.
  void BumpStamp();
  // True when the file is as this store last wrote or removed it (a change
  // of its own, not another writer's), or as it was when NoteKnownState
  // was last called for it.
  bool IsKnownState(std::u16string_view relative);
  // Notes the file as it is now as known (it has just been loaded).
  void NoteKnownState(std::u16string_view relative) { NoteOwn(relative); }
  // Removes temporary files that interrupted saves left in the data folder
  // and its item folders (names IsTemporaryName knows, nothing else).
  void RemoveLeftovers();

  // --- Loads that skip unchanged files ---
  // Read, noting the file's stamp for StillAsRead. A file whose time was
  // less than kSettledNs old when read is not noted: a change within the
  // same tick of a coarse file clock (two seconds on some disks) could leave
  // its stamp as it was.
  std::optional<std::string> ReadNoted(std::u16string_view relative);
  // True while the file is as ReadNoted last read it: its stamp unchanged,
  // and no write or removal of this store, nor MarkDamaged, since. A loader
  // may then keep what it made of the file last time.
  bool StillAsRead(std::u16string_view relative);
  // Forgets every noted read: after a failed save, memory and disk may
  // differ.
  void ForgetReads() { reads_.clear(); }
  static constexpr std::int64_t kSettledNs = 3'000'000'000;
  // The noted reads, by relative path: a load made by another store of the
  // same folder (one ahead of the first call) hands them over with what it
  // made of the files.
  using Reads = std::map<std::u16string, FileStamp, std::less<>>;
  Reads TakeReads() { return std::exchange(reads_, {}); }
  // Notes reads of another store of the same folder; those already noted
  // here stay as they are.
  void AdoptReads(Reads reads) { reads_.merge(reads); }

  // --- Damaged files ---
  void MarkDamaged(std::u16string_view relative);
  void ClearDamaged() { damaged_.clear(); }
  bool IsDamaged(std::u16string_view relative) const;
  // The copies kept since the last call, as relative paths with the
  // platform's separator; emptied.
  std::vector<std::u16string> TakeKeptCopies();

 private:
  // remember: folders found or made are noted, and noted ones are not
  // looked for again until the next LockFolder().
  void EnsureFolders(std::u16string_view relative, bool remember = false);
  // Copies a damaged file beside itself; false when it could not be kept.
  bool KeepDamagedCopy(std::u16string_view relative);
  void NoteOwn(std::u16string_view relative);
  void ForgetRead(std::u16string_view relative);

  Platform& platform_;
  std::u16string data_folder_;
  std::u16string canonical_folder_;  // with a trailing separator; "" until known
  bool failed_ = false;
  bool saved_ = false;
  std::set<std::u16string, std::less<>> damaged_;
  std::vector<std::u16string> kept_;
  std::map<std::u16string, FileStamp, std::less<>> own_;
  Reads reads_;  // see ReadNoted
  std::mt19937_64 stamps_;
  std::mt19937 own_random_;  // used only when no engine was handed over
  std::mt19937& random_;
  std::unordered_set<std::u16string> present_;  // full paths of folders seen this holding
};

}  // namespace vellumine
