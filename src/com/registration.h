// Registration of the control class, its ProgIDs, AppID and type library
// under HKEY_CLASSES_ROOT, and their removal. The "AppID" and "CLSID" keys
// themselves are shared with every other server and are never removed.
#pragma once

#include <objbase.h>

namespace vellumine::com {

// The class's misc-status bits: recompose on resize, can't link inside,
// inside-out, activate when visible, set client site first.
inline constexpr DWORD kMiscStatus = 0x20191;  // 131473

HRESULT RegisterServer();
HRESULT UnregisterServer();

}  // namespace vellumine::com
