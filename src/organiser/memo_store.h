// The memo store: "memolist" (the order of the memos and their keys) and one
// file "memo/<key>" per memo holding its escaped subject and message.
#pragma once

#include "model/state.h"
#include "store/store.h"

namespace vellumine::memos {

// Replaces state.memos from the files; returns the count (at most kMaxMemos).
int LoadMemoList(Store& store, ControlState& state);
// Fills the entry's texts; false (both absent) when either is missing.
bool LoadMemoFile(Store& store, MemoEntry& entry);
// Writes the entry's file, assigning its key's second half first if needed.
bool SaveMemoFile(Store& store, MemoEntry& entry);
bool SaveMemoList(Store& store, const ControlState& state);
bool DeleteMemoFile(Store& store, const MemoEntry& entry);

}  // namespace vellumine::memos
