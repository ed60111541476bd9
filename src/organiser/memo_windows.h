// The memo windows: the memo list ("memo") and one framed window per memo
// inside "memofield", and the memo commands.
#pragma once

#include <cstdint>
#include <string_view>

#include "page/document.h"
#include "page/text.h"

namespace vellumine {
class CSkerrow;
}

namespace vellumine::memos {

void RenderMemos(CSkerrow& control, Document& document);
void RenderMemoList(CSkerrow& control, Document& document);
void RenderMemoWindows(CSkerrow& control, Document& document);
// RenderMemoList for a command: the list then takes its styles again.
void RedrawMemoList(CSkerrow& control, Document& document);
void AddMemo(CSkerrow& control, Document& document, const TextArg& subject, const TextArg& message);
void RenewMemo(CSkerrow& control, Document& document, const TextArg& subject,
               const TextArg& message, std::int32_t num);
void RemoveMemo(CSkerrow& control, Document& document, std::int32_t num);
void EditMemo(CSkerrow& control, Document& document, std::int32_t num);
// Stores the memo list page and redraws the list.
void ChangeMemoPage(CSkerrow& control, Document& document, std::int32_t page);
// Removes a window's placement record from the global list and from every
// wallpaper's list, saving only the lists that changed.
void ForgetWindow(CSkerrow& control, std::u16string_view name);

}  // namespace vellumine::memos
