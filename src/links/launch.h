// The pickers and the launch of a stored link, through the platform.
#pragma once

#include <cstdint>

#include "page/document.h"

namespace vellumine {
class Context;
}

namespace vellumine::links {

// The file or folder picker's result into "linkfilename"'s value; no picker
// when that element is missing; a cancel leaves the field.
void OpenFile(Context& context, Document& document);
void OpenFolder(Context& context, Document& document);
// Opens link link_no of menu menu_no; out-of-range positions do nothing.
void Open(Context& context, std::int32_t menu_no, std::int32_t link_no);

}  // namespace vellumine::links
