#include "store/store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "page/text.h"
#include "platform/posix_platform.h"
#include "store/random_source.h"
#include "store/records.h"
#include "tests/support.h"

namespace vellumine {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

// Real files, with every folder creation and existence check recorded.
class RecordingPlatform : public PosixPlatform {
 public:
  bool CreateFolder(std::u16string_view path) override {
    created.emplace_back(path);
    return PosixPlatform::CreateFolder(path);
  }
  int PathKind(std::u16string_view path) override {
    ++kind_calls;
    return PosixPlatform::PathKind(path);
  }
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
  PosixPlatform platform;
  const fs::path data = dir.path() / "data";
  fs::create_directories(data);
  Store store(platform, U16(data) + u"/");
  ASSERT_TRUE(store.Write(u"config", "old"));
  ASSERT_EQ(chmod(data.c_str(), 0500), 0);
  if (access(data.c_str(), W_OK) == 0) {
    chmod(data.c_str(), 0700);
    GTEST_SKIP() << "the folder stays writable for this user";
  }
  EXPECT_FALSE(store.Write(u"config", "new"));
  EXPECT_FALSE(store.Write(u"memo/0123456789abcdef", "new"));
  EXPECT_TRUE(store.TakeFailure());
  EXPECT_EQ(store.Read(u"config"), "old");
  chmod(data.c_str(), 0700);
}

TEST(StoreTest, MakeItemKeyPathKeepsAnAssignedKey) {
  TempDir dir;
  RecordingPlatform platform;
  const fs::path data = dir.path() / "data";
  Store store(platform, U16(data) + u"/");
  RandomSource::Instance().Seed(1);
  const std::uint32_t next = RandomSource::Instance().Next();
  RandomSource::Instance().Seed(1);
  ItemKey key{0x0bd09186u, 0x12u};
  EXPECT_EQ(store.MakeItemKeyPath(u"memo", key), u"memo/0bd0918600000012");
  EXPECT_EQ(key.second, 0x12u);
  EXPECT_TRUE(fs::is_directory(data / "memo"));
  EXPECT_EQ(std::distance(fs::directory_iterator(data / "memo"), fs::directory_iterator()), 0);
  // Nothing was drawn.
  EXPECT_EQ(RandomSource::Instance().Next(), next);
}

TEST(StoreTest, MakeItemKeyPathDrawsPastExistingNames) {
  TempDir dir;
  PosixPlatform platform;
  const fs::path data = dir.path() / "data";
  Store store(platform, U16(data) + u"/");
  RandomSource::Instance().Seed(99);
  const std::uint32_t first_draw = RandomSource::Instance().Next();
  const std::uint32_t second_draw = RandomSource::Instance().Next();
  const std::uint32_t third_draw = RandomSource::Instance().Next();
  // The first name is taken by a file, the second by a folder.
  ItemKey key{7, 0};
  fs::create_directories(data / "memo" / Utf16ToUtf8(KeyHex({7, second_draw})));
  { std::ofstream(data / "memo" / Utf16ToUtf8(KeyHex({7, first_draw}))) << "taken"; }
  RandomSource::Instance().Seed(99);
  EXPECT_EQ(store.MakeItemKeyPath(u"memo", key), u"memo/" + KeyHex({7, third_draw}));
  EXPECT_EQ(key, (ItemKey{7, third_draw}));
}

}  // namespace
}  // namespace vellumine
