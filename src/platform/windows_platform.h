// The Windows platform: the narrow (ANSI) file-system and shell calls, the
// Windows directory's data folder, the system's modal dialogs.
//
// Paths cross into the system in the ANSI code page of the thread's locale
// (the system ANSI code page when the locale names none). A path that code
// page cannot spell is refused instead of being turned into "?", which the
// narrow search calls would take for a wildcard.
//
// Dialog seam: when the environment variable VELLUMINE_DIALOG_SCRIPT names a
// file, no dialog is shown and nothing is launched. Each dialog takes its
// answer from the first line of its kind in that file and removes the line:
//   message ok | message yes | message no
//   font SIZE FACE | font cancel
//   file PATH | file cancel
//   folder PATH | folder cancel
// With no line of its kind left, a question answers No (an OK box OK) and the
// pickers cancel. Every dialog and launch is appended to the file named by
// VELLUMINE_DIALOG_LOG, one line each: "message [CAPTION] TEXT" (an OK box),
// "question [CAPTION] TEXT" (Yes/No), the system's default caption written
// as "*" instead of "[CAPTION]"; "font SIZE FACE", "file", "folder" and
// "open PATH". The log is UTF-16LE with a byte-order mark; the script may be
// that or UTF-8.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace vellumine {

// The code page of narrow texts at the system boundary.
UINT AnsiCodePage();
// UTF-16 to the ANSI code page; nullopt when a unit has no spelling there
// (or the text holds a zero unit, which would cut it).
std::optional<std::string> ToAnsi(std::u16string_view text);
std::u16string FromAnsi(std::string_view text);

// The data folder from the Windows directory (nullopt: it could not be
// had): one trailing "\" dropped, then "\Vellumine\" appended; without a
// Windows directory "c:\Vellumine\Debug\". Works on UTF-16, where a
// trailing "\" can't be the second byte of a double-byte character.
std::u16string DataFolderFromWindowsDirectory(
    const std::optional<std::u16string>& windows_directory);

class WindowsPlatform : public Platform {
 public:
  // Where dialogs are owned. own: the control's own window only (the font
  // dialog); otherwise the control's window, else its container site's.
  // nullptr: no owner.
  using OwnerWindow = std::function<HWND(bool own)>;

  WindowsPlatform();

  void set_owner_window(OwnerWindow owner) { owner_ = std::move(owner); }

  Answer ShowMessage(std::u16string_view text, const std::optional<std::u16string>& caption,
                     Buttons buttons) override;
  std::optional<FontChoice> PickFont(std::u16string_view face, std::int32_t size) override;
  std::optional<std::u16string> PickFile() override;
  std::optional<std::u16string> PickFolder() override;
  void Launch(std::u16string_view path) override;

  std::u16string DataFolder() override { return data_folder_; }
  char16_t Separator() const override { return u'\\'; }
  std::uint32_t TickCount() override;
  LocalDate Today() override;
  LocalTime Now() override;
  std::int64_t FileClockNs() override;

  int PathKind(std::u16string_view path) override;
  bool CreateFolder(std::u16string_view path) override;
  std::optional<std::string> ReadFile(std::u16string_view path) override;
  bool WriteFileAtomic(std::u16string_view path, std::string_view bytes,
                       WriteFailure* failure = nullptr) override;
  bool OverwriteFile(std::u16string_view path, std::string_view bytes) override;
  bool RemoveFile(std::u16string_view path) override;
  std::vector<std::u16string> ListFiles(std::u16string_view folder,
                                        std::u16string_view prefix) override;
  FileStamp Stamp(std::u16string_view path) override;
  std::optional<std::u16string> CanonicalPath(std::u16string_view path) override;
  std::unique_ptr<FileLock> LockFile(std::u16string_view path, bool wait,
                                     bool* busy = nullptr) override;

 private:
  HWND Owner(bool own) const { return owner_ ? owner_(own) : nullptr; }

  std::u16string data_folder_;
  OwnerWindow owner_;
};

}  // namespace vellumine
