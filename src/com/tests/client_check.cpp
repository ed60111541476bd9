// A client of the registered server, under Wine: what script can't see.
//
//   client_check registered     the registration, the type library, the
//                               interfaces, dispatch by name, drawing
//   client_check unregistered   every key of the class is gone again
#include <objsafe.h>
#include <ocidl.h>
#include <olectl.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "com/tests/check.h"
#include "vellumine_h.h"

namespace {

constexpr wchar_t kClsid[] = L"{AA2BC932-6E21-4DA8-AF57-8F3E0A2402B3}";
constexpr wchar_t kLibid[] = L"{A0F677CF-66E0-4757-99DA-DAA8E788EFF9}";
constexpr wchar_t kAppId[] = L"{43CCD1A9-B5EB-468A-96C9-4ED2ED9B830B}";
const std::wstring kClsidKey = std::wstring(L"CLSID\\") + kClsid;

// The methods in DISPID order with their parameter names.
const std::vector<std::vector<std::wstring>> kMethods = {
    {L"SetBG_Random", L"Document"},
    {L"SetCalender", L"Document", L"Year", L"Month"},
    {L"AddWallPaper", L"Document", L"FileName"},
    {L"RemoveWallPaper", L"Document", L"No"},
    {L"SetBG", L"Document", L"No"},
    {L"SetWndPos", L"WndName", L"x", L"y", L"Visiblity"},
    {L"InitPage", L"Document"},
    {L"ChangeOption", L"Document", L"OptionName", L"Value"},
    {L"OpenFile", L"Document"},
    {L"OpenFolder", L"Document"},
    {L"AddLink", L"Document", L"Path", L"LinkMenuNo"},
    {L"ChangeLink", L"Document", L"LinkNo", L"Path", L"LinkMenuNo"},
    {L"RemoveLink", L"Document", L"LinkNo", L"LinkMenuNo"},
    {L"Open", L"LinkMenuNo", L"LinkNo"},
    {L"ChangeLinkPage", L"Document", L"LinkMenuNo", L"PageNo"},
    {L"ChangeDate", L"Document", L"Year", L"Month", L"Day"},
    {L"ChangeSchedule", L"Document", L"Schedule", L"Year", L"Month", L"Day"},
    {L"AddMemo", L"Document", L"Subject", L"Message"},
    {L"RenewMemo", L"Document", L"Subject", L"Message", L"Num"},
    {L"RemoveMemo", L"Document", L"Num"},
    {L"EditMemo", L"Document", L"Num"},
    {L"MakeLinkMenu", L"Document", L"MenuName", L"LinkMenuNo"},
    {L"ChangeLinkMenu", L"Document", L"MenuNo"},
    {L"RemoveLinkMenu", L"Document", L"MenuNo"},
    {L"PermuteLink", L"Document", L"LinkNo1", L"LinkNo2", L"LinkMenuNo"},
    {L"ChangeWindowOption", L"Document", L"MenuName", L"OptionName", L"Value"},
    {L"ChangeMemoPage", L"Document", L"PageNo"},
};

// The interface table, in its order.
const IID* const kInterfaces[] = {
    &IID_ISkerrow,
    &IID_IDispatch,
    &IID_IPersistStreamInit,
    &IID_IPersist,
    &IID_IOleControl,
    &IID_IOleObject,
    &IID_IOleInPlaceActiveObject,
    &IID_IOleWindow,
    &IID_IViewObjectEx,
    &IID_IViewObject2,
    &IID_IViewObject,
    &IID_IOleInPlaceObjectWindowless,
    &IID_IOleInPlaceObject,
    &IID_IPersistStorage,
    &IID_ISpecifyPropertyPages,
    &IID_IQuickActivate,
    &IID_IDataObject,
    &IID_IProvideClassInfo2,
    &IID_IProvideClassInfo,
    &IID_ISupportErrorInfo,
};

template <typename T>
struct Ref {
  T* p = nullptr;
  Ref() = default;
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;
  ~Ref() {
    if (p != nullptr) p->Release();
  }
  T* operator->() const { return p; }
  void** out() { return reinterpret_cast<void**>(&p); }
};

bool KeyExists(const std::wstring& key) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(handle);
  return true;
}

// A string value; "<none>" when the key or value is missing.
std::wstring Value(const std::wstring& key, const wchar_t* name = nullptr) {
  wchar_t data[1024] = {};
  DWORD size = sizeof data - sizeof(wchar_t);
  if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, data, &size) !=
      ERROR_SUCCESS) {
    return L"<none>";
  }
  return data;
}

std::wstring Text(BSTR text) {
  return text != nullptr ? std::wstring(text, SysStringLen(text)) : L"";
}

HRESULT CallByName(IDispatch* object, const wchar_t* name, std::vector<VARIANT> args) {
  DISPID id = 0;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) return hr;
  std::vector<VARIANT> reversed(args.rbegin(), args.rend());
  DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
  return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr,
                        nullptr, nullptr);
}

VARIANT Long(LONG value) {
  VARIANT v;
  v.vt = VT_I4;
  v.lVal = value;
  return v;
}

VARIANT NullVariant() {
  VARIANT v;
  v.vt = VT_NULL;
  return v;
}

// DllCanUnloadNow of the loaded server.
HRESULT CanUnload() {
  HMODULE module = GetModuleHandleW(L"vellumine.dll");
  if (module == nullptr) return E_FAIL;
  auto* can_unload = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
      reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
  return can_unload != nullptr ? can_unload() : E_FAIL;
}

void CheckRegistered() {
  auto& checks = vellumine::check::Checks();

  checks.Run("RegistryKeysAndValues", [] {
    EXPECT(Value(L"Vellumine.Skerrow.1") == L"CSkerrow Object");
    EXPECT(Value(L"Vellumine.Skerrow.1\\CLSID") == kClsid);
    EXPECT(Value(L"Vellumine.Skerrow") == L"CSkerrow Object");
    EXPECT(Value(L"Vellumine.Skerrow\\CLSID") == kClsid);
    EXPECT(Value(L"Vellumine.Skerrow\\CurVer") == L"Vellumine.Skerrow.1");
    EXPECT(Value(kClsidKey) == L"CSkerrow Object");
    EXPECT(Value(kClsidKey, L"AppID") == kAppId);
    EXPECT(Value(kClsidKey + L"\\ProgID") == L"Vellumine.Skerrow.1");
    EXPECT(Value(kClsidKey + L"\\VersionIndependentProgID") == L"Vellumine.Skerrow");
    const std::wstring module = Value(kClsidKey + L"\\InprocServer32");
    EXPECT(_wcsicmp(module.c_str(), L"C:\\vellumine\\vellumine.dll") == 0);
    EXPECT(Value(kClsidKey + L"\\InprocServer32", L"ThreadingModel") == L"apartment");
    EXPECT(KeyExists(kClsidKey + L"\\Control"));
    EXPECT(Value(kClsidKey + L"\\ToolboxBitmap32") == module + L", 1");
    EXPECT(Value(kClsidKey + L"\\MiscStatus") == L"0");
    EXPECT(Value(kClsidKey + L"\\MiscStatus\\1") == L"131473");
    EXPECT(Value(kClsidKey + L"\\TypeLib") == kLibid);
    EXPECT(Value(kClsidKey + L"\\Version") == L"1.0");
    EXPECT(Value(std::wstring(L"AppID\\") + kAppId) == L"Vellumine");
    EXPECT(Value(L"AppID\\Vellumine.DLL", L"AppID") == kAppId);
    // No safe-for-scripting (or any other) category is declared.
    EXPECT(!KeyExists(kClsidKey + L"\\Implemented Categories"));
    EXPECT(KeyExists(std::wstring(L"TypeLib\\") + kLibid + L"\\1.0"));
  });

  checks.Run("TypeLibraryTexts", [] {
    Ref<ITypeLib> library;
    EXPECT(SUCCEEDED(LoadRegTypeLib(LIBID_Vellumine, 1, 0, 0, &library.p)));
    if (library.p == nullptr) return;
    BSTR name = nullptr, doc = nullptr;
    library->GetDocumentation(-1, &name, &doc, nullptr, nullptr);
    EXPECT(Text(name) == L"Vellumine");
    EXPECT(Text(doc) == L"Vellumine 1.0 タイプ ライブラリ");
    SysFreeString(name);
    SysFreeString(doc);
    TLIBATTR* attributes = nullptr;
    library->GetLibAttr(&attributes);
    EXPECT(attributes->wMajorVerNum == 1 && attributes->wMinorVerNum == 0);
    library->ReleaseTLibAttr(attributes);

    Ref<ITypeInfo> coclass;
    EXPECT(SUCCEEDED(library->GetTypeInfoOfGuid(CLSID_CSkerrow, &coclass.p)));
    coclass->GetDocumentation(MEMBERID_NIL, &name, &doc, nullptr, nullptr);
    EXPECT(Text(name) == L"CSkerrow");
    EXPECT(Text(doc) == L"Skerrow Class");
    SysFreeString(name);
    SysFreeString(doc);
    TYPEATTR* type = nullptr;
    coclass->GetTypeAttr(&type);
    EXPECT((type->wTypeFlags & TYPEFLAG_FCANCREATE) != 0);
    coclass->ReleaseTypeAttr(type);

    Ref<ITypeInfo> info;
    EXPECT(SUCCEEDED(library->GetTypeInfoOfGuid(IID_ISkerrow, &info.p)));
    info->GetDocumentation(MEMBERID_NIL, &name, &doc, nullptr, nullptr);
    EXPECT(Text(name) == L"ISkerrow");
    EXPECT(Text(doc) == L"ISkerrow インターフェイス");
    SysFreeString(name);
    SysFreeString(doc);
    info->GetTypeAttr(&type);
    EXPECT((type->wTypeFlags & TYPEFLAG_FDUAL) != 0);
    info->ReleaseTypeAttr(type);
    // The vtable half of the dual interface is automation-compatible.
    HREFTYPE vtable_half = 0;
    Ref<ITypeInfo> vtable;
    EXPECT(SUCCEEDED(info->GetRefTypeOfImplType(-1, &vtable_half)));
    EXPECT(SUCCEEDED(info->GetRefTypeInfo(vtable_half, &vtable.p)));
    if (vtable.p != nullptr) {
      vtable->GetTypeAttr(&type);
      EXPECT(type->typekind == TKIND_INTERFACE);
      EXPECT((type->wTypeFlags & TYPEFLAG_FOLEAUTOMATION) != 0);
      vtable->ReleaseTypeAttr(type);
    }
    for (std::size_t i = 0; i < kMethods.size(); ++i) {
      const MEMBERID id = static_cast<MEMBERID>(i + 1);
      BSTR names[8] = {};
      UINT count = 0;
      info->GetNames(id, names, 8, &count);
      bool same = count == kMethods[i].size();
      for (UINT n = 0; n < count; ++n) {
        same = same && Text(names[n]) == kMethods[i][n];
        SysFreeString(names[n]);
      }
      EXPECT(same);
      info->GetDocumentation(id, nullptr, &doc, nullptr, nullptr);
      EXPECT(Text(doc) == L"メソッド" + kMethods[i][0]);
      SysFreeString(doc);
    }
  });

  checks.Run("AnswersEveryInterfaceOfTheTable", [] {
    Ref<IUnknown> object;
    EXPECT(SUCCEEDED(CoCreateInstance(CLSID_CSkerrow, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                      object.out())));
    if (object.p == nullptr) return;
    for (const IID* iid : kInterfaces) {
      Ref<IUnknown> face;
      const bool offered = SUCCEEDED(object->QueryInterface(*iid, face.out()));
      EXPECT(offered);
      if (!offered) continue;
      Ref<IUnknown> identity;
      face->QueryInterface(IID_IUnknown, identity.out());
      EXPECT(identity.p == object.p);
    }
    // The unknown's own pointer is the first interface of the table.
    Ref<ISkerrow> first;
    object->QueryInterface(IID_ISkerrow, first.out());
    EXPECT(static_cast<IUnknown*>(first.p) == object.p);
    for (const IID* iid : {&IID_IObjectSafety, &IID_IConnectionPointContainer,
                           &IID_IPersistPropertyBag, &IID_IMarshal}) {
      Ref<IUnknown> face;
      EXPECT(object->QueryInterface(*iid, face.out()) == E_NOINTERFACE);
    }
  });

  checks.Run("DispatchByName", [] {
    Ref<IDispatch> object;
    EXPECT(SUCCEEDED(CoCreateInstance(CLSID_CSkerrow, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                      object.out())));
    if (object.p == nullptr) return;
    UINT count = 0;
    object->GetTypeInfoCount(&count);
    EXPECT(count == 1);
    for (std::size_t i = 0; i < kMethods.size(); ++i) {
      std::vector<LPOLESTR> names;
      for (const auto& name : kMethods[i]) names.push_back(const_cast<LPOLESTR>(name.c_str()));
      std::vector<DISPID> ids(names.size(), -1);
      EXPECT(SUCCEEDED(object->GetIDsOfNames(IID_NULL, names.data(), names.size(),
                                             LOCALE_USER_DEFAULT, ids.data())));
      EXPECT(ids[0] == static_cast<DISPID>(i + 1));
      for (std::size_t p = 1; p < ids.size(); ++p) EXPECT(ids[p] == static_cast<DISPID>(p - 1));
    }
    LPOLESTR unknown[] = {const_cast<LPOLESTR>(L"NoSuchMethod")};
    DISPID id = 0;
    EXPECT(object->GetIDsOfNames(IID_NULL, unknown, 1, LOCALE_USER_DEFAULT, &id) ==
           DISP_E_UNKNOWNNAME);
    // A null document or text from script reaches the method, which answers S_OK.
    EXPECT(CallByName(object.p, L"SetCalender", {NullVariant(), Long(2000), Long(1)}) == S_OK);
    EXPECT(CallByName(object.p, L"SetWndPos", {NullVariant(), Long(1), Long(2), Long(1)}) == S_OK);
    EXPECT(CallByName(object.p, L"ChangeMemoPage", {NullVariant(), Long(0)}) == S_OK);
    EXPECT(CallByName(object.p, L"Open", {Long(-1), Long(0)}) == S_OK);
    EXPECT(CallByName(object.p, L"ChangeDate", {NullVariant()}) == DISP_E_BADPARAMCOUNT);
    // Straight through the vtable as well.
    Ref<ISkerrow> direct;
    object->QueryInterface(IID_ISkerrow, direct.out());
    EXPECT(direct->SetCalender(nullptr, 2000, 1) == S_OK);
    EXPECT(direct->EditMemo(nullptr, 5) == S_OK);
  });

  checks.Run("MiscStatusAndExtent", [] {
    Ref<IOleObject> object;
    EXPECT(SUCCEEDED(CoCreateInstance(CLSID_CSkerrow, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                      object.out())));
    if (object.p == nullptr) return;
    DWORD status = 0;
    EXPECT(object->GetMiscStatus(DVASPECT_CONTENT, &status) == S_OK);
    EXPECT(status == 131473);
    DWORD registered = 0;
    EXPECT(SUCCEEDED(OleRegGetMiscStatus(CLSID_CSkerrow, DVASPECT_CONTENT, &registered)));
    EXPECT(registered == 131473);
    SIZEL size{2000, 1000};
    EXPECT(object->SetExtent(DVASPECT_CONTENT, &size) == S_OK);
    SIZEL back{};
    EXPECT(object->GetExtent(DVASPECT_CONTENT, &back) == S_OK);
    EXPECT(back.cx == 2000 && back.cy == 1000);
    CLSID clsid{};
    EXPECT(object->GetUserClassID(&clsid) == S_OK && IsEqualCLSID(clsid, CLSID_CSkerrow));
    HWND window = reinterpret_cast<HWND>(1);
    Ref<IOleWindow> ole_window;
    object->QueryInterface(IID_IOleWindow, ole_window.out());
    EXPECT(ole_window->GetWindow(&window) == E_FAIL && window == nullptr);  // not active
  });

  checks.Run("PlaceholderDrawing", [] {
    Ref<IViewObject> view;
    EXPECT(SUCCEEDED(CoCreateInstance(CLSID_CSkerrow, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IViewObject, view.out())));
    if (view.p == nullptr) return;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = 200;
    info.bmiHeader.biHeight = -100;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old_bitmap = SelectObject(dc, bitmap);
    auto pixels = static_cast<DWORD*>(bits);
    for (int i = 0; i < 200 * 100; ++i) pixels[i] = 0x00FF0000;  // red
    SelectObject(dc, GetStockObject(BLACK_PEN));
    SelectObject(dc, GetStockObject(WHITE_BRUSH));
    const RECTL bounds{20, 10, 180, 90};
    EXPECT(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr,
                      nullptr, 0) == S_OK);
    GdiFlush();
    auto at = [&](int x, int y) { return pixels[y * 200 + x] & 0x00FFFFFF; };
    EXPECT(at(5, 5) == 0x00FF0000);    // outside: untouched
    EXPECT(at(20, 10) == 0x00000000);  // the border, in the current pen
    EXPECT(at(179, 89) == 0x00000000);
    EXPECT(at(30, 80) == 0x00FFFFFF);  // inside, in the current brush
    int text = 0;  // the name, in black around the centre and above its baseline
    for (int y = 30; y < 50; ++y) {
      for (int x = 60; x < 140; ++x) text += at(x, y) == 0 ? 1 : 0;
    }
    EXPECT(text > 20);
    int below = 0;  // nothing of it below the baseline's descender room
    for (int y = 60; y < 88; ++y) {
      for (int x = 22; x < 178; ++x) below += at(x, y) == 0 ? 1 : 0;
    }
    EXPECT(below == 0);
    HRGN clip = CreateRectRgn(0, 0, 0, 0);
    EXPECT(GetClipRgn(dc, clip) == 0);  // the clipping is removed again
    DeleteObject(clip);
    EXPECT(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, nullptr, &bounds, nullptr,
                      nullptr, 0) == E_INVALIDARG);
    SelectObject(dc, old_bitmap);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
  });

  checks.Run("ClassInfoPersistenceAndQuickActivation", [] {
    Ref<IUnknown> object;
    CoCreateInstance(CLSID_CSkerrow, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, object.out());
    if (object.p == nullptr) {
      EXPECT(false);
      return;
    }
    Ref<IProvideClassInfo2> class_info;
    object->QueryInterface(IID_IProvideClassInfo2, class_info.out());
    Ref<ITypeInfo> info;
    EXPECT(class_info->GetClassInfo(&info.p) == S_OK);
    TYPEATTR* type = nullptr;
    info->GetTypeAttr(&type);
    EXPECT(IsEqualGUID(type->guid, CLSID_CSkerrow) && type->typekind == TKIND_COCLASS);
    info->ReleaseTypeAttr(type);
    GUID source{};
    EXPECT(FAILED(class_info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source)));

    Ref<IPersistStreamInit> persist;
    object->QueryInterface(IID_IPersistStreamInit, persist.out());
    CLSID clsid{};
    EXPECT(persist->GetClassID(&clsid) == S_OK && IsEqualCLSID(clsid, CLSID_CSkerrow));
    EXPECT(persist->InitNew() == S_OK);
    Ref<IStream> stream;
    CreateStreamOnHGlobal(nullptr, TRUE, &stream.p);
    EXPECT(persist->Save(stream.p, TRUE) == S_OK);
    EXPECT(persist->Load(stream.p) == S_OK);
    EXPECT(persist->IsDirty() == S_FALSE);

    Ref<ISpecifyPropertyPages> pages;
    object->QueryInterface(IID_ISpecifyPropertyPages, pages.out());
    CAUUID list{5, reinterpret_cast<GUID*>(1)};
    EXPECT(pages->GetPages(&list) == S_OK && list.cElems == 0 && list.pElems == nullptr);

    Ref<IQuickActivate> quick;
    object->QueryInterface(IID_IQuickActivate, quick.out());
    QACONTAINER container{};
    container.cbSize = sizeof container;
    QACONTROL control{};
    control.cbSize = sizeof control;
    EXPECT(quick->QuickActivate(&container, &control) == S_OK);
    EXPECT(control.dwMiscStatus == 131473);

    Ref<ISupportErrorInfo> errors;
    object->QueryInterface(IID_ISupportErrorInfo, errors.out());
    EXPECT(errors->InterfaceSupportsErrorInfo(IID_ISkerrow) == S_FALSE);
  });

  checks.Run("ClassFactoryAndModuleLock", [] {
    Ref<IClassFactory> factory;
    EXPECT(SUCCEEDED(CoGetClassObject(CLSID_CSkerrow, CLSCTX_INPROC_SERVER, nullptr,
                                      IID_IClassFactory, factory.out())));
    if (factory.p == nullptr) return;
    Ref<IUnknown> outer_made;
    EXPECT(factory->CreateInstance(reinterpret_cast<IUnknown*>(factory.p), IID_IUnknown,
                                   outer_made.out()) == CLASS_E_NOAGGREGATION);
    EXPECT(CanUnload() == S_FALSE);  // the factory reference holds the library
    {
      Ref<ISkerrow> object;
      EXPECT(factory->CreateInstance(nullptr, IID_ISkerrow, object.out()) == S_OK);
      EXPECT(factory->LockServer(TRUE) == S_OK);
      factory->Release();
      factory.p = nullptr;
      EXPECT(CanUnload() == S_FALSE);  // the object and the lock
    }
    EXPECT(CanUnload() == S_FALSE);  // the lock
    Ref<IClassFactory> again;
    CoGetClassObject(CLSID_CSkerrow, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, again.out());
    again->LockServer(FALSE);
    again->Release();
    again.p = nullptr;
    EXPECT(CanUnload() == S_OK);
  });
}

void CheckUnregistered() {
  auto& checks = vellumine::check::Checks();
  checks.Run("UnregistrationRemovesTheClassKeepsAppId", [] {
    EXPECT(!KeyExists(L"Vellumine.Skerrow.1"));
    EXPECT(!KeyExists(L"Vellumine.Skerrow"));
    EXPECT(!KeyExists(kClsidKey));
    EXPECT(!KeyExists(std::wstring(L"AppID\\") + kAppId));
    EXPECT(!KeyExists(L"AppID\\Vellumine.DLL"));
    EXPECT(!KeyExists(std::wstring(L"TypeLib\\") + kLibid));
    EXPECT(KeyExists(L"AppID"));
    EXPECT(KeyExists(L"CLSID"));
    Ref<IUnknown> object;
    EXPECT(CoCreateInstance(CLSID_CSkerrow, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                            object.out()) == REGDB_E_CLASSNOTREG);
  });
}

}  // namespace

int main(int argc, char** argv) {
  const bool unregistered = argc > 1 && std::strcmp(argv[1], "unregistered") == 0;
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
    std::printf("0 passed, 1 failed\n");
    return 1;
  }
  if (unregistered) {
    CheckUnregistered();
  } else {
    CheckRegistered();
  }
  CoFreeUnusedLibraries();
  CoUninitialize();
  return vellumine::check::Checks().Finish();
}
