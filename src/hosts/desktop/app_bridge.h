// The script object `VellumineApp`: what the page may ask of the app itself
// rather than of the control. Its one setting is starting at login:
//
//   VellumineApp.StartAtLogin()        whether the autostart entry is there
//   VellumineApp.SetStartAtLogin(on)   writes (on) or removes it; the state
//                                      afterwards
//
// SetStartAtLogin acts only on the user's own action (IsUserAction, as the
// control's launches do); any other call changes nothing and answers the
// state as it is.
#pragma once

#include <jsc/jsc.h>

#include "hosts/desktop/autostart.h"

namespace vellumine::desktop {

// Sets `VellumineApp` in context; guard is the isolated world read for the
// user's action (nullptr: no call counts as the user's). Nothing is set when
// start.file is empty.
void InstallAppBridge(JSCContext* context, JSCContext* guard, const StartAtLogin& start);

}  // namespace vellumine::desktop
