#include "platform/posix_platform.h"

#include <dirent.h>
#include <fcntl.h>
#include <gio/gio.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>

#include "page/text.h"

namespace vellumine {
namespace {

// The UTF-8 form of a path; nullopt for a path the system can't name (empty,
// or with a zero unit that would silently cut it).
std::optional<std::string> NativePath(std::u16string_view path) {
  if (path.empty() || path.find(u'\0') != std::u16string_view::npos) return std::nullopt;
  return Utf16ToUtf8(path);
}

// The path with every link, "." and ".." resolved; nullopt when it does not
// exist or can't be resolved.
std::optional<std::string> ResolvedPath(const std::string& path) {
  char* resolved = realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return std::nullopt;
  std::string out(resolved);
  free(resolved);
  return out;
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// A name for a temporary file beside the target, of the form that
// IsTemporaryName knows; it begins with "." so that no key search lists it.
std::string TempName(const std::string& folder, const std::string& base) {
  static std::atomic<unsigned> counter{0};
  static const unsigned salt = std::random_device{}();
  return folder + "." + base + ".tmp" + std::to_string(getpid()) + "-" + std::to_string(salt) +
         "-" + std::to_string(counter++);
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Holds a flock on an open file; closing the file releases it.
class PosixFileLock : public FileLock {
 public:
  explicit PosixFileLock(int fd) : fd_(fd) {}
  ~PosixFileLock() override { close(fd_); }

 private:
  int fd_;
};

}  // namespace

PosixPlatform::PosixPlatform() : data_folder_(DefaultPosixDataFolder()) {}

Answer PosixPlatform::ShowMessage(std::u16string_view, const std::optional<std::u16string>&,
                                  Buttons buttons) {
  return buttons == Buttons::kOk ? Answer::kOk : Answer::kNo;
}

std::optional<FontChoice> PosixPlatform::PickFont(std::u16string_view, std::int32_t) {
  return std::nullopt;
}

std::optional<std::u16string> PosixPlatform::PickFile() { return std::nullopt; }
std::optional<std::u16string> PosixPlatform::PickFolder() { return std::nullopt; }

void PosixPlatform::Launch(std::u16string_view path) {
  const auto native = NativePath(path);
  if (!native) return;
  // Nothing to tell: a launch that fails is ignored.
  LaunchWithDefaultHandler(*native, nullptr);
}

std::u16string PosixPlatform::DataFolder() { return data_folder_; }

std::uint32_t PosixPlatform::TickCount() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  const auto ms = static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
                  static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
  return static_cast<std::uint32_t>(ms);
}

LocalDate PosixPlatform::Today() {
  const time_t now = time(nullptr);
  tm local{};
  if (localtime_r(&now, &local) == nullptr) return {1970, 1, 1};
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

std::int64_t PosixPlatform::FileClockNs() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

LocalTime PosixPlatform::Now() {
  const time_t now = time(nullptr);
  tm local{};
  if (localtime_r(&now, &local) == nullptr) return {{1970, 1, 1}, 0, 0, 0};
  return {{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday},
          local.tm_hour,
          local.tm_min,
          local.tm_sec};
}

int PosixPlatform::PathKind(std::u16string_view path) {
  const auto native = NativePath(path);
  struct stat st {};
  if (!native || stat(native->c_str(), &st) != 0) return 0;
  return S_ISDIR(st.st_mode) ? 2 : 1;
}

bool PosixPlatform::CreateFolder(std::u16string_view path) {
  const auto native = NativePath(path);
  if (!native) return false;
  if (mkdir(native->c_str(), 0777) == 0) return true;
  struct stat st {};
  return errno == EEXIST && stat(native->c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::optional<std::string> PosixPlatform::ReadFile(std::u16string_view path) {
  const auto native = NativePath(path);
  if (!native) return std::nullopt;
  // O_NONBLOCK: a named pipe in the data folder must not hang the page.
  const int fd = open(native->c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return std::nullopt;
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return std::nullopt;
  }
  std::string out;
  out.reserve(static_cast<std::size_t>(st.st_size));
  char buffer[65536];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      close(fd);
      return std::nullopt;
    }
    if (n == 0) break;
    out.append(buffer, static_cast<std::size_t>(n));
  }
  close(fd);
  return out;
}

bool PosixPlatform::WriteFileAtomic(std::u16string_view path, std::string_view bytes,
                                    WriteFailure* failure) {
  WriteFailure failed;
  const bool ok = ReplaceFile(path, bytes, failed);
  if (!ok) {
    if (failure != nullptr) *failure = failed;
    if (write_log_) write_log_(path, failed);
  }
  return ok;
}

bool PosixPlatform::ReplaceFile(std::u16string_view path, std::string_view bytes,
                                WriteFailure& failed) {
  // Notes the step that failed with the errno of the moment.
  const auto fail = [&failed](WriteStep step, int error) {
    failed = {step, error};
    return false;
  };
  const auto native = NativePath(path);
  if (!native || native->back() == '/') return fail(WriteStep::kPath, EINVAL);
  const std::size_t slash = native->rfind('/');
  const std::string folder =
      slash == std::string::npos ? std::string() : native->substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? *native : native->substr(slash + 1);

  struct stat old {};
  const bool replacing = stat(native->c_str(), &old) == 0;
  if (replacing) {
    if (!S_ISREG(old.st_mode)) return fail(WriteStep::kNotAFile, S_ISDIR(old.st_mode) ? EISDIR : 0);
    // A file made read-only stays as it is. Root passes every permission
    // check, so the owner's write bit is asked too.
    if ((old.st_mode & S_IWUSR) == 0) return fail(WriteStep::kReadOnly, 0);
    if (access(native->c_str(), W_OK) != 0) return fail(WriteStep::kReadOnly, errno);
  }

  std::string temp;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = TempName(folder, base);
    fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return fail(WriteStep::kCreateTemporary, errno);
  }
  if (fd < 0) return fail(WriteStep::kCreateTemporary, EEXIST);

  bool ok = true;
  if (replacing) {
    // The new file takes the old one's owner (when allowed) and mode: a
    // private file stays private.
    if (fchown(fd, old.st_uid, old.st_gid) != 0) {
      // Only root may give a file away; the mode still carries over.
    }
    ok = fchmod(fd, old.st_mode & 07777) == 0 || fail(WriteStep::kKeepMode, errno);
  }
  ok = ok && (WriteAll(fd, bytes) || fail(WriteStep::kWrite, errno));
  ok = ok && (fsync(fd) == 0 || fail(WriteStep::kFlush, errno));
  if (close(fd) != 0 && ok) ok = fail(WriteStep::kFlush, errno);
  if (ok) ok = rename(temp.c_str(), native->c_str()) == 0 || fail(WriteStep::kRename, errno);
  if (!ok) {
    unlink(temp.c_str());
    return false;
  }
  // Make the rename itself durable. Some file systems can't sync a folder;
  // the new content is in place either way.
  const int dir = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    fsync(dir);
    close(dir);
  }
  return true;
}

bool PosixPlatform::OverwriteFile(std::u16string_view path, std::string_view bytes) {
  const auto native = NativePath(path);
  if (!native) return false;
  // O_NONBLOCK: a named pipe in its place must not hang the call.
  const int fd = open(native->c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
  if (fd < 0) return false;
  struct stat st {};
  bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  std::size_t done = 0;
  while (ok && done < bytes.size()) {
    const ssize_t n =
        pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += static_cast<std::size_t>(n);
  }
  if (ok && static_cast<std::uint64_t>(st.st_size) > bytes.size()) {
    ok = ftruncate(fd, static_cast<off_t>(bytes.size())) == 0;
  }
  return close(fd) == 0 && ok;
}

bool PosixPlatform::RemoveFile(std::u16string_view path) {
  const auto native = NativePath(path);
  if (!native) return false;
  return unlink(native->c_str()) == 0 || errno == ENOENT;
}

std::vector<std::u16string> PosixPlatform::ListFiles(std::u16string_view folder,
                                                     std::u16string_view prefix) {
  std::vector<std::u16string> out;
  const auto native = NativePath(folder);
  if (!native) return out;
  const std::string want = Utf16ToUtf8(prefix);
  DIR* dir = opendir(native->c_str());
  if (dir == nullptr) return out;
  std::string base = *native;
  if (base.back() != '/') base.push_back('/');
  while (const dirent* entry = readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (name.substr(0, want.size()) != want || name == "." || name == "..") continue;
    bool regular = entry->d_type == DT_REG;
    if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
      struct stat st {};
      regular = stat((base + entry->d_name).c_str(), &st) == 0 && S_ISREG(st.st_mode);
    }
    if (regular) out.push_back(Utf8ToUtf16(name));
  }
  closedir(dir);
  return out;
}

FileStamp PosixPlatform::Stamp(std::u16string_view path) {
  const auto native = NativePath(path);
  struct stat st {};
  if (!native || stat(native->c_str(), &st) != 0) return {};
  FileStamp stamp;
  stamp.exists = true;
  stamp.size = static_cast<std::uint64_t>(st.st_size);
  stamp.modified_ns =
      static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  stamp.file_id =
      static_cast<std::uint64_t>(st.st_ino) ^ (static_cast<std::uint64_t>(st.st_dev) << 48);
  return stamp;
}

std::optional<std::u16string> PosixPlatform::CanonicalPath(std::u16string_view path) {
  const auto native = NativePath(path);
  if (!native) return std::nullopt;
  const std::optional<std::string> resolved = ResolvedPath(*native);
  if (!resolved) return std::nullopt;
  return Utf8ToUtf16(*resolved);
}

std::unique_ptr<FileLock> PosixPlatform::LockFile(std::u16string_view path, bool wait, bool* busy) {
  if (busy != nullptr) *busy = false;
  const auto native = NativePath(path);
  if (!native) return nullptr;
  // The lock belongs to the file, not to its name: should the name come to
  // stand for another file while this one waits (a copy renamed over it), a
  // lock on the old one would exclude nobody, so it is taken again.
  for (int attempt = 0; attempt < 100; ++attempt) {
    int fd = open(native->c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
    // In a folder this user may not write, an existing lock file still locks.
    if (fd < 0 && (errno == EACCES || errno == EROFS)) {
      fd = open(native->c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    }
    if (fd < 0) return nullptr;
    struct stat held {};
    if (fstat(fd, &held) != 0 || !S_ISREG(held.st_mode)) {
      close(fd);
      return nullptr;
    }
    int locked;
    while ((locked = flock(fd, LOCK_EX | (wait ? 0 : LOCK_NB))) != 0 && errno == EINTR) {
    }
    if (locked != 0) {
      if (busy != nullptr) *busy = errno == EWOULDBLOCK;
      close(fd);
      return nullptr;
    }
    struct stat named {};
    if (stat(native->c_str(), &named) == 0 && SameFile(held, named)) {
      return std::make_unique<PosixFileLock>(fd);
    }
    close(fd);
  }
  return nullptr;
}

std::u16string DefaultPosixDataFolder() {
  std::string root;
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg != nullptr && xdg[0] == '/') {
    root = xdg;
  } else {
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] == '\0') {
      const passwd* pw = getpwuid(getuid());
      home = pw != nullptr ? pw->pw_dir : nullptr;
    }
    root = home != nullptr && home[0] != '\0' ? home : "/tmp";
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    root += "/.local/share";
  }
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  if (root == "/") root.clear();
  return Utf8ToUtf16(root + "/Vellumine/");
}

std::optional<std::string> PrepareDataFolder(const std::string& folder, FolderSpelling spelling) {
  namespace fs = std::filesystem;
  if (folder.empty()) return std::nullopt;
  std::error_code ec;
  fs::path path = fs::absolute(folder, ec);
  if (ec) return std::nullopt;
  // "a/../b" is b even when a is a link or missing: the name the user wrote,
  // not the folder a link leads to, decides what ".." leaves.
  if (spelling == FolderSpelling::kCanonical) path = path.lexically_normal();
  fs::create_directories(path, ec);
  if (!fs::is_directory(path, ec)) return std::nullopt;
  std::string out = path.string();
  if (spelling == FolderSpelling::kCanonical) {
    const std::optional<std::string> resolved = ResolvedPath(out);
    if (!resolved) return std::nullopt;
    out = *resolved;
  }
  if (out.empty() || out.back() != '/') out += '/';
  return out;
}

std::string DescribeWriteFailure(std::u16string_view path, const WriteFailure& failure) {
  std::string line = "cannot save " + Utf16ToUtf8(path) + " (" + WriteStepName(failure.step);
  if (failure.error != 0) line += std::string(": ") + std::strerror(failure.error);
  return line + ")";
}

std::string FileUri(const std::string& local_path) {
  GFile* file = g_file_new_for_path(local_path.c_str());
  gchar* uri = g_file_get_uri(file);
  g_object_unref(file);
  std::string out = uri != nullptr ? uri : "";
  g_free(uri);
  return out;
}

bool LaunchWithDefaultHandler(const std::string& local_path, GAppLaunchContext* context) {
  const std::string uri = FileUri(local_path);
  if (uri.empty()) return false;
  GError* error = nullptr;
  const bool launched = g_app_info_launch_default_for_uri(uri.c_str(), context, &error);
  if (error != nullptr) g_error_free(error);
  return launched;
}

}  // namespace vellumine
