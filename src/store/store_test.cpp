#include "store/store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>
#include <vector>

#include "page/text.h"
#include "platform/faulty_platform.h"
#include "platform/forwarding_platform.h"
#include "platform/posix_platform.h"
#include "platform/scripted_platform.h"
#include "store/records.h"
#include "tests/support.h"

namespace vellumine {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

// Real files, with every folder creation and existence check recorded.
class RecordingPlatform : public ForwardingPlatform {
 public:
  RecordingPlatform() : ForwardingPlatform(real_) {}
  bool CreateFolder(std::u16string_view path) override {
    created.emplace_back(path);
    return ForwardingPlatform::CreateFolder(path);
  }
  int PathKind(std::u16string_view path) override {
    ++kind_calls;
    return ForwardingPlatform::PathKind(path);
  }
  PosixPlatform real_;
  std::vector<std::u16string> created;
  int kind_calls = 0;
};

std::u16string U16(const fs::path& p) { return Utf8ToUtf16(p.string()); }

std::string Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(StoreTest, FullPathMapsSlashes) {
  PosixPlatform platform;
  Store store(platform, u"/d/");
  EXPECT_EQ(store.FullPath(u"memo/0123456789abcdef"), u"/d/memo/0123456789abcdef");
  EXPECT_EQ(store.FullPath(u"config"), u"/d/config");
}

TEST(StoreTest, WriteCreatesFoldersOutermostFirstAndNeverTheFile) {
  TempDir dir;
  RecordingPlatform platform;
  const fs::path data = dir.path() / "data";
  Store store(platform, U16(data) + u"/");
  ASSERT_TRUE(store.Write(u"memo/sub/0123456789abcdef", "xy"));
  EXPECT_EQ(platform.created, (std::vector<std::u16string>{U16(data), U16(data / "memo"),
                                                           U16(data / "memo" / "sub")}));
  EXPECT_EQ(Slurp(data / "memo" / "sub" / "0123456789abcdef"), "xy");
  EXPECT_FALSE(store.TakeFailure());

  // Existing folders are not created again.
  platform.created.clear();
  ASSERT_TRUE(store.Write(u"memo/sub/other", ""));
  EXPECT_TRUE(platform.created.empty());
  EXPECT_EQ(Slurp(data / "memo" / "sub" / "other"), "");
}

TEST(StoreTest, DataFolderParentsAreCreatedToo) {
  TempDir dir;
  PosixPlatform platform;
  const fs::path data = dir.path() / "a" / "b" / "Vellumine";
  Store store(platform, U16(data) + u"/");
  ASSERT_TRUE(store.Write(u"config", "c"));
  EXPECT_EQ(Slurp(data / "config"), "c");
}

TEST(StoreTest, ReadCreatesFoldersAndReportsMissingFiles) {
  TempDir dir;
  PosixPlatform platform;
  const fs::path data = dir.path() / "data";
  Store store(platform, U16(data) + u"/");
  EXPECT_EQ(store.Read(u"schdl/20261207"), std::nullopt);
  EXPECT_TRUE(fs::is_directory(data / "schdl"));
  EXPECT_FALSE(fs::exists(data / "schdl" / "20261207"));
  ASSERT_TRUE(store.Write(u"schdl/20261207", std::string("a\0b", 3)));
  EXPECT_EQ(store.Read(u"schdl/20261207"), std::string("a\0b", 3));
  EXPECT_EQ(store.Kind(u"schdl"), 2);
  EXPECT_EQ(store.Kind(u"schdl/20261207"), 1);
  EXPECT_EQ(store.Kind(u"schdl/2026*"), 0);  // no wildcard expansion
  EXPECT_FALSE(store.TakeFailure());
}

// A load reads thousands of files from a few folders: each folder is looked
// for once per holding of the lock, and again after the next LockFolder().
TEST(StoreTest, ReadsLookForEachFolderOncePerLock) {
  TempDir dir;
  RecordingPlatform platform;
  const fs::path data = dir.path() / "data";
  Store store(platform, U16(data) + u"/");
  auto lock = store.LockFolder();
  ASSERT_NE(lock, nullptr);
  for (int i = 0; i < 3; ++i)
    ASSERT_TRUE(store.Write(u"wp/000000000000000" + Utf8ToUtf16(std::to_string(i)), "w"));
  platform.kind_calls = 0;
  for (int round = 0; round < 50; ++round) {
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(store.Read(u"wp/000000000000000" + Utf8ToUtf16(std::to_string(i))), "w");
    }
    store.CreateFolder(u"wp");
  }
  EXPECT_EQ(store.Read(u"memo/0123456789abcdef"), std::nullopt);
  EXPECT_TRUE(fs::is_directory(data / "memo"));
  // The data folder, "wp" and "memo": once each.
  EXPECT_EQ(platform.kind_calls, 3);

  // Gone behind the store's back: a write makes it again within the same
  // holding, and the next holding's reads look again.
  fs::remove_all(data / "wp");
  ASSERT_TRUE(store.Write(u"wp/00000000000000aa", "x"));
  EXPECT_EQ(Slurp(data / "wp" / "00000000000000aa"), "x");
  fs::remove_all(data / "memo");
  EXPECT_EQ(store.Read(u"memo/0123456789abcdef"), std::nullopt);
  EXPECT_FALSE(fs::exists(data / "memo"));
  lock.reset();
  lock = store.LockFolder();
  EXPECT_EQ(store.Read(u"memo/0123456789abcdef"), std::nullopt);
  EXPECT_TRUE(fs::is_directory(data / "memo"));
  EXPECT_FALSE(store.TakeFailure());
}

TEST(StoreTest, RemoveAndCreateFolder) {
  TempDir dir;
  PosixPlatform platform;
  const fs::path data = dir.path() / "data";
  Store store(platform, U16(data) + u"/");
  EXPECT_TRUE(store.Remove(u"memo/nothing"));  // missing is no error
  EXPECT_FALSE(fs::exists(data));              // and creates no folder
  store.CreateFolder(u"linkmenu");
  EXPECT_TRUE(fs::is_directory(data / "linkmenu"));
  ASSERT_TRUE(store.Write(u"linkmenu/k", "1"));
  EXPECT_TRUE(store.Remove(u"linkmenu/k"));
  EXPECT_FALSE(fs::exists(data / "linkmenu" / "k"));
  // A folder in place of the file can't be removed as a file.
  EXPECT_FALSE(store.Remove(u"linkmenu"));
  EXPECT_TRUE(store.TakeFailure());
  EXPECT_FALSE(store.TakeFailure());
}

TEST(StoreTest, FailedWritesAreRememberedOnce) {
  TempDir dir;
  PosixPlatform platform;
  // A data folder below a regular file can't be made, even by root.
  { std::ofstream(dir.path() / "file") << "x"; }
  Store store(platform, U16(dir.path() / "file" / "data") + u"/");
  EXPECT_FALSE(store.Write(u"config", "abc"));
  EXPECT_FALSE(store.Write(u"memo/0123456789abcdef", "abc"));
  EXPECT_EQ(store.Read(u"config"), std::nullopt);
  EXPECT_TRUE(store.TakeFailure());
  EXPECT_FALSE(store.TakeFailure());
  EXPECT_EQ(Slurp(dir.path() / "file"), "x");
}

TEST(StoreTest, WriteOverAFolderFailsAndKeepsIt) {
  TempDir dir;
  PosixPlatform platform;
  const fs::path data = dir.path() / "data";
  fs::create_directories(data / "config");
  Store store(platform, U16(data) + u"/");
  EXPECT_FALSE(store.Write(u"config", "abc"));
  EXPECT_TRUE(store.TakeFailure());
  EXPECT_TRUE(fs::is_directory(data / "config"));
  // No temporary file is left behind.
  EXPECT_EQ(std::distance(fs::directory_iterator(data), fs::directory_iterator()), 1);
}

TEST(StoreTest, UnwritableDataFolderIsReportedWithoutDamage) {
  TempDir dir;
  PosixPlatform real;
  FaultyPlatform platform(real);
  const fs::path data = dir.path() / "data";
  fs::create_directories(data);
  Store store(platform, U16(data) + u"/");
  ASSERT_TRUE(store.Write(u"config", "old"));
  ASSERT_TRUE(store.TakeSaved());
  // Every replacement fails from here on, as in a folder the user can't write.
  platform.Inject(FaultKind::kWrite, 1, FaultEffect::kFail, true);
  EXPECT_FALSE(store.Write(u"config", "new"));
  EXPECT_FALSE(store.Write(u"memo/0123456789abcdef", "new"));
  EXPECT_TRUE(store.TakeFailure());
  EXPECT_FALSE(store.TakeSaved());
  EXPECT_EQ(store.Read(u"config"), "old");
  EXPECT_FALSE(fs::exists(data / "memo" / "0123456789abcdef"));
}

TEST(StoreTest, TheSameBytesAreNotWrittenAgain) {
  TempDir dir;
  PosixPlatform real;
  FaultyPlatform platform(real);
  const fs::path data = dir.path() / "data";
  Store store(platform, U16(data) + u"/");
  ASSERT_TRUE(store.Write(u"memolist", "abc"));
  EXPECT_TRUE(store.TakeSaved());
  const int writes = platform.calls(FaultKind::kWrite);
  EXPECT_TRUE(store.Write(u"memolist", "abc"));
  EXPECT_EQ(platform.calls(FaultKind::kWrite), writes);
  EXPECT_FALSE(store.TakeSaved());
  // The same size, other bytes: written.
  EXPECT_TRUE(store.Write(u"memolist", "abd"));
  EXPECT_EQ(platform.calls(FaultKind::kWrite), writes + 1);
  EXPECT_TRUE(store.TakeSaved());
  EXPECT_EQ(Slurp(data / "memolist"), "abd");
  // Removing what is not there changes nothing either.
  EXPECT_TRUE(store.Remove(u"memo/0000000000000000"));
  EXPECT_FALSE(store.TakeSaved());
  EXPECT_EQ(platform.calls(FaultKind::kRemove), 0);
  EXPECT_TRUE(store.Remove(u"memolist"));
  EXPECT_TRUE(store.TakeSaved());
  EXPECT_FALSE(store.TakeFailure());
}

TEST(StoreTest, OwnChangesAreToldFromOtherWriters) {
  TempDir dir;
  PosixPlatform platform;
  const fs::path data = dir.path() / "data";
  Store store(platform, U16(data) + u"/");
  EXPECT_FALSE(store.IsKnownState(u"memolist"));  // never written here
  ASSERT_TRUE(store.Write(u"memolist", "mine"));
  ASSERT_TRUE(store.Write(u"memo/0123456789abcdef", "mine"));
  EXPECT_TRUE(store.IsKnownState(u"memolist"));
  EXPECT_TRUE(store.IsKnownState(u"memo/0123456789abcdef"));
  // Another writer replaces one file, and removes another.
  PosixPlatform other;
  ASSERT_TRUE(other.WriteFileAtomic(U16(data / "memolist"), "theirs"));
  fs::remove(data / "memo" / "0123456789abcdef");
  EXPECT_FALSE(store.IsKnownState(u"memolist"));
  EXPECT_FALSE(store.IsKnownState(u"memo/0123456789abcdef"));
  // A removal of its own is its own change too.
  ASSERT_TRUE(store.Write(u"link", "x"));
  ASSERT_TRUE(store.Remove(u"link"));
  EXPECT_TRUE(store.IsKnownState(u"link"));
}

// Sets a file's modification time the given number of seconds back.
void Age(const fs::path& file, int seconds) {
  fs::last_write_time(file, fs::file_time_type::clock::now() - std::chrono::seconds(seconds));
}

TEST(StoreTest, AFileIsStillAsReadUntilAnythingChangesIt) {
  TempDir dir;
  PosixPlatform platform;
  const fs::path data = dir.path() / "data";
  Store store(platform, U16(data) + u"/");
  ASSERT_TRUE(store.Write(u"memo/0123456789abcdef", "one"));
  ASSERT_TRUE(store.Write(u"link", "two"));
  EXPECT_FALSE(store.StillAsRead(u"link"));  // never read
  Age(data / "memo" / "0123456789abcdef", 60);
  Age(data / "link", 60);
  EXPECT_EQ(store.ReadNoted(u"memo/0123456789abcdef"), "one");
  EXPECT_EQ(store.ReadNoted(u"link"), "two");
  EXPECT_TRUE(store.StillAsRead(u"memo/0123456789abcdef"));
  EXPECT_TRUE(store.StillAsRead(u"link"));

  // Another writer's change in place, of the same size: told by its time.
  {
    std::ofstream out(data / "link", std::ios::binary | std::ios::in);
    out << "TWO";
  }
  EXPECT_FALSE(store.StillAsRead(u"link"));
  EXPECT_TRUE(store.StillAsRead(u"memo/0123456789abcdef"));

  // Read again just after that change: its time is too fresh to tell the
  // next change within the same tick, so it is not taken as unchanged.
  EXPECT_EQ(store.ReadNoted(u"link"), "TWO");
  EXPECT_FALSE(store.StillAsRead(u"link"));

  // Its own write, a removal, a damaged load and a failed save each end it.
  EXPECT_EQ(store.ReadNoted(u"memo/0123456789abcdef"), "one");
  ASSERT_TRUE(store.Write(u"memo/0123456789abcdef", "uno"));
  EXPECT_FALSE(store.StillAsRead(u"memo/0123456789abcdef"));
  Age(data / "memo" / "0123456789abcdef", 60);
  EXPECT_EQ(store.ReadNoted(u"memo/0123456789abcdef"), "uno");
  store.MarkDamaged(u"memo/0123456789abcdef");
  EXPECT_FALSE(store.StillAsRead(u"memo/0123456789abcdef"));
  store.ClearDamaged();
  EXPECT_EQ(store.ReadNoted(u"memo/0123456789abcdef"), "uno");
  ASSERT_TRUE(store.Remove(u"memo/0123456789abcdef"));
  EXPECT_FALSE(store.StillAsRead(u"memo/0123456789abcdef"));
  Age(data / "link", 60);
  EXPECT_EQ(store.ReadNoted(u"link"), "TWO");
  store.ForgetReads();
  EXPECT_FALSE(store.StillAsRead(u"link"));

  // The same bytes again are no write: the file stays as read.
  EXPECT_EQ(store.ReadNoted(u"link"), "TWO");
  ASSERT_TRUE(store.Write(u"link", "TWO"));
  EXPECT_TRUE(store.StillAsRead(u"link"));
  // Replaced whole by another writer, the same bytes under the old time.
  const auto when = fs::last_write_time(data / "link");
  ASSERT_TRUE(PosixPlatform().WriteFileAtomic(U16(data / "link"), "TWO"));
  fs::last_write_time(data / "link", when);
  EXPECT_FALSE(store.StillAsRead(u"link"));
  EXPECT_FALSE(store.StillAsRead(u"missing"));
}

TEST(StoreTest, TheSignatureFollowsTheStampAndTheIndexFiles) {
  TempDir dir;
  PosixPlatform platform;
  const fs::path data = dir.path() / "data";
  fs::create_directories(data);
  Store store(platform, U16(data) + u"/");
  const FolderSignature empty = store.Signature();
  EXPECT_EQ(store.Signature(), empty);
  store.BumpStamp();
  const FolderSignature stamped = store.Signature();
  EXPECT_NE(stamped, empty);
  ASSERT_TRUE(stamped.stamp.has_value());
  EXPECT_EQ(stamped.stamp->size(), 17u);  // 16 hex digits and a line end
  store.BumpStamp();
  EXPECT_NE(store.Signature(), stamped);  // every stamp is new
  EXPECT_TRUE(store.IsKnownState(u".stamp"));
  // Each index file counts; another file does not.
  for (const char* name : {"config", "wplist", "memolist", "link"}) {
    const FolderSignature before = store.Signature();
    std::ofstream(data / name) << name;
    EXPECT_NE(store.Signature(), before) << name;
  }
  const FolderSignature before = store.Signature();
  fs::create_directories(data / "memo");
  std::ofstream(data / "memo" / "0123456789abcdef") << "x";
  EXPECT_EQ(store.Signature(), before);
  // Two stores never draw the same stamp.
  Store other(platform, U16(data) + u"/");
  other.BumpStamp();
  const FolderSignature theirs = store.Signature();
  store.BumpStamp();
  EXPECT_NE(store.Signature(), theirs);
}

TEST(StoreTest, TheFolderLockIsOneForEverySpelling) {
  TempDir dir;
  PosixPlatform platform;
  const fs::path data = dir.path() / "data";
  fs::create_directories(dir.path() / "elsewhere");
  fs::create_directory_symlink(data, dir.path() / "elsewhere" / "link");  // dangling until made
  // Through the link, then up from where it leads: the same folder.
  Store through_link(platform, U16(dir.path() / "elsewhere" / "link" / ".." / "data") + u"/");
  Store store(platform, U16(data) + u"/");
  std::unique_ptr<FileLock> held = store.LockFolder();  // makes the folder
  ASSERT_NE(held, nullptr);
  EXPECT_TRUE(fs::exists(data / ".lock"));
  bool busy = false;
  EXPECT_EQ(platform.LockFile(U16(data / ".lock"), false, &busy), nullptr);
  EXPECT_TRUE(busy);
  std::atomic<bool> granted{false};
  std::thread waiter([&] { granted = through_link.LockFolder() != nullptr; });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(granted.load());
  held.reset();
  waiter.join();
  EXPECT_TRUE(granted.load());
  // One lock file, in the folder itself.
  EXPECT_FALSE(fs::exists(dir.path() / "elsewhere" / ".lock"));
}

TEST(StoreTest, LeftoverTemporariesGoAndNothingElse) {
  TempDir dir;
  PosixPlatform platform;
  const fs::path data = dir.path() / "data";
  const std::vector<std::string> leftovers = {".memolist.tmp4242-17-0",
                                              "memo/.0123456789abcdef.tmp1-2-3",
                                              "linkmenu/.0123456789abcdef.tmp5-6-7",
                                              "wp/.0123456789abcdef.tmp8-9-10",
                                              "schdl/.20261207.tmp11-12-13",
                                              "..stamp.tmp1-1-1"};
  const std::vector<std::string> kept = {"memolist",
                                         ".stamp",
                                         ".lock",
                                         ".syncthing.memolist.tmp",
                                         "memolist.sync-conflict-20240101-120000-ABCDEFG",
                                         "~memolist",
                                         "memolist.part",
                                         "memo/0123456789abcdef",
                                         "memo/.0123456789abcdef.tmp1-2",
                                         "other/.x.tmp1-2-3",
                                         "memolist.damaged-20261207-120000",
                                         ".memolist.tmp1-2-3x"};
  for (const auto& names : {leftovers, kept}) {
    for (const std::string& name : names) {
      fs::create_directories((data / name).parent_path());
      std::ofstream(data / name) << "x";
    }
  }
  Store store(platform, U16(data) + u"/");
  store.RemoveLeftovers();
  for (const std::string& name : leftovers) EXPECT_FALSE(fs::exists(data / name)) << name;
  for (const std::string& name : kept) EXPECT_TRUE(fs::exists(data / name)) << name;
  EXPECT_FALSE(store.TakeSaved());
}

TEST(StoreTest, ADamagedFileIsKeptBeforeItIsReplaced) {
  TempDir dir;
  PosixPlatform real;
  ScriptedPlatform ui(real, u"/unused/");
  ui.set_today({2026, 3, 4});
  ui.set_time_of_day(5, 6, 7);
  const fs::path data = dir.path() / "data";
  Store store(ui, U16(data) + u"/");
  ASSERT_TRUE(store.Write(u"memolist", "damaged"));
  ASSERT_TRUE(store.Write(u"linkmenu/0123456789abcdef", "also damaged"));
  store.MarkDamaged(u"memolist");
  store.MarkDamaged(u"linkmenu/0123456789abcdef");
  EXPECT_TRUE(store.IsDamaged(u"memolist"));
  ASSERT_TRUE(store.Write(u"memolist", "whole"));
  EXPECT_EQ(Slurp(data / "memolist"), "whole");
  EXPECT_EQ(Slurp(data / "memolist.damaged-20260304-050607"), "damaged");
  EXPECT_FALSE(store.IsDamaged(u"memolist"));
  // Kept once: the next write replaces the whole file it wrote.
  ASSERT_TRUE(store.Write(u"memolist", "whole again"));
  ASSERT_TRUE(store.Write(u"linkmenu/0123456789abcdef", "whole"));
  EXPECT_EQ(Slurp(data / "linkmenu" / "0123456789abcdef.damaged-20260304-050607"), "also damaged");
  EXPECT_EQ(store.TakeKeptCopies(),
            (std::vector<std::u16string>{u"memolist.damaged-20260304-050607",
                                         u"linkmenu/0123456789abcdef.damaged-20260304-050607"}));
  EXPECT_TRUE(store.TakeKeptCopies().empty());
  // A second copy within the same second gets a name of its own.
  store.MarkDamaged(u"memolist");
  ASSERT_TRUE(store.Write(u"memolist", "third"));
  EXPECT_EQ(Slurp(data / "memolist.damaged-20260304-050607-2"), "whole again");
  EXPECT_EQ(Slurp(data / "memolist.damaged-20260304-050607"), "damaged");
  EXPECT_FALSE(store.TakeFailure());
}

TEST(StoreTest, ADamagedFileThatCantBeKeptIsNotReplaced) {
  TempDir dir;
  PosixPlatform real;
  FaultyPlatform platform(real);
  const fs::path data = dir.path() / "data";
  Store store(platform, U16(data) + u"/");
  ASSERT_TRUE(store.Write(u"config", "damaged"));
  store.MarkDamaged(u"config");
  platform.Inject(FaultKind::kWrite, 1);  // the copy
  EXPECT_FALSE(store.Write(u"config", "new"));
  EXPECT_TRUE(store.TakeFailure());
  EXPECT_EQ(Slurp(data / "config"), "damaged");
  EXPECT_TRUE(store.TakeKeptCopies().empty());
  EXPECT_TRUE(store.IsDamaged(u"config"));
  // The next try keeps it and replaces it.
  EXPECT_TRUE(store.Write(u"config", "new"));
  EXPECT_EQ(store.TakeKeptCopies().size(), 1u);
  EXPECT_EQ(Slurp(data / "config"), "new");
}

TEST(StoreTest, MakeItemKeyPathKeepsAnAssignedKey) {
  TempDir dir;
  RecordingPlatform platform;
  const fs::path data = dir.path() / "data";
  std::mt19937 random(1);
  Store store(platform, U16(data) + u"/", &random);
  std::mt19937 untouched = random;
  ItemKey key{0x0bd09186u, 0x12u};
  EXPECT_EQ(store.MakeItemKeyPath(u"memo", key), u"memo/0bd0918600000012");
  EXPECT_EQ(key.second, 0x12u);
  EXPECT_TRUE(fs::is_directory(data / "memo"));
  EXPECT_EQ(std::distance(fs::directory_iterator(data / "memo"), fs::directory_iterator()), 0);
  // Nothing was drawn.
  EXPECT_EQ(random(), untouched());
}

TEST(StoreTest, MakeItemKeyPathDrawsPastExistingNames) {
  TempDir dir;
  PosixPlatform platform;
  const fs::path data = dir.path() / "data";
  std::mt19937 random(99);
  Store store(platform, U16(data) + u"/", &random);
  std::mt19937 preview = random;
  const auto first_draw = static_cast<std::uint32_t>(preview());
  const auto second_draw = static_cast<std::uint32_t>(preview());
  const auto third_draw = static_cast<std::uint32_t>(preview());
  // The first name is taken by a file, the second by a folder.
  ItemKey key{7, 0};
  fs::create_directories(data / "memo" / Utf16ToUtf8(KeyHex({7, second_draw})));
  { std::ofstream(data / "memo" / Utf16ToUtf8(KeyHex({7, first_draw}))) << "taken"; }
  EXPECT_EQ(store.MakeItemKeyPath(u"memo", key), u"memo/" + KeyHex({7, third_draw}));
  EXPECT_EQ(key, (ItemKey{7, third_draw}));
}

}  // namespace
}  // namespace vellumine
