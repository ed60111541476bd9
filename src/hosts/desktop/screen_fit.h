// Sizes that fit the screen: the work area of the monitor a window is on (the
// screen less panels and docks), for the app's window and for its dialogs.
#pragma once

#include <gtk/gtk.h>

namespace vellumine::desktop {

// The work area of the monitor that shows window, or of the primary (else
// the first) monitor when it shows none yet; 1280x800 at 0,0 without any.
GdkRectangle WorkArea(GtkWindow* window);

// width and height brought within area, never below 1.
void FitInto(const GdkRectangle& area, int& width, int& height);

// A default size of at most width x height that fits the work area.
void FitWindow(GtkWindow* window, int width, int height);

// Keeps a dialog within the work area once it is shown: one that asks for
// more (a file chooser remembers generous sizes) is made smaller and moved
// inside.
void KeepOnScreen(GtkWindow* dialog);

}  // namespace vellumine::desktop
