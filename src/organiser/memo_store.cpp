// Stub: replaced by the memo store's implementation.
#include "organiser/memo_store.h"

namespace vellumine::memos {
int LoadMemoList(Store&, ControlState& state) { return static_cast<int>(state.memos.size()); }
bool LoadMemoFile(Store&, MemoEntry&) { return false; }
bool SaveMemoFile(Store&, MemoEntry&) { return true; }
bool SaveMemoList(Store&, const ControlState&) { return true; }
bool DeleteMemoFile(Store&, const MemoEntry&) { return true; }
}  // namespace vellumine::memos
