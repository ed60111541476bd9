#include "platform/platform.h"

#include <gtest/gtest.h>

#include "platform/posix_platform.h"
#include "platform/scripted_platform.h"

namespace vellumine {
namespace {

TEST(TemporaryNames, OnlyTheAtomicWritersOwnPatternMatches) {
  for (std::u16string_view name :
       {u".memolist.tmp4242-17-0", u".config.tmp1-2-3", u".0123456789abcdef.tmp99-4000000000-12",
        u"..stamp.tmp7-8-9", u".a.b.tmp1-2-3"}) {
    EXPECT_TRUE(IsTemporaryName(name)) << testing::PrintToString(std::u16string(name));
  }
  // What users and sync tools leave, and near misses of the pattern.
  for (std::u16string_view name : {u"memolist",
                                   u".stamp",
                                   u".lock",
                                   u".syncthing.memolist.tmp",
                                   u"memolist.tmp1-2-3",
                                   u".tmp1-2-3",
                                   u"..tmp1-2-3",
                                   u".memolist.tmp1-2",
                                   u".memolist.tmp1-2-",
                                   u".memolist.tmp-2-3",
                                   u".memolist.tmp1-2-3x",
                                   u".memolist.tmp1-2-3.part",
                                   u".memolist.tmpa-2-3",
                                   u".memolist.TMP1-2-3",
                                   u"~memolist",
                                   u"memolist.sync-conflict-20240101-120000-ABCDEFG",
                                   u".~lock.memolist#",
                                   u"memolist.part",
                                   u".memolist.tmp1--3",
                                   u""}) {
    EXPECT_FALSE(IsTemporaryName(name)) << testing::PrintToString(std::u16string(name));
  }
}

TEST(ScriptedPlatformTest, NowIsTodayAtTheTimeSet) {
  PosixPlatform files;
  ScriptedPlatform ui(files, u"/d/");
  ui.set_today({2024, 2, 29});
  LocalTime now = ui.Now();
  EXPECT_EQ(now.date.year, 2024);
  EXPECT_EQ(now.date.month, 2);
  EXPECT_EQ(now.date.day, 29);
  EXPECT_EQ(now.hour, 12);
  ui.set_time_of_day(23, 59, 58);
  now = ui.Now();
  EXPECT_EQ(now.hour, 23);
  EXPECT_EQ(now.minute, 59);
  EXPECT_EQ(now.second, 58);
  // Files still go to the platform underneath.
  EXPECT_EQ(ui.Separator(), u'/');
  EXPECT_EQ(ui.DataFolder(), u"/d/");
}

}  // namespace
}  // namespace vellumine
