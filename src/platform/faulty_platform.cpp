#include "platform/faulty_platform.h"

#include <algorithm>
#include <cerrno>

namespace vellumine {

void FaultyPlatform::Inject(FaultKind kind, int nth, FaultEffect effect, bool sticky) {
  faults_.push_back({kind, calls(kind) + std::max(nth, 1), effect, sticky});
}

bool FaultyPlatform::Pass(FaultKind kind) {
  const int n = ++calls_[static_cast<int>(kind)];
  const auto hit = std::find_if(faults_.begin(), faults_.end(), [&](const Fault& f) {
    return f.kind == kind && (f.at == n || (f.sticky && n >= f.at));
  });
  if (hit == faults_.end()) return true;
  ++hits_;
  const FaultEffect effect = hit->effect;
  if (!hit->sticky) faults_.erase(hit);
  if (effect == FaultEffect::kCrash) throw CrashInjected{kind};
  return false;
}

std::optional<std::string> FaultyPlatform::ReadFile(std::u16string_view path) {
  if (!Pass(FaultKind::kRead)) return std::nullopt;
  return ForwardingPlatform::ReadFile(path);
}

bool FaultyPlatform::CreateFolder(std::u16string_view path) {
  return Pass(FaultKind::kCreateFolder) && ForwardingPlatform::CreateFolder(path);
}

bool FaultyPlatform::WriteFileAtomic(std::u16string_view path, std::string_view bytes,
                                     WriteFailure* failure) {
  if (!Pass(FaultKind::kWrite)) {
    // As a full disk would answer.
    if (failure != nullptr) *failure = {WriteStep::kWrite, ENOSPC};
    return false;
  }
  return ForwardingPlatform::WriteFileAtomic(path, bytes, failure);
}

bool FaultyPlatform::OverwriteFile(std::u16string_view path, std::string_view bytes) {
  return Pass(FaultKind::kOverwrite) && ForwardingPlatform::OverwriteFile(path, bytes);
}

bool FaultyPlatform::RemoveFile(std::u16string_view path) {
  return Pass(FaultKind::kRemove) && ForwardingPlatform::RemoveFile(path);
}

std::unique_ptr<FileLock> FaultyPlatform::LockFile(std::u16string_view path, bool wait,
                                                   bool* busy) {
  if (!Pass(FaultKind::kLock)) {
    if (busy != nullptr) *busy = false;
    return nullptr;
  }
  return ForwardingPlatform::LockFile(path, wait, busy);
}

}  // namespace vellumine
