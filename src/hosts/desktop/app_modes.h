// The desktop app's runs that show the user no window of their own: each
// shows the bundled page on data_folder (its canonical path, ending with
// "/") in a view of its own, with dialogs answering the page's dialogs, and
// returns the app's exit status. GTK must be initialised first.
#pragma once

#include <string>

#include "hosts/desktop/dialogs.h"
#include "hosts/desktop/page_view.h"

namespace vellumine::desktop {

// The app window's size where the screen allows it.
inline constexpr int kWindowWidth = 1280;
inline constexpr int kWindowHeight = 800;

// Renders the page once off-screen, at the size the app's window takes on
// this screen, into file (PNG) once the page's pictures have loaded and its
// layout has settled. 0 when the file was written.
int RunScreenshot(const AppPaths& paths, const std::string& data_folder, Dialogs& dialogs,
                  const std::string& file);

// For measurements: with VELLUMINE_TIMING_SCRIPT=FILE.js the page view puts
// FILE.js into the page before the page's own scripts. This shows the page
// in a plain window and, a second after it has loaded, prints what the
// page's timingReport() returns (or the promise it returns settles to);
// while that is null, timingReport() is called again, each time in an
// evaluation of its own (each with the user activation a click would give).
// With VELLUMINE_TIMING_IDLE_SECONDS=N it then does nothing for N seconds
// and prints the CPU time all the app's processes used meanwhile; last,
// each process's peak resident size. A timing script may set the page's
// title to "vellumine:mark" to have the peaks so far printed then (as
// "mark_..."). 0 when the report was printed.
int RunTiming(const AppPaths& paths, const std::string& data_folder, Dialogs& dialogs);

}  // namespace vellumine::desktop
