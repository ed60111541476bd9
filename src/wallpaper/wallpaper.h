// The wallpaper commands: registering and removing pictures, choosing the
// current one (by number or at random), the list in the page and the
// application of a wallpaper's picture, layout and options.
#pragma once

#include <cstdint>

#include "page/document.h"
#include "page/text.h"

namespace vellumine {
class Context;
}

namespace vellumine::wallpaper {

void AddWallPaper(Context& context, Document& document, const TextArg& file_name);
void RemoveWallPaper(Context& context, Document& document, std::int32_t no);
void SetBG(Context& context, Document& document, std::int32_t no);
void SetBG_Random(Context& context, Document& document);
void RenderWallPaperList(Context& context, Document& document);
void ApplyBackground(Context& context, Document& document, std::int32_t no);
void ApplyWallPaperOptions(Context& context, std::int32_t no);

}  // namespace vellumine::wallpaper
