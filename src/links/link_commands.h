// The link commands: making, renaming and removing menus; adding, changing,
// removing and swapping links, with the path and duplicate checks.
#pragma once

#include <cstdint>

#include "page/document.h"
#include "page/text.h"

namespace vellumine {
class CSkerrow;
}

namespace vellumine::links {

void MakeLinkMenu(CSkerrow& control, Document& document, const TextArg& menu_name,
                  std::int32_t menu_no);
void RemoveLinkMenu(CSkerrow& control, Document& document, std::int32_t menu_no);
void AddLink(CSkerrow& control, Document& document, const TextArg& path, std::int32_t menu_no);
void ChangeLink(CSkerrow& control, Document& document, std::int32_t link_no, const TextArg& path,
                std::int32_t menu_no);
void RemoveLink(CSkerrow& control, Document& document, std::int32_t link_no, std::int32_t menu_no);
void PermuteLink(CSkerrow& control, Document& document, std::int32_t link_no1,
                 std::int32_t link_no2, std::int32_t menu_no);

}  // namespace vellumine::links
