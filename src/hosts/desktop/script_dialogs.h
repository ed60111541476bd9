// The page's own alert() and confirm() shown as the app's dialogs: the
// app's name as the title and Japanese buttons (OK; はい/いいえ, No by
// default), instead of the engine's dialogs titled with the page's address.
#pragma once

#include <webkit2/webkit2.h>

#include "hosts/desktop/dialogs.h"

namespace vellumine::desktop {

// Answers every script dialog of view with dialogs, which must outlive view.
void ShowScriptDialogsWith(WebKitWebView* view, Dialogs& dialogs);

}  // namespace vellumine::desktop
