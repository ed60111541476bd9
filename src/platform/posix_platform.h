// The POSIX platform: real files (UTF-8 paths), the XDG data folder
// ($XDG_DATA_HOME/Vellumine/, default ~/.local/share/Vellumine/), the
// monotonic clock and the local date. It has no dialogs of its own: a
// message answers OK (or No), pickers cancel and a launch goes through GIO's
// default handler when a host provides one; desktop hosts replace these.
#pragma once

#include <functional>

#include "platform/platform.h"

// As GIO declares it; the hosts that pass one include GIO themselves.
typedef struct _GAppLaunchContext GAppLaunchContext;

namespace vellumine {

class PosixPlatform : public Platform {
 public:
  PosixPlatform();

  Answer ShowMessage(std::u16string_view text, const std::optional<std::u16string>& caption,
                     Buttons buttons) override;
  std::optional<FontChoice> PickFont(std::u16string_view face, std::int32_t size) override;
  std::optional<std::u16string> PickFile() override;
  std::optional<std::u16string> PickFolder() override;
  void Launch(std::u16string_view path) override;

  std::u16string DataFolder() override;
  char16_t Separator() const override { return u'/'; }
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

  // Overrides the data folder (the runner's --data).
  void set_data_folder(std::u16string folder) { data_folder_ = std::move(folder); }
  // Called with the path and the failed step of every WriteFileAtomic that
  // fails: the host's log.
  using WriteLog = std::function<void(std::u16string_view path, const WriteFailure& failure)>;
  void set_write_log(WriteLog log) { write_log_ = std::move(log); }

 private:
  bool ReplaceFile(std::u16string_view path, std::string_view bytes, WriteFailure& failed);

  std::u16string data_folder_;
  WriteLog write_log_;
};

// The file URI of a local path (a name in the file system's encoding); ""
// when it has none.
std::string FileUri(const std::string& local_path);
// Opens a local file or folder with the handler registered for its type,
// through its file URI, never through a shell. context: the display's launch
// context, or nullptr. false when nothing opened it.
bool LaunchWithDefaultHandler(const std::string& local_path, GAppLaunchContext* context);

// "cannot save PATH (STEP: the errno's text)": a host's log line, without
// the newline.
std::string DescribeWriteFailure(std::u16string_view path, const WriteFailure& failure);

// $XDG_DATA_HOME/Vellumine/ or ~/.local/share/Vellumine/, ending with "/".
std::u16string DefaultPosixDataFolder();

// How a host names the data folder it was given.
enum class FolderSpelling {
  kAbsolute,   // relative to the working folder, as spelled otherwise
  kCanonical,  // every link and "." or ".." resolved: one name per folder
};
// The data folder a host was given (its --data, a UTF-8 path), made with
// its parents if missing: its absolute path, ending with "/". nullopt when
// folder is empty, or can't be made or is no folder.
std::optional<std::string> PrepareDataFolder(const std::string& folder, FolderSpelling spelling);

}  // namespace vellumine
