#include "hosts/desktop/page_policy.h"

#include <glib.h>

namespace vellumine::desktop {
namespace {

std::string LocalPath(const std::string& uri) {
  gchar* path = g_filename_from_uri(uri.c_str(), nullptr, nullptr);
  if (path == nullptr) return {};
  std::string result(path);
  g_free(path);
  return result;
}

}  // namespace

bool IsBundledPage(std::string_view uri, std::string_view page_uri) {
  if (page_uri.empty()) return false;
  std::string address(uri.substr(0, uri.find('#')));
  if (address == page_uri) return true;
  // Only plain file addresses: a query would reach a different resource.
  if (address.find('?') != std::string::npos) return false;
  std::string path = LocalPath(address);
  return !path.empty() && path == LocalPath(std::string(page_uri));
}

bool IsExternalLink(std::string_view uri) {
  gchar* scheme = g_uri_parse_scheme(std::string(uri).c_str());
  if (scheme == nullptr) return false;
  std::string s(scheme);
  g_free(scheme);
  for (char& c : s) c = static_cast<char>(g_ascii_tolower(c));
  return s == "http" || s == "https" || s == "mailto" || s == "ftp" || s == "file";
}

bool HasRenderNode(const std::string& dri_dir) {
  GDir* dir = g_dir_open(dri_dir.c_str(), 0, nullptr);
  if (dir == nullptr) return false;
  bool found = false;
  while (const char* name = g_dir_read_name(dir)) {
    if (g_str_has_prefix(name, "renderD")) {
      found = true;
      break;
    }
  }
  g_dir_close(dir);
  return found;
}

}  // namespace vellumine::desktop
