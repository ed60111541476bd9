// The wallpaper commands: registering and removing pictures, choosing the
// current one (by number or at random), the list in the page and the
// application of a wallpaper's picture, layout and options.
#pragma once

#include <cstdint>

#include "page/document.h"
#include "page/text.h"

namespace vellumine {
class CSkerrow;
}

namespace vellumine::wallpaper {

void AddWallPaper(CSkerrow& control, Document& document, const TextArg& file_name);
void RemoveWallPaper(CSkerrow& control, Document& document, std::int32_t no);
void SetBG(CSkerrow& control, Document& document, std::int32_t no);
void SetBG_Random(CSkerrow& control, Document& document);
void RenderWallPaperList(CSkerrow& control, Document& document);
void ApplyBackground(CSkerrow& control, Document& document, std::int32_t no);
void ApplyWallPaperOptions(CSkerrow& control, std::int32_t no);

}  // namespace vellumine::wallpaper
