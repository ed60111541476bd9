// The link commands: making, renaming and removing menus; adding, changing,
// removing and swapping links, with the path and duplicate checks.
#pragma once

#include <cstdint>

#include "page/document.h"
#include "page/text.h"

namespace vellumine {
class Context;
}

namespace vellumine::links {

void MakeLinkMenu(Context& context, Document& document, const TextArg& menu_name,
                  std::int32_t menu_no);
void RemoveLinkMenu(Context& context, Document& document, std::int32_t menu_no);
void AddLink(Context& context, Document& document, const TextArg& path, std::int32_t menu_no);
void ChangeLink(Context& context, Document& document, std::int32_t link_no, const TextArg& path,
                std::int32_t menu_no);
void RemoveLink(Context& context, Document& document, std::int32_t link_no, std::int32_t menu_no);
void PermuteLink(Context& context, Document& document, std::int32_t link_no1, std::int32_t link_no2,
                 std::int32_t menu_no);

}  // namespace vellumine::links
