#include "com/registration.h"

#include <oleauto.h>
#include <olectl.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "com/com_ptr.h"
#include "com/module.h"
#include "vellumine_h.h"

namespace vellumine::com {
namespace {

// {43CCD1A9-B5EB-468A-96C9-4ED2ED9B830B}
constexpr GUID kAppId = {
    0x43ccd1a9, 0xb5eb, 0x468a, {0x96, 0xc9, 0x4e, 0xd2, 0xed, 0x9b, 0x83, 0x0b}};

constexpr wchar_t kProgId[] = L"Vellumine.Skerrow.1";
constexpr wchar_t kIndependentProgId[] = L"Vellumine.Skerrow";
constexpr wchar_t kDescription[] = L"CSkerrow Object";

std::wstring GuidText(REFGUID guid) {
  wchar_t text[40] = {};
  StringFromGUID2(guid, text, 40);
  return text;
}

struct Value {
  const wchar_t* name;  // nullptr: the key's default value
  std::wstring data;
};

// Creates key (below HKEY_CLASSES_ROOT) and sets its values.
LSTATUS WriteKey(const std::wstring& key, const std::vector<Value>& values) {
  HKEY handle = nullptr;
  LSTATUS status = RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE,
                                   nullptr, &handle, nullptr);
  if (status != ERROR_SUCCESS) return status;
  for (const Value& value : values) {
    const auto bytes = static_cast<DWORD>((value.data.size() + 1) * sizeof(wchar_t));
    status = RegSetValueExW(handle, value.name, 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(value.data.c_str()), bytes);
    if (status != ERROR_SUCCESS) break;
  }
  RegCloseKey(handle);
  return status;
}

LSTATUS RemoveTree(const std::wstring& key) {
  const LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
  if (status == ERROR_SUCCESS) RegDeleteKeyW(HKEY_CLASSES_ROOT, key.c_str());
  return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

HRESULT WriteKeys() {
  const std::wstring module = ModulePath();
  if (module.empty()) return SELFREG_E_CLASS;
  const std::wstring clsid = GuidText(CLSID_CSkerrow);
  const std::wstring appid = GuidText(kAppId);
  const std::wstring clsid_key = L"CLSID\\" + clsid;
  const std::pair<std::wstring, std::vector<Value>> keys[] = {
      {kProgId, {{nullptr, kDescription}}},
      {std::wstring(kProgId) + L"\\CLSID", {{nullptr, clsid}}},
      {kIndependentProgId, {{nullptr, kDescription}}},
      {std::wstring(kIndependentProgId) + L"\\CLSID", {{nullptr, clsid}}},
      {std::wstring(kIndependentProgId) + L"\\CurVer", {{nullptr, kProgId}}},
      {clsid_key, {{nullptr, kDescription}, {L"AppID", appid}}},
      {clsid_key + L"\\ProgID", {{nullptr, kProgId}}},
      {clsid_key + L"\\VersionIndependentProgID", {{nullptr, kIndependentProgId}}},
      {clsid_key + L"\\InprocServer32", {{nullptr, module}, {L"ThreadingModel", L"apartment"}}},
      {clsid_key + L"\\Control", {}},
      {clsid_key + L"\\ToolboxBitmap32", {{nullptr, module + L", 1"}}},
      {clsid_key + L"\\MiscStatus", {{nullptr, L"0"}}},
      {clsid_key + L"\\MiscStatus\\1", {{nullptr, std::to_wstring(kMiscStatus)}}},
      {clsid_key + L"\\TypeLib", {{nullptr, GuidText(LIBID_Vellumine)}}},
      {clsid_key + L"\\Version", {{nullptr, L"1.0"}}},
      {L"AppID\\" + appid, {{nullptr, L"Vellumine"}}},
      {L"AppID\\Vellumine.DLL", {{L"AppID", appid}}},
  };
  for (const auto& [key, values] : keys) {
    if (WriteKey(key, values) != ERROR_SUCCESS) return SELFREG_E_CLASS;
  }
  ComPtr<ITypeLib> library;
  if (FAILED(LoadTypeLibEx(module.c_str(), REGKIND_NONE, library.Out()))) {
    return SELFREG_E_TYPELIB;
  }
  if (FAILED(RegisterTypeLib(library.Get(), const_cast<OLECHAR*>(module.c_str()), nullptr)))
    return SELFREG_E_TYPELIB;
  return S_OK;
}

}  // namespace

HRESULT RegisterServer() {
  const HRESULT hr = WriteKeys();
  // Half a registration would leave a class that can't be created.
  if (FAILED(hr)) UnregisterServer();
  return hr;
}

HRESULT UnregisterServer() {
  const std::wstring clsid_key = L"CLSID\\" + GuidText(CLSID_CSkerrow);
  bool ok = true;
  for (const std::wstring& key :
       {std::wstring(kProgId), std::wstring(kIndependentProgId), clsid_key,
        L"AppID\\" + GuidText(kAppId), std::wstring(L"AppID\\Vellumine.DLL")}) {
    ok = RemoveTree(key) == ERROR_SUCCESS && ok;
  }
  const HRESULT hr = UnRegisterTypeLib(LIBID_Vellumine, 1, 0, LOCALE_NEUTRAL, SYS_WIN64);
  if (FAILED(hr) && hr != TYPE_E_REGISTRYACCESS && hr != TYPE_E_CANTLOADLIBRARY) ok = false;
  return ok ? S_OK : SELFREG_E_CLASS;
}

}  // namespace vellumine::com
