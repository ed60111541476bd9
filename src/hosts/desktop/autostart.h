// Starting the app at login: an XDG autostart entry
// ($XDG_CONFIG_HOME/autostart/, by default ~/.config/autostart/) that runs
// the app with the arguments it runs with now (its data folder, desktop
// mode, monitor). One entry per data folder, named by the folder's
// application id, so that two folders can each start at login.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vellumine::desktop {

// Where the entry goes and what it says; an empty file: no entry can be made.
struct StartAtLogin {
  std::string file;
  std::string entry;
};

// One argument quoted for a desktop entry's Exec key, before the key file's
// own escapes: always in double quotes, with ", `, $ and \ escaped and %
// doubled.
std::string QuoteExecArgument(const std::string& argument);

// The text of an autostart entry running argv (the program's absolute path
// first); nullopt when an argument is not valid UTF-8 or holds a character
// a key file can't carry (NUL is impossible; other control characters but
// tab and line breaks).
std::optional<std::string> AutostartEntry(const std::vector<std::string>& argv);

// $XDG_CONFIG_HOME/autostart/<application_id>.desktop; a relative or empty
// XDG_CONFIG_HOME counts as unset ($HOME/.config). Empty when neither is
// known.
std::string AutostartFile(const std::string& application_id);

// Whether the entry file is there.
bool AutostartEnabled(const std::string& file);

// Writes the entry (its folder made if missing) or removes it; true when the
// file is then as asked. A file that can't be written is left as it was.
bool SetAutostart(const std::string& file, const std::string& entry, bool on);

// The arguments that start this run again: the program, its canonical data
// folder, desktop mode and monitor when given.
std::vector<std::string> RestartArguments(const std::string& program,
                                          const std::string& data_folder, bool desktop,
                                          const std::string& monitor);

}  // namespace vellumine::desktop
