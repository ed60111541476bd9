// The link windows: the menu list ("link"), one framed window per menu inside
// "linkfield", and the edit form's link list ("linklist").
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "model/state.h"
#include "page/document.h"

namespace vellumine {
class Context;
}

namespace vellumine::links {

void RenderLinkWindows(Context& context, Document& document);
// RenderLinkWindows for a command: the windows drawn afresh then take their
// styles again.
void RedrawLinkWindows(Context& context, Document& document);
void RenderLinkMenuWindow(Context& context, Document& document, LinkMenu& menu, std::int32_t no);
// The inner markup of one menu window before framing; clamps the page.
std::u16string ComposeLinkMenuBody(const ControlState& state, LinkMenu& menu, std::int32_t no);
// As above, naming links after the given path separator (the other form takes
// the data folder's last unit).
std::u16string ComposeLinkMenuBody(const ControlState& state, LinkMenu& menu, std::int32_t no,
                                   char16_t separator);
// The "linklist" select element; menu nullptr gives an empty list.
std::u16string ComposeLinkList(const LinkMenu* menu);
// Brings the menu's page into 0..last.
void ClampPageNum(const ControlState& state, LinkMenu& menu);
// The part of a path after its last separator (the last unit never counts).
std::u16string_view LinkDisplayName(std::u16string_view path, char16_t separator);
// Links per page: LinkItemNum, or 10 when it is below 1.
std::int32_t LinksPerPage(const ControlState& state);

void ChangeLinkPage(Context& context, Document& document, std::int32_t menu_no,
                    std::int32_t page_no);
void ChangeLinkMenu(Context& context, Document& document, std::int32_t menu_no);

}  // namespace vellumine::links
