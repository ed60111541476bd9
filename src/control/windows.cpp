// Stub: replaced by the window frames' implementation.
#include "control/windows.h"

#include "control/skerrow.h"

namespace vellumine::windows {
WndRecord* FindRecord(WndList&, std::u16string_view) { return nullptr; }
int FindRecordIndex(const WndList&, std::u16string_view) { return -1; }
bool RemoveRecord(WndList&, std::u16string_view) { return false; }
void SetWndPos(CSkerrow&, const TextArg&, std::int32_t, std::int32_t, std::int32_t) {}
void ApplyWndLayout(CSkerrow&, Document&) {}
void RestyleWindows(CSkerrow&, Document&) {}
void Refresh(CSkerrow&, Document&) {}
int PruneWndList(Document&, WndList& list) { return static_cast<int>(list.size()); }
void ForgetFixedPanels(ControlState&) {}
std::u16string WindowFrame(const ControlState&, std::u16string_view, std::u16string_view body,
                           bool) {
  return std::u16string(body);
}
}  // namespace vellumine::windows
