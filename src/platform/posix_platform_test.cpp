#include "platform/posix_platform.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "page/text.h"
#include "tests/support.h"

namespace vellumine {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

std::u16string U16(const fs::path& p) { return Utf8ToUtf16(p.string()); }

std::string Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Sets an environment variable for one scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(PosixPlatformTest, PathKindAndFolders) {
  TempDir dir;
  PosixPlatform p;
  const fs::path folder = dir.path() / "フォルダ";
  EXPECT_EQ(p.PathKind(U16(folder)), 0);
  EXPECT_TRUE(p.CreateFolder(U16(folder)));
  EXPECT_TRUE(p.CreateFolder(U16(folder)));  // existing counts as made
  EXPECT_EQ(p.PathKind(U16(folder)), 2);
  EXPECT_TRUE(fs::is_directory(folder));
  { std::ofstream(folder / "a*b") << "x"; }
  EXPECT_EQ(p.PathKind(U16(folder / "a*b")), 1);
  EXPECT_EQ(p.PathKind(U16(folder / "a*")), 0);  // never a wildcard match
  EXPECT_EQ(p.PathKind(U16(folder / "?*b")), 0);
  EXPECT_FALSE(p.CreateFolder(U16(folder / "a*b")));  // a file is in the way
  EXPECT_FALSE(p.CreateFolder(U16(dir.path() / "missing" / "child")));
  EXPECT_EQ(p.PathKind(u""), 0);
  EXPECT_EQ(p.PathKind(U16(folder) + std::u16string(1, u'\0') + u"x"), 0);
}

TEST(PosixPlatformTest, ReadWriteRemove) {
  TempDir dir;
  PosixPlatform p;
  const fs::path file = dir.path() / "ファイル";
  EXPECT_EQ(p.ReadFile(U16(file)), std::nullopt);
  const std::string bytes("\x00\x01\xff\xfe zero", 9);
  ASSERT_TRUE(p.WriteFileAtomic(U16(file), bytes));
  EXPECT_EQ(p.ReadFile(U16(file)), bytes);
  ASSERT_TRUE(p.WriteFileAtomic(U16(file), ""));
  EXPECT_EQ(p.ReadFile(U16(file)), "");
  std::string big(300000, '\0');
  std::mt19937 gen(3);
  for (char& c : big) c = static_cast<char>(gen());
  ASSERT_TRUE(p.WriteFileAtomic(U16(file), big));
  EXPECT_EQ(p.ReadFile(U16(file)), big);
  EXPECT_EQ(p.ReadFile(U16(dir.path())), std::nullopt);  // a folder is no file
  // Only the target is left: no temporary files.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);

  EXPECT_TRUE(p.RemoveFile(U16(file)));
  EXPECT_FALSE(fs::exists(file));
  EXPECT_TRUE(p.RemoveFile(U16(file)));  // already gone
  EXPECT_FALSE(p.RemoveFile(U16(dir.path())));
}

TEST(PosixPlatformTest, FailedWritesKeepTheOldFile) {
  TempDir dir;
  PosixPlatform p;
  EXPECT_FALSE(p.WriteFileAtomic(U16(dir.path() / "missing" / "f"), "x"));
  fs::create_directories(dir.path() / "folder");
  EXPECT_FALSE(p.WriteFileAtomic(U16(dir.path() / "folder"), "x"));
  EXPECT_TRUE(fs::is_directory(dir.path() / "folder"));
  EXPECT_FALSE(p.WriteFileAtomic(U16(dir.path()) + u"/", "x"));
  EXPECT_FALSE(p.WriteFileAtomic(u"", "x"));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);

  const fs::path ro = dir.path() / "ro";
  fs::create_directories(ro);
  ASSERT_TRUE(p.WriteFileAtomic(U16(ro / "f"), "old"));
  chmod(ro.c_str(), 0500);
  if (access(ro.c_str(), W_OK) != 0) {
    EXPECT_FALSE(p.WriteFileAtomic(U16(ro / "f"), "new"));
    EXPECT_EQ(Slurp(ro / "f"), "old");
  }
  chmod(ro.c_str(), 0700);
}

TEST(PosixPlatformTest, AFailedWriteTellsItsStepAndErrorToCallerAndLog) {
  TempDir dir;
  PosixPlatform p;
  std::vector<std::pair<std::u16string, WriteFailure>> logged;
  p.set_write_log([&](std::u16string_view path, const WriteFailure& failure) {
    logged.emplace_back(path, failure);
  });
  const auto failed = [&p](const fs::path& path) {
    WriteFailure failure;
    EXPECT_FALSE(p.WriteFileAtomic(U16(path), "x", &failure)) << path;
    return failure;
  };

  WriteFailure f = failed(dir.path() / "missing" / "f");
  EXPECT_EQ(f.step, WriteStep::kCreateTemporary);
  EXPECT_EQ(f.error, ENOENT);
  fs::create_directories(dir.path() / "folder");
  f = failed(dir.path() / "folder");
  EXPECT_EQ(f.step, WriteStep::kNotAFile);
  EXPECT_EQ(f.error, EISDIR);
  // Read-only by its mode: refused by the platform itself, root or not.
  ASSERT_TRUE(p.WriteFileAtomic(U16(dir.path() / "ro"), "old"));
  ASSERT_EQ(chmod((dir.path() / "ro").c_str(), 0444), 0);
  f = failed(dir.path() / "ro");
  EXPECT_EQ(f.step, WriteStep::kReadOnly);
  EXPECT_EQ(Slurp(dir.path() / "ro"), "old");

  // Each failure was logged once, with its path; a success is not.
  ASSERT_TRUE(p.WriteFileAtomic(U16(dir.path() / "ok"), "x"));
  ASSERT_EQ(logged.size(), 3u);
  EXPECT_EQ(logged[0].first, U16(dir.path() / "missing" / "f"));
  EXPECT_EQ(logged[1].second.step, WriteStep::kNotAFile);
  EXPECT_EQ(logged[2].first, U16(dir.path() / "ro"));
  EXPECT_EQ(DescribeWriteFailure(u"/d/config", {WriteStep::kRename, ENOENT}),
            "cannot save /d/config (rename: " + std::string(std::strerror(ENOENT)) + ")");
  EXPECT_EQ(DescribeWriteFailure(u"/d/x", {WriteStep::kReadOnly, 0}),
            "cannot save /d/x (read-only)");
}

TEST(PosixPlatformTest, ListFilesFiltersByPrefixAndKind) {
  TempDir dir;
  PosixPlatform p;
  for (const char* name :
       {"0bd09186aaaaaaaa", "0bd09186bbbbbbbb", "0bd09187cccccccc", "x0bd09186"}) {
    std::ofstream(dir.path() / name) << "x";
  }
  fs::create_directories(dir.path() / "0bd09186dddddddd");  // a folder, not listed
  fs::create_symlink(dir.path() / "0bd09186aaaaaaaa", dir.path() / "0bd09186eeeeeeee");
  std::vector<std::u16string> names = p.ListFiles(U16(dir.path()), u"0bd09186");
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::u16string>{u"0bd09186aaaaaaaa", u"0bd09186bbbbbbbb",
                                                u"0bd09186eeeeeeee"}));
  EXPECT_EQ(p.ListFiles(U16(dir.path()) + u"/", u"0bd09187"),
            (std::vector<std::u16string>{u"0bd09187cccccccc"}));
  EXPECT_TRUE(p.ListFiles(U16(dir.path() / "missing"), u"").empty());
}

TEST(PosixPlatformTest, DefaultDataFolder) {
  {
    ScopedEnv xdg("XDG_DATA_HOME", "/xdg/data/");
    EXPECT_EQ(DefaultPosixDataFolder(), u"/xdg/data/Vellumine/");
  }
  {
    ScopedEnv xdg("XDG_DATA_HOME", "relative/data");
    ScopedEnv home("HOME", "/home/ユーザー");
    EXPECT_EQ(DefaultPosixDataFolder(), u"/home/ユーザー/.local/share/Vellumine/");
  }
  {
    ScopedEnv xdg("XDG_DATA_HOME", nullptr);
    ScopedEnv home("HOME", "/h");
    EXPECT_EQ(DefaultPosixDataFolder(), u"/h/.local/share/Vellumine/");
    PosixPlatform p;
    EXPECT_EQ(p.DataFolder(), u"/h/.local/share/Vellumine/");
    p.set_data_folder(u"/other/");
    EXPECT_EQ(p.DataFolder(), u"/other/");
  }
}

TEST(PosixPlatformTest, ClockAndDate) {
  PosixPlatform p;
  const std::uint32_t a = p.TickCount();
  const std::uint32_t b = p.TickCount();
  EXPECT_LE(static_cast<std::uint32_t>(b - a), 10000u);  // monotonic: never backwards
  const LocalDate today = p.Today();
  const time_t now = time(nullptr);
  tm local{};
  localtime_r(&now, &local);
  // Allow a midnight between the two readings.
  EXPECT_EQ(today.year, local.tm_year + 1900);
  EXPECT_GE(today.month, 1);
  EXPECT_LE(today.month, 12);
  EXPECT_GE(today.day, 1);
  EXPECT_LE(today.day, 31);
  EXPECT_EQ(p.Separator(), u'/');
}

TEST(PosixPlatformTest, NoDialogsOfItsOwn) {
  PosixPlatform p;
  EXPECT_EQ(p.ShowMessage(u"x", std::nullopt, Buttons::kOk), Answer::kOk);
  EXPECT_EQ(p.ShowMessage(u"x", u"c", Buttons::kYesNo), Answer::kNo);
  EXPECT_EQ(p.PickFont(u"f", 12), std::nullopt);
  EXPECT_EQ(p.PickFile(), std::nullopt);
  EXPECT_EQ(p.PickFolder(), std::nullopt);
}

// A writer killed at any moment leaves the old or the new content, whole.
TEST(PosixPlatformTest, KilledWriterNeverTearsTheFile) {
  TempDir dir;
  const fs::path file = dir.path() / "config";
  std::string contents[2] = {std::string(200000, 'a'), std::string(150000, 'b')};
  for (int i = 0; i < 150000; i += 997) contents[1][i] = 'c';
  {
    PosixPlatform p;
    ASSERT_TRUE(p.WriteFileAtomic(U16(file), contents[0]));
  }
  std::mt19937 gen(11);
  for (int round = 0; round < 25; ++round) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      PosixPlatform p;
      for (unsigned i = 0;; ++i) p.WriteFileAtomic(U16(file), contents[i % 2]);
    }
    usleep(gen() % 20000);
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    const std::string now = Slurp(file);
    ASSERT_TRUE(now == contents[0] || now == contents[1]) << "torn at round " << round;
  }
}

mode_t ModeOf(const fs::path& p) {
  struct stat st {};
  return stat(p.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

TEST(PosixPlatformTest, ReplacedFilesKeepTheirModeAndReadOnlyOnesStay) {
  TempDir dir;
  PosixPlatform p;
  const fs::path file = dir.path() / "memolist";
  ASSERT_TRUE(p.WriteFileAtomic(U16(file), "one"));
  ASSERT_EQ(chmod(file.c_str(), 0600), 0);
  ASSERT_TRUE(p.WriteFileAtomic(U16(file), "two"));
  EXPECT_EQ(Slurp(file), "two");
  EXPECT_EQ(ModeOf(file), 0600u);
  ASSERT_EQ(chmod(file.c_str(), 0640), 0);
  ASSERT_TRUE(p.WriteFileAtomic(U16(file), "three"));
  EXPECT_EQ(ModeOf(file), 0640u);

  // Read-only for everyone, or for its owner only: refused, root included.
  for (mode_t mode : {0444u, 0464u}) {
    ASSERT_EQ(chmod(file.c_str(), mode), 0);
    EXPECT_FALSE(p.WriteFileAtomic(U16(file), "four")) << std::oct << mode;
    EXPECT_EQ(Slurp(file), "three");
    EXPECT_EQ(ModeOf(file), mode);
  }
  // No temporary file was left beside it.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
  // A new file gets the usual mode.
  const mode_t mask = umask(022);
  ASSERT_TRUE(p.WriteFileAtomic(U16(dir.path() / "config"), "c"));
  umask(mask);
  EXPECT_EQ(ModeOf(dir.path() / "config"), 0644u);
}

TEST(PosixPlatformTest, OverwriteWritesInPlaceAndCutsTheRest) {
  TempDir dir;
  PosixPlatform p;
  const fs::path file = dir.path() / ".stamp";
  ASSERT_TRUE(p.OverwriteFile(U16(file), "0123456789"));
  EXPECT_EQ(Slurp(file), "0123456789");
  struct stat before {};
  ASSERT_EQ(stat(file.c_str(), &before), 0);
  ASSERT_TRUE(p.OverwriteFile(U16(file), "abc"));
  EXPECT_EQ(Slurp(file), "abc");
  struct stat after {};
  ASSERT_EQ(stat(file.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);  // the same file, not a replacement
  EXPECT_FALSE(p.OverwriteFile(U16(dir.path() / "missing" / "f"), "x"));
  fs::create_directories(dir.path() / "folder");
  EXPECT_FALSE(p.OverwriteFile(U16(dir.path() / "folder"), "x"));
  ASSERT_EQ(mkfifo((dir.path() / "pipe").c_str(), 0600), 0);
  EXPECT_FALSE(p.OverwriteFile(U16(dir.path() / "pipe"), "x"));  // and does not hang
}

TEST(PosixPlatformTest, StampsTellSizeTimeAndReplacement) {
  TempDir dir;
  PosixPlatform p;
  const fs::path file = dir.path() / "config";
  EXPECT_EQ(p.Stamp(U16(file)), FileStamp{});
  ASSERT_TRUE(p.WriteFileAtomic(U16(file), "abc"));
  const FileStamp first = p.Stamp(U16(file));
  EXPECT_TRUE(first.exists);
  EXPECT_EQ(first.size, 3u);
  EXPECT_EQ(p.Stamp(U16(file)), first);
  // The same size, but another file took its name: the stamps differ.
  ASSERT_TRUE(p.WriteFileAtomic(U16(file), "xyz"));
  const FileStamp second = p.Stamp(U16(file));
  EXPECT_EQ(second.size, 3u);
  EXPECT_NE(second, first);
  struct stat st {};
  ASSERT_EQ(stat(file.c_str(), &st), 0);
  EXPECT_EQ(second.modified_ns,
            static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec);
}

TEST(PosixPlatformTest, CanonicalPathsAgreeWhateverTheSpelling) {
  TempDir dir;
  PosixPlatform p;
  const fs::path real = dir.path() / "data";
  fs::create_directories(real / "memo");
  fs::create_directory_symlink(real, dir.path() / "link");
  const std::optional<std::u16string> canonical = p.CanonicalPath(U16(real));
  ASSERT_TRUE(canonical.has_value());
  EXPECT_EQ(*canonical, U16(fs::canonical(real)));
  EXPECT_EQ(p.CanonicalPath(U16(dir.path() / "link")), canonical);
  EXPECT_EQ(p.CanonicalPath(U16(dir.path() / "link" / "memo" / "..")), canonical);
  EXPECT_EQ(p.CanonicalPath(U16(dir.path()) + u"/./data/"), canonical);
  EXPECT_EQ(p.CanonicalPath(U16(dir.path() / "missing")), std::nullopt);
  EXPECT_EQ(p.CanonicalPath(u""), std::nullopt);
}

TEST(PosixPlatformTest, PreparedDataFoldersAreMadeAndNamedAsTheHostWants) {
  TempDir dir;
  const std::string root = fs::canonical(dir.path()).string();
  fs::create_directories(dir.path() / "real" / "sub");
  fs::create_directory_symlink(dir.path() / "real" / "sub", dir.path() / "link");

  // Made with its parents; named as given, with a trailing "/".
  EXPECT_EQ(PrepareDataFolder(root + "/a/b/c", FolderSpelling::kAbsolute), root + "/a/b/c/");
  EXPECT_TRUE(fs::is_directory(dir.path() / "a" / "b" / "c"));
  EXPECT_EQ(PrepareDataFolder(root + "/a/", FolderSpelling::kAbsolute), root + "/a/");
  // The absolute spelling keeps links and "..", the canonical one resolves
  // them: ".." after a link leaves the link's folder, not the one it leads to.
  EXPECT_EQ(PrepareDataFolder(root + "/link/../x", FolderSpelling::kAbsolute),
            root + "/link/../x/");
  EXPECT_TRUE(fs::is_directory(dir.path() / "real" / "x"));
  EXPECT_EQ(PrepareDataFolder(root + "/link/../y", FolderSpelling::kCanonical), root + "/y/");
  EXPECT_TRUE(fs::is_directory(dir.path() / "y"));
  EXPECT_EQ(PrepareDataFolder(root + "/link", FolderSpelling::kCanonical), root + "/real/sub/");
  EXPECT_EQ(PrepareDataFolder(root + "/./link/new/", FolderSpelling::kCanonical),
            root + "/real/sub/new/");

  // A relative folder is taken from the working folder.
  const fs::path before = fs::current_path();
  fs::current_path(dir.path());
  const std::optional<std::string> relative =
      PrepareDataFolder("rel/data", FolderSpelling::kAbsolute);
  const std::optional<std::string> canonical =
      PrepareDataFolder("link/../rel/data", FolderSpelling::kCanonical);
  fs::current_path(before);
  EXPECT_EQ(relative, root + "/rel/data/");
  EXPECT_EQ(canonical, root + "/rel/data/");

  // Refused, and nothing made in place of what is there: no name, a file in
  // the way, a file under a file.
  std::ofstream(dir.path() / "file") << "keep";
  for (FolderSpelling spelling : {FolderSpelling::kAbsolute, FolderSpelling::kCanonical}) {
    EXPECT_EQ(PrepareDataFolder("", spelling), std::nullopt);
    EXPECT_EQ(PrepareDataFolder(root + "/file", spelling), std::nullopt);
    EXPECT_EQ(PrepareDataFolder(root + "/file/below", spelling), std::nullopt);
  }
  EXPECT_EQ(Slurp(dir.path() / "file"), "keep");
}

TEST(PosixPlatformTest, LocksExcludeEachOtherThroughEverySpelling) {
  TempDir dir;
  PosixPlatform p;
  fs::create_directories(dir.path() / "data");
  fs::create_directory_symlink(dir.path() / "data", dir.path() / "link");
  const std::u16string one = U16(dir.path() / "data" / ".lock");
  const std::u16string other = U16(dir.path() / "link" / ".lock");

  std::unique_ptr<FileLock> held = p.LockFile(one, false);
  ASSERT_NE(held, nullptr);
  bool busy = false;
  EXPECT_EQ(p.LockFile(other, false, &busy), nullptr);
  EXPECT_TRUE(busy);
  EXPECT_EQ(p.LockFile(one, false, &busy), nullptr);
  EXPECT_TRUE(busy);
  held.reset();
  held = p.LockFile(other, false, &busy);
  EXPECT_NE(held, nullptr);
  EXPECT_FALSE(busy);

  // A file that can't be made can't be locked, and nobody holds it.
  busy = true;
  EXPECT_EQ(p.LockFile(U16(dir.path() / "missing" / ".lock"), false, &busy), nullptr);
  EXPECT_FALSE(busy);
}

TEST(PosixPlatformTest, AWaitingLockIsGrantedOnceReleased) {
  TempDir dir;
  PosixPlatform p;
  const std::u16string path = U16(dir.path() / ".lock");
  std::unique_ptr<FileLock> held = p.LockFile(path, true);
  ASSERT_NE(held, nullptr);
  std::atomic<bool> granted{false};
  std::thread waiter([&] {
    std::unique_ptr<FileLock> mine = PosixPlatform().LockFile(path, true);
    granted = mine != nullptr;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(granted.load());  // still waiting while the lock is held
  held.reset();
  waiter.join();
  EXPECT_TRUE(granted.load());
}

TEST(PosixPlatformTest, LocksAreNotInheritedByChildProcesses) {
  TempDir dir;
  PosixPlatform p;
  const fs::path lock = dir.path() / ".lock";
  std::unique_ptr<FileLock> held = p.LockFile(U16(lock), false);
  ASSERT_NE(held, nullptr);
  // Every descriptor of the lock file closes on exec.
  int found = 0;
  for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
    std::error_code ec;
    if (fs::read_symlink(entry.path(), ec) != lock) continue;
    ++found;
    const int fd = std::stoi(entry.path().filename().string());
    EXPECT_NE(fcntl(fd, F_GETFD) & FD_CLOEXEC, 0);
  }
  EXPECT_EQ(found, 1);
  // Another process can't take it while this one holds it, and can after.
  const std::string probe = "flock -n " + testing::ShellQuote(lock.string()) + " true";
  EXPECT_NE(std::system(probe.c_str()), 0);
  held.reset();
  EXPECT_EQ(std::system(probe.c_str()), 0);
}

TEST(PosixPlatformTest, NowIsTheLocalTimeOfDay) {
  PosixPlatform p;
  const time_t before = time(nullptr);
  const LocalTime now = p.Now();
  tm local{};
  localtime_r(&before, &local);
  EXPECT_EQ(now.date.year, local.tm_year + 1900);
  EXPECT_EQ(now.date.month, local.tm_mon + 1);
  EXPECT_GE(now.hour, 0);
  EXPECT_LE(now.hour, 23);
  EXPECT_GE(now.minute, 0);
  EXPECT_LE(now.minute, 59);
}

}  // namespace
}  // namespace vellumine
