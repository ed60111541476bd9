// Stub: replaced by the wallpaper commands' implementation.
#include "wallpaper/wallpaper.h"

#include "control/skerrow.h"

namespace vellumine::wallpaper {
void AddWallPaper(CSkerrow&, Document&, const TextArg&) {}
void RemoveWallPaper(CSkerrow&, Document&, std::int32_t) {}
void SetBG(CSkerrow&, Document&, std::int32_t) {}
void SetBG_Random(CSkerrow&, Document&) {}
void RenderWallPaperList(CSkerrow&, Document&) {}
void ApplyBackground(CSkerrow&, Document&, std::int32_t) {}
void ApplyWallPaperOptions(CSkerrow&, std::int32_t) {}
}  // namespace vellumine::wallpaper
