// The memo windows: the memo list ("memo") and one framed window per memo
// inside "memofield", and the memo commands.
#pragma once

#include <cstdint>

#include "page/document.h"
#include "page/text.h"

namespace vellumine {
class Context;
}

namespace vellumine::memos {

void RenderMemos(Context& context, Document& document);
void RenderMemoList(Context& context, Document& document);
void RenderMemoWindows(Context& context, Document& document);
// RenderMemoList for a command: the list then takes its styles again.
void RedrawMemoList(Context& context, Document& document);
void AddMemo(Context& context, Document& document, const TextArg& subject, const TextArg& message);
void RenewMemo(Context& context, Document& document, const TextArg& subject, const TextArg& message,
               std::int32_t num);
void RemoveMemo(Context& context, Document& document, std::int32_t num);
void EditMemo(Context& context, Document& document, std::int32_t num);
// Stores the memo list page and redraws the list.
void ChangeMemoPage(Context& context, Document& document, std::int32_t page);

}  // namespace vellumine::memos
