# Whether to build the desktop app: on by default where GTK 3 and WebKitGTK
# 4.1 (with its web process extension API) are installed.
pkg_check_modules(VELLUMINE_DESKTOP_DEPS QUIET gtk+-3.0 webkit2gtk-4.1
  webkit2gtk-web-extension-4.1 javascriptcoregtk-4.1)
if(VELLUMINE_DESKTOP_DEPS_FOUND)
  set(_vellumine_desktop_default ON)
else()
  set(_vellumine_desktop_default OFF)
endif()
option(VELLUMINE_DESKTOP "Build the desktop app (needs GTK 3 and WebKitGTK 4.1)"
  ${_vellumine_desktop_default})
