#include "organiser/memo_store.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "organiser/memo_windows.h"
#include "store/records.h"
#include "tests/fake_documents.h"
#include "tests/support.h"

namespace vellumine::memos {
namespace {

using testing::EncodeRecords;
using testing::Fixture;
using testing::MemoRecordingPage;

std::string HexName(const ItemKey& key) {
  char buf[17];
  std::snprintf(buf, sizeof buf, "%08x%08x", key.first, key.second);
  return buf;
}

MemoEntry Memo(std::u16string subject, std::u16string message, ItemKey key = {}) {
  MemoEntry e;
  e.key = key;
  e.subject = std::move(subject);
  e.message = std::move(message);
  return e;
}

TEST(MemoStoreTest, FreshFolderHasNoMemosAndFirstAddCreatesTheFiles) {
  Fixture f;
  EXPECT_EQ(LoadMemoList(f.control().store(), f.state()), 0);
  EXPECT_TRUE(f.state().memos.empty());
  EXPECT_FALSE(f.FileExists("memolist"));

  MemoRecordingPage doc;
  f.control().AddMemo(doc, u"s", u"m");
  ASSERT_EQ(f.state().memos.size(), 1u);
  const ItemKey key = f.state().memos[0].key;
  EXPECT_EQ(key.first, StringHash(u"s"));
  EXPECT_NE(key.second, 0u);
  EXPECT_EQ(f.FileBytes("memolist"),
            EncodeRecords({u"[memo0]", u"Hash=" + Utf8ToUtf16(HexName(key))}));
  EXPECT_EQ(f.FileBytes("memo/" + HexName(key)), EncodeRecords({u"Subject=s", u"Message=m"}));
  EXPECT_TRUE(f.Messages().empty());
}

TEST(MemoStoreTest, SectionsLoadInFileOrderAndSaveRenumberedInLowerCase) {
  Fixture f;
  f.WriteRecords("memolist",
                 {u"[memo7]", u"Hash=0000000a0000000b", u"[memo3]", u"Hash=0000000C0000000D"});
  f.WriteRecords("memo/0000000a0000000b", {u"Subject=first", u"Message=one"});
  // The order of the records inside a memo file is free.
  f.WriteRecords("memo/0000000c0000000d", {u"Message=two", u"Subject=second"});

  ASSERT_EQ(LoadMemoList(f.control().store(), f.state()), 2);
  const auto& memos = f.state().memos;
  EXPECT_EQ(memos[0].key, (ItemKey{0xa, 0xb}));
  EXPECT_EQ(memos[0].subject, u"first");
  EXPECT_EQ(memos[0].message, u"one");
  EXPECT_EQ(memos[1].key, (ItemKey{0xc, 0xd}));
  EXPECT_EQ(memos[1].subject, u"second");
  EXPECT_EQ(memos[1].message, u"two");

  ASSERT_TRUE(SaveMemoList(f.control().store(), f.state()));
  EXPECT_EQ(f.FileBytes("memolist"), EncodeRecords({u"[memo0]", u"Hash=0000000a0000000b",
                                                    u"[memo1]", u"Hash=0000000c0000000d"}));
}

TEST(MemoStoreTest, UnreadableMemoFilesKeepTheirPlaceWithoutTexts) {
  Fixture f;
  f.WriteRecords("memolist",
                 {u"[memo0]", u"Hash=0000000100000001", u"[memo1]", u"Hash=0000000200000002",
                  u"[memo2]", u"Hash=0000000300000003", u"[memo3]", u"Hash=0000000400000004"});
  f.WriteRecords("memo/0000000100000001", {u"Subject=only a subject"});
  // memo 2's file is missing.
  f.WriteRecords("memo/0000000300000003",
                 {u"Subject=old", u"Message=m", u"Subject=new", u"[memo9]", u"Message=ignored"});
  f.WriteRecords("memo/0000000400000004", {u"Subject=", u"Message="});

  ASSERT_EQ(LoadMemoList(f.control().store(), f.state()), 4);
  const auto& memos = f.state().memos;
  EXPECT_FALSE(memos[0].subject);
  EXPECT_FALSE(memos[0].message);
  EXPECT_EQ(memos[0].key, (ItemKey{1, 1}));
  EXPECT_FALSE(memos[1].subject);
  EXPECT_FALSE(memos[1].message);
  // A later record replaces an earlier one; a "[" record ends the memo.
  EXPECT_EQ(memos[2].subject, u"new");
  EXPECT_EQ(memos[2].message, u"m");
  // Present but empty texts are texts.
  EXPECT_EQ(memos[3].subject, u"");
  EXPECT_EQ(memos[3].message, u"");

  MemoEntry probe;
  probe.key = {1, 1};
  EXPECT_FALSE(LoadMemoFile(f.control().store(), probe));
  probe.key = {3, 3};
  EXPECT_TRUE(LoadMemoFile(f.control().store(), probe));
}

TEST(MemoStoreTest, SectionWithoutHashKeepsItsPlaceAndFindsNoFile) {
  Fixture f;
  f.WriteRecords("memolist", {u"[memo0]", u"Other=1", u"[memo1]", u"Hash=0000000100000002"});
  f.WriteRecords("memo/0000000100000002", {u"Subject=s", u"Message=m"});
  ASSERT_EQ(LoadMemoList(f.control().store(), f.state()), 2);
  const auto& memos = f.state().memos;
  EXPECT_EQ(memos[0].key.first, 0u);
  EXPECT_NE(memos[0].key.second, 0u);  // drawn when its file was looked for
  EXPECT_FALSE(memos[0].subject);
  EXPECT_EQ(memos[1].subject, u"s");
}

TEST(MemoStoreTest, LoadingStopsAtTheTableCapacity) {
  Fixture f;
  std::vector<std::u16string> list;
  for (int i = 0; i < kMaxMemos + 5; ++i) {
    list.push_back(u"[memo]");
    list.push_back(u"Hash=00000001" + Utf8ToUtf16([&] {
                     char b[9];
                     std::snprintf(b, sizeof b, "%08x", i + 1);
                     return std::string(b);
                   }()));
  }
  f.WriteRecords("memolist", list);
  f.WriteRecords("memo/00000001000003e8", {u"Subject=last", u"Message=x"});
  EXPECT_EQ(LoadMemoList(f.control().store(), f.state()), kMaxMemos);
  ASSERT_EQ(f.state().memos.size(), static_cast<std::size_t>(kMaxMemos));
  EXPECT_EQ(f.state().memos.back().key, (ItemKey{1, 1000}));
  EXPECT_EQ(f.state().memos.back().subject, u"last");
}

TEST(MemoStoreTest, TruncatedListLoadsTheWholeRecordsBeforeTheCut) {
  Fixture f;
  std::string bytes =
      EncodeRecords({u"[memo0]", u"Hash=0000000100000002", u"[memo1]", u"Hash=0000000300000004"});
  bytes.resize(bytes.size() - 3);
  std::filesystem::create_directories(f.data());
  {
    std::ofstream out(f.data() / "memolist", std::ios::binary);
    out << bytes;
  }
  f.WriteRecords("memo/0000000100000002", {u"Subject=s", u"Message=m"});
  ASSERT_EQ(LoadMemoList(f.control().store(), f.state()), 2);
  EXPECT_EQ(f.state().memos[0].subject, u"s");
  EXPECT_FALSE(f.state().memos[1].subject);
}

TEST(MemoStoreTest, SaveAssignsTheKeyOnceAndWritesTheFileByteForByte) {
  Fixture f;
  MemoEntry e = Memo(u"a&lt;b", u"line1\nline2", {StringHash(u"a&lt;b"), 0});
  ASSERT_TRUE(SaveMemoFile(f.control().store(), e));
  ASSERT_NE(e.key.second, 0u);
  const ItemKey key = e.key;
  EXPECT_EQ(f.FileBytes("memo/" + HexName(key)),
            EncodeRecords({u"Subject=a&lt;b", u"Message=line1\nline2"}));

  // Renaming writes the same file.
  e.subject = u"other";
  ASSERT_TRUE(SaveMemoFile(f.control().store(), e));
  EXPECT_EQ(e.key, key);
  EXPECT_EQ(f.FileBytes("memo/" + HexName(key)),
            EncodeRecords({u"Subject=other", u"Message=line1\nline2"}));
}

TEST(MemoStoreTest, LongTextsAreKeptWhole) {
  Fixture f;
  const std::u16string subject(12000, u's');
  std::u16string message;
  for (int i = 0; i < 30000; ++i) message.push_back(static_cast<char16_t>(u'あ' + i % 50));
  MemoRecordingPage doc;
  f.control().AddMemo(doc, subject, message);
  ASSERT_EQ(f.state().memos.size(), 1u);

  f.Restart();
  ASSERT_EQ(LoadMemoList(f.control().store(), f.state()), 1);
  EXPECT_EQ(f.state().memos[0].subject, subject);
  EXPECT_EQ(f.state().memos[0].message, message);
}

TEST(MemoStoreTest, DeleteRemovesOnlyTheMemosFile) {
  Fixture f;
  f.WriteRecords("memo/0000000100000002", {u"Subject=s", u"Message=m"});
  f.WriteRecords("memo/0000000100000003", {u"Subject=t", u"Message=n"});
  EXPECT_TRUE(DeleteMemoFile(f.control().store(), Memo(u"s", u"m", {1, 2})));
  EXPECT_FALSE(f.FileExists("memo/0000000100000002"));
  EXPECT_TRUE(f.FileExists("memo/0000000100000003"));
  // A missing file is no error.
  EXPECT_TRUE(DeleteMemoFile(f.control().store(), Memo(u"s", u"m", {1, 2})));
  EXPECT_FALSE(f.control().store().TakeFailure());
}

}  // namespace
}  // namespace vellumine::memos
