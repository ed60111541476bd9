// "memolist" with the memo files its "Hash=" records name (input: the list,
// then "\n--\n" and each memo file in turn). The reader stays within the
// limits; saving the list and every readable memo and reading again gives the
// same memos.
#include <random>

#include "fuzz/fuzz_support.h"
#include "organiser/memo_store.h"
#include "store/store.h"

using namespace vellumine;
using namespace vellumine::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::mt19937 random(7);
  MemoryPlatform platform;
  PutSplit(platform, Split(data, size), u"memolist", u"memo");
  Store store(platform, platform.DataFolder(), &random);

  ControlState first;
  const int count = memos::LoadMemoList(store, first);
  FUZZ_CHECK(count >= 0 && count <= kMaxMemos);
  FUZZ_CHECK(static_cast<std::size_t>(count) == first.memos.size());
  for (const MemoEntry& m : first.memos) {
    FUZZ_CHECK(m.subject.has_value() == m.message.has_value());
  }

  // The commands write a memo's file only when they change it; a memo that
  // could not be read keeps its missing or broken file.
  FUZZ_CHECK(memos::SaveMemoList(store, first));
  for (MemoEntry& m : first.memos) {
    if (m.subject) FUZZ_CHECK(memos::SaveMemoFile(store, m));
  }
  ControlState second;
  memos::LoadMemoList(store, second);
  FUZZ_CHECK(second.memos.size() == first.memos.size());
  for (std::size_t i = 0; i < first.memos.size(); ++i) {
    FUZZ_CHECK(second.memos[i].key == first.memos[i].key);
    const MemoEntry& a = first.memos[i];
    const MemoEntry& b = second.memos[i];
    FUZZ_CHECK(a.subject.has_value() == b.subject.has_value());
    FUZZ_CHECK(a.message.has_value() == b.message.has_value());
    if (a.subject) FUZZ_CHECK(Saved(*a.subject) == Saved(*b.subject));
    if (a.message) FUZZ_CHECK(Saved(*a.message) == Saved(*b.message));
  }
  return 0;
}
