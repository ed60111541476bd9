// ForwardingPlatform: a Platform that passes every call on to another one.
//
// A base for platforms that change a few calls and leave the rest to the
// platform they wrap (scripted dialogs over real files, injected faults over
// real files). Each method is virtual as in Platform; a subclass overrides
// what it changes and calls the base for the rest.
#pragma once

#include "platform/platform.h"

namespace vellumine {

class ForwardingPlatform : public Platform {
 public:
  // inner serves every call and must outlive this platform.
  explicit ForwardingPlatform(Platform& inner) : inner_(inner) {}

  Platform& inner() { return inner_; }

  Answer ShowMessage(std::u16string_view text, const std::optional<std::u16string>& caption,
                     Buttons buttons) override {
    return inner_.ShowMessage(text, caption, buttons);
  }
  std::optional<FontChoice> PickFont(std::u16string_view face, std::int32_t size) override {
    return inner_.PickFont(face, size);
  }
  std::optional<std::u16string> PickFile() override { return inner_.PickFile(); }
  std::optional<std::u16string> PickFolder() override { return inner_.PickFolder(); }
  void Launch(std::u16string_view path) override { inner_.Launch(path); }

  std::u16string DataFolder() override { return inner_.DataFolder(); }
  char16_t Separator() const override { return inner_.Separator(); }
  std::uint32_t TickCount() override { return inner_.TickCount(); }
  LocalDate Today() override { return inner_.Today(); }
  LocalTime Now() override { return inner_.Now(); }
  std::int64_t FileClockNs() override { return inner_.FileClockNs(); }

  int PathKind(std::u16string_view path) override { return inner_.PathKind(path); }
  bool CreateFolder(std::u16string_view path) override { return inner_.CreateFolder(path); }
  std::optional<std::string> ReadFile(std::u16string_view path) override {
    return inner_.ReadFile(path);
  }
  bool WriteFileAtomic(std::u16string_view path, std::string_view bytes,
                       WriteFailure* failure = nullptr) override {
    return inner_.WriteFileAtomic(path, bytes, failure);
  }
  bool OverwriteFile(std::u16string_view path, std::string_view bytes) override {
    return inner_.OverwriteFile(path, bytes);
  }
  bool RemoveFile(std::u16string_view path) override { return inner_.RemoveFile(path); }
  std::vector<std::u16string> ListFiles(std::u16string_view folder,
                                        std::u16string_view prefix) override {
    return inner_.ListFiles(folder, prefix);
  }
  FileStamp Stamp(std::u16string_view path) override { return inner_.Stamp(path); }
  std::optional<std::u16string> CanonicalPath(std::u16string_view path) override {
    return inner_.CanonicalPath(path);
  }
  std::unique_ptr<FileLock> LockFile(std::u16string_view path, bool wait,
                                     bool* busy = nullptr) override {
    return inner_.LockFile(path, wait, busy);
  }

 private:
  Platform& inner_;
};

}  // namespace vellumine
