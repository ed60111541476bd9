// The test seam of the dialogs: when VELLUMINE_DIALOG_SCRIPT names a file,
// each dialog is built as usual but answered by the next line of that file
// instead of by the user, and launches are recorded instead of run. Every
// dialog and launch is then also written to the file named by
// VELLUMINE_DIALOG_LOG, one line each, so a test sees what the user would.
//
// Answer lines, taken in order by whichever dialog comes next:
//   ok | yes | no | cancel
//   font <size> <face>        e.g. "font 14 DejaVu Sans"
//   file <path>
//   folder <path>
// Blank lines and lines starting with "#" are skipped. A dialog that finds no
// answer left, or one of another kind, is cancelled (a question gets No).
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <string_view>

namespace vellumine::desktop {

struct ScriptedAnswer {
  enum class Kind { kOk, kYes, kNo, kCancel, kFont, kFile, kFolder };
  Kind kind;
  std::string text;  // the face or the path
  long size = 0;     // the font size
};

// nullopt with a reason in *error when a line can't be read.
std::optional<std::deque<ScriptedAnswer>> ParseScriptedAnswers(std::string_view script,
                                                               std::string* error);

}  // namespace vellumine::desktop
