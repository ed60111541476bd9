#include "hosts/desktop/autostart.h"

#include <glib.h>
#include <glib/gstdio.h>

#include <cerrno>

namespace vellumine::desktop {
namespace {

// A key file value: backslash, tab and line breaks as its escapes.
std::string EscapeValue(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        out += c;
    }
  }
  return out;
}

bool Carryable(const std::string& text) {
  if (!g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr)) return false;
  for (unsigned char c : text) {
    if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7f) return false;
  }
  return true;
}

}  // namespace

std::string QuoteExecArgument(const std::string& argument) {
  std::string out = "\"";
  for (char c : argument) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') out += '\\';
    if (c == '%') out += '%';
    out += c;
  }
  return out + "\"";
}

std::optional<std::string> AutostartEntry(const std::vector<std::string>& argv) {
  if (argv.empty()) return std::nullopt;
  std::string exec;
  for (const std::string& argument : argv) {
    if (!Carryable(argument)) return std::nullopt;
    if (!exec.empty()) exec += ' ';
    exec += QuoteExecArgument(argument);
  }
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=Vellumine\n"
         "Comment=Calendar, schedule, memos and link menus over your wallpaper\n"
         "Icon=vellumine\n"
         "Exec=" +
         EscapeValue(exec) +
         "\n"
         "Terminal=false\n"
         "X-GNOME-Autostart-enabled=true\n";
}

std::string AutostartFile(const std::string& application_id) {
  std::string config;
  const char* xdg = g_getenv("XDG_CONFIG_HOME");
  if (xdg != nullptr && g_path_is_absolute(xdg)) {
    config = xdg;
  } else {
    const char* home = g_getenv("HOME");
    if (home == nullptr || !g_path_is_absolute(home)) home = g_get_home_dir();
    if (home == nullptr || !g_path_is_absolute(home)) return {};
    config = std::string(home) + "/.config";
  }
  return config + "/autostart/" + application_id + ".desktop";
}

bool AutostartEnabled(const std::string& file) {
  return !file.empty() && g_file_test(file.c_str(), G_FILE_TEST_IS_REGULAR);
}

bool SetAutostart(const std::string& file, const std::string& entry, bool on) {
  if (file.empty()) return false;
  // Only a file goes: a folder of that name is no entry of ours.
  if (!on) return g_unlink(file.c_str()) == 0 || errno == ENOENT;
  gchar* folder = g_path_get_dirname(file.c_str());
  const bool made = g_mkdir_with_parents(folder, 0700) == 0;
  g_free(folder);
  // Written to a temporary and renamed: a crash leaves the old entry or none.
  return made && g_file_set_contents(file.c_str(), entry.data(), static_cast<gssize>(entry.size()),
                                     nullptr);
}

std::vector<std::string> RestartArguments(const std::string& program,
                                          const std::string& data_folder, bool desktop,
                                          const std::string& monitor) {
  std::vector<std::string> argv = {program, "--data", data_folder};
  if (desktop) argv.push_back("--desktop");
  if (!monitor.empty()) {
    argv.push_back("--monitor");
    argv.push_back(monitor);
  }
  return argv;
}

}  // namespace vellumine::desktop
