// Stub: replaced by the link windows' implementation.
#include "links/link_windows.h"

#include "control/skerrow.h"

namespace vellumine::links {
void RenderLinkWindows(CSkerrow&, Document&) {}
void RenderLinkMenuWindow(CSkerrow&, Document&, LinkMenu&, std::int32_t) {}
std::u16string ComposeLinkMenuBody(const ControlState&, LinkMenu&, std::int32_t) { return {}; }
std::u16string ComposeLinkList(const LinkMenu*) { return {}; }
void ClampPageNum(const ControlState&, LinkMenu&) {}
std::u16string_view LinkDisplayName(std::u16string_view path, char16_t) { return path; }
std::int32_t LinksPerPage(const ControlState&) { return 10; }
void ChangeLinkPage(CSkerrow&, Document&, std::int32_t, std::int32_t) {}
void ChangeLinkMenu(CSkerrow&, Document&, std::int32_t) {}
}  // namespace vellumine::links
