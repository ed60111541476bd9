// The Windows font names the control writes ("ＭＳ ゴシック" by default) as
// the Japanese faces installed here: a fontconfig rule in the page's
// process, so that the page needs no @font-face of its own (which would
// make the engine resolve the face anew for every styled element).
#pragma once

#include <fontconfig/fontconfig.h>

namespace vellumine::desktop {

// The rules, as fontconfig's XML.
const char* FontAliasRules();

// Adds the rules to config (nullptr: the process's current one); false when
// fontconfig refused them.
bool AddFontAliases(FcConfig* config = nullptr);

}  // namespace vellumine::desktop
