// FaultyPlatform: real calls, except the ones a test picks to go wrong.
//
// Wraps another platform (normally the POSIX one over a temporary folder)
// and counts the file-system calls of each kind. A fault names a kind, the
// number of the call it hits (1 for the next call of that kind, counted from
// when it is injected) and what happens there:
//   kFail   the call does nothing and reports failure (a full disk, a file
//           the user can't write);
//   kCrash  the call does nothing and throws CrashInjected, so that the
//           caller stops at that point as a killed process would; the test
//           then drops the control and looks at what is on disk.
// A sticky fault also hits every later call of its kind.
#pragma once

#include <array>
#include <vector>

#include "platform/forwarding_platform.h"

namespace vellumine {

enum class FaultKind {
  kWrite,         // WriteFileAtomic
  kOverwrite,     // OverwriteFile
  kRemove,        // RemoveFile
  kCreateFolder,  // CreateFolder
  kRead,          // ReadFile
  kLock,          // LockFile
};
inline constexpr int kFaultKinds = 6;

enum class FaultEffect { kFail, kCrash };

// Thrown by a call that a kCrash fault hits.
struct CrashInjected {
  FaultKind kind;
};

class FaultyPlatform : public ForwardingPlatform {
 public:
  using ForwardingPlatform::ForwardingPlatform;

  void Inject(FaultKind kind, int nth, FaultEffect effect = FaultEffect::kFail,
              bool sticky = false);
  // Removes every fault not yet hit (and every sticky one).
  void ClearFaults() { faults_.clear(); }
  // Calls of a kind made so far, hit or not.
  int calls(FaultKind kind) const { return calls_[static_cast<int>(kind)]; }
  // Calls a fault has hit so far.
  int hits() const { return hits_; }

  std::optional<std::string> ReadFile(std::u16string_view path) override;
  bool CreateFolder(std::u16string_view path) override;
  bool WriteFileAtomic(std::u16string_view path, std::string_view bytes,
                       WriteFailure* failure = nullptr) override;
  bool OverwriteFile(std::u16string_view path, std::string_view bytes) override;
  bool RemoveFile(std::u16string_view path) override;
  std::unique_ptr<FileLock> LockFile(std::u16string_view path, bool wait,
                                     bool* busy = nullptr) override;

 private:
  struct Fault {
    FaultKind kind;
    int at;  // the call count at which it hits
    FaultEffect effect;
    bool sticky;
  };
  // Counts the call; false when a fault hits it (after throwing for kCrash).
  bool Pass(FaultKind kind);

  std::array<int, kFaultKinds> calls_{};
  std::vector<Fault> faults_;
  int hits_ = 0;
};

}  // namespace vellumine
