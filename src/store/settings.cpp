// Stub: replaced by the settings files' implementation.
#include "store/settings.h"

namespace vellumine {
void LoadConfig(Store&, ControlState&) {}
bool SaveConfig(Store&, const ControlState&) { return true; }
int LoadWallPaperList(Store&, ControlState&) { return 0; }
bool SaveWallPaperList(Store&, const ControlState&) { return true; }
int LoadWallPaperSettings(Store&, const ControlState&, WallPaperEntry&) { return 0; }
bool SaveWallPaperSettings(Store&, WallPaperEntry&) { return true; }
std::u16string WallPaperSettingsPath(Store&, WallPaperEntry&) { return u"wp/0000000000000000"; }
}  // namespace vellumine
