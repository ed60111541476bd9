// Stub: replaced by the memo windows' implementation.
#include "organiser/memo_windows.h"

#include "control/skerrow.h"

namespace vellumine::memos {
void RenderMemos(CSkerrow&, Document&) {}
void RenderMemoList(CSkerrow&, Document&) {}
void RenderMemoWindows(CSkerrow&, Document&) {}
void AddMemo(CSkerrow&, Document&, const TextArg&, const TextArg&) {}
void RenewMemo(CSkerrow&, Document&, const TextArg&, const TextArg&, std::int32_t) {}
void RemoveMemo(CSkerrow&, Document&, std::int32_t) {}
void EditMemo(CSkerrow&, Document&, std::int32_t) {}
void ChangeMemoPage(CSkerrow&, Document&, std::int32_t) {}
void ForgetWindow(CSkerrow&, std::u16string_view) {}
}  // namespace vellumine::memos
