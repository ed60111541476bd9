#include "platform/memory_platform.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace vellumine {
namespace {

TEST(MemoryPlatformTest, FoldersMustExistAsOnDisk) {
  MemoryPlatform p;
  WriteFailure failure;
  EXPECT_FALSE(p.WriteFileAtomic(u"/d/memo/0123456789abcdef", "x", &failure));
  EXPECT_EQ(failure.step, WriteStep::kCreateTemporary);
  EXPECT_FALSE(p.CreateFolder(u"/d/memo"));  // its parent is missing too
  EXPECT_TRUE(p.CreateFolder(u"/d/"));
  EXPECT_TRUE(p.CreateFolder(u"/d"));  // an existing folder counts as made
  EXPECT_TRUE(p.CreateFolder(u"/d/memo"));
  EXPECT_TRUE(p.WriteFileAtomic(u"/d/memo/0123456789abcdef", "x"));
  EXPECT_EQ(p.PathKind(u"/d/memo/"), 2);
  EXPECT_EQ(p.PathKind(u"/d/memo/0123456789abcdef"), 1);
  EXPECT_EQ(p.PathKind(u"/d/link"), 0);

  // A file and a folder never share a path.
  EXPECT_FALSE(p.CreateFolder(u"/d/memo/0123456789abcdef"));
  EXPECT_FALSE(p.WriteFileAtomic(u"/d/memo", "x", &failure));
  EXPECT_EQ(failure.step, WriteStep::kNotAFile);
  EXPECT_FALSE(p.RemoveFile(u"/d/memo"));
  EXPECT_EQ(p.PathKind(u"/d/memo"), 2);
  EXPECT_EQ(p.CanonicalPath(u"/d/memo/"), u"/d/memo");
  EXPECT_EQ(p.CanonicalPath(u"/d/none"), std::nullopt);
}

TEST(MemoryPlatformTest, ListsOneFolderByPrefixAndSeesChanges) {
  MemoryPlatform p;
  p.Put(u"memolist", "l");
  p.Put(u"memo/0000000000000001", "a");
  p.Put(u"memo/0000000000000002", "b");
  p.Put(u"memo/sub/0000000000000003", "c");
  p.Put(u"memox", "d");  // shares the folder's name as a prefix only
  std::vector<std::u16string> names = p.ListFiles(u"/d/memo", u"0");
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::u16string>{u"0000000000000001", u"0000000000000002"}));
  EXPECT_EQ(p.ListFiles(u"/d/", u"memo").size(), 2u);
  EXPECT_TRUE(p.ListFiles(u"/d/memo/", u"1").empty());

  const FileStamp before = p.Stamp(u"/d/memolist");
  EXPECT_TRUE(before.exists);
  ASSERT_TRUE(p.OverwriteFile(u"/d/memolist", "m"));  // the same size, other bytes
  EXPECT_NE(p.Stamp(u"/d/memolist"), before);
  EXPECT_EQ(p.Get(u"memolist"), "m");
  EXPECT_TRUE(p.RemoveFile(u"/d/memolist"));
  EXPECT_TRUE(p.RemoveFile(u"/d/memolist"));  // a missing file counts as gone
  EXPECT_EQ(p.Stamp(u"/d/memolist"), FileStamp{});
  EXPECT_EQ(p.ReadFile(u"/d/memolist"), std::nullopt);
}

}  // namespace
}  // namespace vellumine
