#include "platform/faulty_platform.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "page/text.h"
#include "platform/posix_platform.h"
#include "tests/support.h"

namespace vellumine {
namespace {

namespace fs = std::filesystem;

std::u16string U16(const fs::path& p) { return Utf8ToUtf16(p.string()); }

TEST(FaultyPlatformTest, PassesCallsOnAndCountsThem) {
  testing::TempDir dir;
  PosixPlatform real;
  FaultyPlatform p(real);
  const std::u16string file = U16(dir.path() / "f");
  EXPECT_TRUE(p.WriteFileAtomic(file, "one"));
  EXPECT_EQ(p.ReadFile(file), "one");
  EXPECT_TRUE(p.OverwriteFile(file, "two"));
  EXPECT_EQ(testing::ReadAll(dir.path() / "f"), "two");
  EXPECT_TRUE(p.RemoveFile(file));
  EXPECT_FALSE(fs::exists(dir.path() / "f"));
  EXPECT_TRUE(p.CreateFolder(U16(dir.path() / "sub")));
  EXPECT_NE(p.LockFile(U16(dir.path() / ".lock"), false), nullptr);
  EXPECT_EQ(p.calls(FaultKind::kWrite), 1);
  EXPECT_EQ(p.calls(FaultKind::kRead), 1);
  EXPECT_EQ(p.calls(FaultKind::kOverwrite), 1);
  EXPECT_EQ(p.calls(FaultKind::kRemove), 1);
  EXPECT_EQ(p.calls(FaultKind::kCreateFolder), 1);
  EXPECT_EQ(p.calls(FaultKind::kLock), 1);
  EXPECT_EQ(p.hits(), 0);
}

TEST(FaultyPlatformTest, FailsExactlyTheNthCallOfItsKind) {
  testing::TempDir dir;
  PosixPlatform real;
  FaultyPlatform p(real);
  const std::u16string a = U16(dir.path() / "a");
  const std::u16string b = U16(dir.path() / "b");
  EXPECT_TRUE(p.WriteFileAtomic(a, "0"));
  p.Inject(FaultKind::kWrite, 2);  // counted from here: the second write from now
  EXPECT_TRUE(p.RemoveFile(b));    // another kind does not count
  EXPECT_TRUE(p.WriteFileAtomic(a, "1"));
  WriteFailure failure;
  EXPECT_FALSE(p.WriteFileAtomic(a, "2", &failure));
  EXPECT_EQ(failure.step, WriteStep::kWrite);  // as a full disk would answer
  EXPECT_NE(failure.error, 0);
  EXPECT_EQ(testing::ReadAll(dir.path() / "a"), "1");  // the failed write did nothing
  EXPECT_TRUE(p.WriteFileAtomic(a, "3"));
  EXPECT_EQ(p.hits(), 1);

  p.Inject(FaultKind::kRemove, 1, FaultEffect::kFail, true);
  EXPECT_FALSE(p.RemoveFile(a));
  EXPECT_FALSE(p.RemoveFile(a));
  EXPECT_TRUE(fs::exists(dir.path() / "a"));
  p.ClearFaults();
  EXPECT_TRUE(p.RemoveFile(a));
  EXPECT_EQ(p.hits(), 3);
}

TEST(FaultyPlatformTest, ACrashThrowsBeforeTheCallDoesAnything) {
  testing::TempDir dir;
  PosixPlatform real;
  FaultyPlatform p(real);
  const std::u16string a = U16(dir.path() / "a");
  p.Inject(FaultKind::kWrite, 1, FaultEffect::kCrash);
  try {
    p.WriteFileAtomic(a, "x");
    ADD_FAILURE() << "no crash";
  } catch (const CrashInjected& crash) {
    EXPECT_EQ(crash.kind, FaultKind::kWrite);
  }
  EXPECT_FALSE(fs::exists(dir.path() / "a"));
  EXPECT_TRUE(p.WriteFileAtomic(a, "y"));  // hit once, then gone

  p.Inject(FaultKind::kLock, 1, FaultEffect::kFail);
  bool busy = true;
  EXPECT_EQ(p.LockFile(U16(dir.path() / ".lock"), true, &busy), nullptr);
  EXPECT_FALSE(busy);
}

}  // namespace
}  // namespace vellumine
