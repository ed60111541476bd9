// Platform: everything the system asks of the operating system.
//
// One interface, one implementation per platform (POSIX, Windows) and a
// scripted one for tests and the headless runner. The core never calls the
// operating system except through here.
//
// Paths are full paths in UTF-16 with the platform's separator (Separator());
// each implementation converts them at its boundary (UTF-8 on POSIX, the ANSI
// code page on Windows). No call expands wildcards: callers screen "*" and "?"
// themselves.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vellumine {

enum class Buttons { kOk, kYesNo };
enum class Answer { kOk, kYes, kNo };

struct FontChoice {
  std::u16string face;  // at most 31 units
  std::int32_t size;    // whole points, 8..30
};

struct LocalDate {
  std::int32_t year;
  std::int32_t month;  // 1..12
  std::int32_t day;    // 1..31
};

struct LocalTime {
  LocalDate date;
  std::int32_t hour;    // 0..23
  std::int32_t minute;  // 0..59
  std::int32_t second;  // 0..59 (60 on a leap second)
};

// What one cheap look at a file tells: enough to notice that another writer
// changed or replaced it. A missing file is the default value.
struct FileStamp {
  bool exists = false;
  std::uint64_t size = 0;
  std::int64_t modified_ns = 0;  // last modification, nanoseconds since the epoch
  std::uint64_t file_id = 0;     // inode or file index: a replaced file gets another
  bool operator==(const FileStamp&) const = default;
};

// Which step of WriteFileAtomic failed, and the system's error code there
// (errno on POSIX, GetLastError on Windows; 0 where the refusal is the
// platform's own, as for a read-only file). For hosts to log: the control
// itself only tells the user that saving failed.
enum class WriteStep {
  kNone,             // nothing failed
  kPath,             // the path can't name a file here
  kNotAFile,         // a folder or device is in its place
  kReadOnly,         // the user may not write the file: it is left as it is
  kCreateTemporary,  // the temporary file could not be made
  kKeepMode,         // the old file's permissions could not be given to it
  kWrite,            // writing the bytes
  kFlush,            // flushing them to the disk (or closing the file)
  kRename,           // putting the temporary file in the old one's place
};
struct WriteFailure {
  WriteStep step = WriteStep::kNone;
  int error = 0;
};
// "rename", "write", ...: a word for a log line.
const char* WriteStepName(WriteStep step);

// An exclusive lock on a file; released when destroyed.
class FileLock {
 public:
  virtual ~FileLock() = default;
};

// Temporary files of WriteFileAtomic are named "." + the target's name +
// ".tmp" + three decimal numbers joined by "-" (process id, a salt, a
// counter): ".memolist.tmp4242-17-0". Only such a name answers true here, so
// a sweep of leftovers never touches anything of the user's or a sync tool's.
bool IsTemporaryName(std::u16string_view name);

class Platform {
 public:
  virtual ~Platform() = default;

  // --- User interface (modal; each returns when the user has answered) ---
  // caption nullopt: the system's default caption.
  virtual Answer ShowMessage(std::u16string_view text, const std::optional<std::u16string>& caption,
                             Buttons buttons) = 0;
  // Starts from face and size; nullopt when cancelled.
  virtual std::optional<FontChoice> PickFont(std::u16string_view face, std::int32_t size) = 0;
  // A file that exists ("ファイルを開く", one filter "全てのファイル"); nullopt on cancel.
  virtual std::optional<std::u16string> PickFile() = 0;
  // A folder ("フォルダを選択してください。"); nullopt on cancel.
  virtual std::optional<std::u16string> PickFolder() = 0;
  // Opens a file or folder with its default handler. Never through a shell.
  virtual void Launch(std::u16string_view path) = 0;

  // --- System ---
  // The data folder, ending with Separator().
  virtual std::u16string DataFolder() = 0;
  virtual char16_t Separator() const = 0;
  virtual std::uint32_t TickCount() = 0;
  virtual LocalDate Today() = 0;
  // The local date and time of day.
  virtual LocalTime Now() = 0;
  // The clock file times are kept by, in the units and epoch of
  // FileStamp::modified_ns.
  virtual std::int64_t FileClockNs() = 0;

  // --- File system ---
  // 0 nothing there, 1 a file, 2 a folder.
  virtual int PathKind(std::u16string_view path) = 0;
  // Creates one folder; false when it could not be made (an existing folder
  // counts as made).
  virtual bool CreateFolder(std::u16string_view path) = 0;
  // The whole content of a file; nullopt when it can't be read.
  virtual std::optional<std::string> ReadFile(std::u16string_view path) = 0;
  // Replaces a file whole and durably: a temporary file in the same folder
  // (see IsTemporaryName), flushed, then renamed over the old one. A crash
  // leaves the old or the new content, never a mix. The new file keeps the
  // old one's permissions. A file the user may not write (read-only, or no
  // write permission for its owner) is not replaced. false on any failure
  // (the old file then stays); *failure, when given, then tells the step.
  virtual bool WriteFileAtomic(std::u16string_view path, std::string_view bytes,
                               WriteFailure* failure = nullptr) = 0;
  // Writes bytes over the start of a file in place, creating it, cutting
  // what follows, without flushing: for a small file whose loss in a crash
  // is harmless. A reader not holding the same lock may see it half written.
  virtual bool OverwriteFile(std::u16string_view path, std::string_view bytes) = 0;
  // Removes a file; true when it is gone (a missing file counts as gone).
  virtual bool RemoveFile(std::u16string_view path) = 0;
  // Names (not paths) of the files in folder whose names begin with prefix,
  // in the order the directory yields them.
  virtual std::vector<std::u16string> ListFiles(std::u16string_view folder,
                                                std::u16string_view prefix) = 0;
  // The file's size, time and identity; the default value when it is missing.
  virtual FileStamp Stamp(std::u16string_view path) = 0;
  // The path with every link and "." or ".." resolved; nullopt when it
  // names nothing. Two spellings of one folder give the same answer.
  virtual std::optional<std::u16string> CanonicalPath(std::u16string_view path) = 0;
  // An exclusive lock on the file (created when missing), shared by every
  // process that locks the same file, whatever its spelling. wait: blocks
  // until the lock is free; otherwise answers nullptr at once and sets *busy
  // when another holder has it. nullptr with *busy false: it can't be
  // locked at all (the file can't be opened or made). The lock never passes
  // to child processes.
  virtual std::unique_ptr<FileLock> LockFile(std::u16string_view path, bool wait,
                                             bool* busy = nullptr) = 0;
};

}  // namespace vellumine
