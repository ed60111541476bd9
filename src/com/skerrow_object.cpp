#include "com/skerrow_object.h"

#include <oleauto.h>

#include <new>

#include "com/dispatch_document.h"
#include "com/module.h"
#include "com/registration.h"

namespace vellumine::com {
namespace {

constexpr wchar_t kWindowClass[] = L"VellumineSkerrow";

TextArg Text(BSTR text) {
  if (text == nullptr) return std::nullopt;
  return std::u16string(reinterpret_cast<const char16_t*>(text), SysStringLen(text));
}

ATOM RegisterControlWindowClass(WNDPROC procedure) {
  static ATOM atom = 0;
  if (atom == 0) {
    WNDCLASSW window_class{};
    window_class.style = CS_HREDRAW | CS_VREDRAW;
    window_class.lpfnWndProc = procedure;
    window_class.hInstance = ModuleInstance();
    window_class.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    window_class.lpszClassName = kWindowClass;
    atom = RegisterClassW(&window_class);
  }
  return atom;
}

}  // namespace

void DrawPlaceholder(HDC dc, const RECT& bounds) {
  HRGN saved = CreateRectRgn(0, 0, 0, 0);
  const int had_clip = saved != nullptr ? GetClipRgn(dc, saved) : -1;
  IntersectClipRect(dc, bounds.left, bounds.top, bounds.right, bounds.bottom);
  Rectangle(dc, bounds.left, bounds.top, bounds.right, bounds.bottom);
  const UINT old_align = SetTextAlign(dc, TA_CENTER | TA_BASELINE);
  static constexpr wchar_t kName[] = L"Skerrow";
  TextOutW(dc, (bounds.left + bounds.right) / 2, (bounds.top + bounds.bottom) / 2, kName,
           static_cast<int>(std::size(kName) - 1));
  SetTextAlign(dc, old_align);
  SelectClipRgn(dc, had_clip == 1 ? saved : nullptr);
  if (saved != nullptr) DeleteObject(saved);
}

// --- Lifetime ---

SkerrowObject::SkerrowObject() : control_(platform_) {
  // The page shows what is saved: a call that finds the folder changed by
  // another writer draws the page anew before it acts.
  control_.set_reload_style(ReloadStyle::kRedrawPage);
  LockModule();
  platform_.set_owner_window([this](bool own) { return OwnerWindow(own); });
}

SkerrowObject::~SkerrowObject() {
  if (window_ != nullptr) DestroyWindow(window_);
  UnlockModule();
}

HRESULT SkerrowObject::Create(REFIID iid, void** out) {
  SkerrowObject* object = nullptr;
  try {
    object = new SkerrowObject();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  HRESULT hr = object->Initialise();
  if (SUCCEEDED(hr)) hr = object->QueryInterface(iid, out);
  object->Release();
  return hr;
}

HRESULT SkerrowObject::Initialise() {
  HRESULT hr = com::LoadTypeInfo(IID_ISkerrow, type_info_.Out());
  if (FAILED(hr)) return hr;
  TYPEATTR* attributes = nullptr;
  hr = type_info_->GetTypeAttr(&attributes);
  if (FAILED(hr)) return hr;
  for (UINT i = 0; i < attributes->cFuncs; ++i) {
    FUNCDESC* function = nullptr;
    if (FAILED(type_info_->GetFuncDesc(i, &function))) continue;
    std::vector<VARTYPE>& types = parameter_types_[function->memid];
    for (SHORT p = 0; p < function->cParams; ++p) {
      types.push_back(function->lprgelemdescParam[p].tdesc.vt);
    }
    type_info_->ReleaseFuncDesc(function);
  }
  type_info_->ReleaseTypeAttr(attributes);
  return S_OK;
}

void SkerrowObject::UnregisterWindowClass() { UnregisterClassW(kWindowClass, ModuleInstance()); }

// --- IUnknown ---

HRESULT SkerrowObject::QueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  // In the order of the interface table; IUnknown is its first entry.
  struct Entry {
    const IID* iid;
    void* (*cast)(SkerrowObject*);
  };
  static const Entry kTable[] = {
      {&IID_ISkerrow, [](SkerrowObject* o) -> void* { return static_cast<ISkerrow*>(o); }},
      {&IID_IDispatch, [](SkerrowObject* o) -> void* { return static_cast<ISkerrow*>(o); }},
      {&IID_IPersistStreamInit,
       [](SkerrowObject* o) -> void* { return static_cast<IPersistStreamInit*>(o); }},
      {&IID_IPersist,
       [](SkerrowObject* o) -> void* { return static_cast<IPersistStreamInit*>(o); }},
      {&IID_IOleControl, [](SkerrowObject* o) -> void* { return static_cast<IOleControl*>(o); }},
      {&IID_IOleObject, [](SkerrowObject* o) -> void* { return static_cast<IOleObject*>(o); }},
      {&IID_IOleInPlaceActiveObject,
       [](SkerrowObject* o) -> void* { return static_cast<IOleInPlaceActiveObject*>(o); }},
      {&IID_IOleWindow,
       [](SkerrowObject* o) -> void* { return static_cast<IOleInPlaceActiveObject*>(o); }},
      {&IID_IViewObjectEx,
       [](SkerrowObject* o) -> void* { return static_cast<IViewObjectEx*>(o); }},
      {&IID_IViewObject2, [](SkerrowObject* o) -> void* { return static_cast<IViewObjectEx*>(o); }},
      {&IID_IViewObject, [](SkerrowObject* o) -> void* { return static_cast<IViewObjectEx*>(o); }},
      {&IID_IOleInPlaceObjectWindowless,
       [](SkerrowObject* o) -> void* { return static_cast<IOleInPlaceObjectWindowless*>(o); }},
      {&IID_IOleInPlaceObject,
       [](SkerrowObject* o) -> void* { return static_cast<IOleInPlaceObjectWindowless*>(o); }},
      {&IID_IPersistStorage,
       [](SkerrowObject* o) -> void* { return static_cast<IPersistStorage*>(o); }},
      {&IID_ISpecifyPropertyPages,
       [](SkerrowObject* o) -> void* { return static_cast<ISpecifyPropertyPages*>(o); }},
      {&IID_IQuickActivate,
       [](SkerrowObject* o) -> void* { return static_cast<IQuickActivate*>(o); }},
      {&IID_IDataObject, [](SkerrowObject* o) -> void* { return static_cast<IDataObject*>(o); }},
      {&IID_IProvideClassInfo2,
       [](SkerrowObject* o) -> void* { return static_cast<IProvideClassInfo2*>(o); }},
      {&IID_IProvideClassInfo,
       [](SkerrowObject* o) -> void* { return static_cast<IProvideClassInfo2*>(o); }},
      {&IID_ISupportErrorInfo,
       [](SkerrowObject* o) -> void* { return static_cast<ISupportErrorInfo*>(o); }},
  };
  if (IsEqualIID(iid, IID_IUnknown)) {
    *out = kTable[0].cast(this);
  } else {
    for (const Entry& entry : kTable) {
      if (IsEqualIID(iid, *entry.iid)) {
        *out = entry.cast(this);
        break;
      }
    }
  }
  if (*out == nullptr) return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

ULONG SkerrowObject::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&references_)); }

ULONG SkerrowObject::Release() {
  const LONG left = InterlockedDecrement(&references_);
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

// --- IDispatch ---

HRESULT SkerrowObject::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 1;
  return S_OK;
}

HRESULT SkerrowObject::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  *info = ComPtr<ITypeInfo>(type_info_).Detach();
  return S_OK;
}

HRESULT SkerrowObject::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  return DispGetIDsOfNames(type_info_.Get(), names, count, ids);
}

HRESULT SkerrowObject::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                              VARIANT* result, EXCEPINFO* exception, UINT* bad_argument) {
  if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  const auto types = parameter_types_.find(id);
  if (params == nullptr || params->cNamedArgs != 0 || types == parameter_types_.end()) {
    return DispInvoke(static_cast<ISkerrow*>(this), type_info_.Get(), id, flags, params, result,
                      exception, bad_argument);
  }
  if (params->cArgs != types->second.size()) return DISP_E_BADPARAMCOUNT;
  // Each argument turned into its parameter's own type first: script hosts
  // pass variables by reference and small numbers as 16-bit integers, and a
  // null (or missing) text or document is a null BSTR or document to the
  // method, not a type mismatch.
  std::vector<VARIANTARG> arguments(params->cArgs);
  for (VARIANTARG& argument : arguments) VariantInit(&argument);
  HRESULT hr = S_OK;
  for (UINT i = 0; i < params->cArgs && SUCCEEDED(hr); ++i) {
    const VARIANTARG* source = &params->rgvarg[i];
    while (source->vt == (VT_BYREF | VT_VARIANT) && source->pvarVal != nullptr) {
      source = source->pvarVal;
    }
    const VARTYPE wanted = types->second[params->cArgs - 1 - i];
    if ((source->vt == VT_NULL || source->vt == VT_EMPTY) &&
        (wanted == VT_BSTR || wanted == VT_DISPATCH)) {
      arguments[i].vt = wanted;  // with a null pointer
      continue;
    }
    hr = VariantChangeType(&arguments[i], const_cast<VARIANTARG*>(source), 0, wanted);
    if (FAILED(hr) && bad_argument != nullptr) *bad_argument = i;
  }
  if (SUCCEEDED(hr)) {
    DISPPARAMS exact{arguments.data(), nullptr, params->cArgs, 0};
    hr = DispInvoke(static_cast<ISkerrow*>(this), type_info_.Get(), id, flags, &exact, result,
                    exception, bad_argument);
  }
  for (VARIANTARG& argument : arguments) VariantClear(&argument);
  return hr;
}

// --- ISkerrow ---

template <typename Fn>
HRESULT SkerrowObject::Run(IDispatch* document, Fn&& fn) {
  try {
    DispatchDocument page(document);
    fn(page);
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

HRESULT SkerrowObject::SetBG_Random(IDispatch* Document) {
  return Run(Document, [&](auto& page) { control_.SetBG_Random(page); });
}
HRESULT SkerrowObject::SetCalender(IDispatch* Document, LONG Year, LONG Month) {
  return Run(Document, [&](auto& page) { control_.SetCalender(page, Year, Month); });
}
HRESULT SkerrowObject::AddWallPaper(IDispatch* Document, BSTR FileName) {
  return Run(Document, [&](auto& page) { control_.AddWallPaper(page, Text(FileName)); });
}
HRESULT SkerrowObject::RemoveWallPaper(IDispatch* Document, LONG No) {
  return Run(Document, [&](auto& page) { control_.RemoveWallPaper(page, No); });
}
HRESULT SkerrowObject::SetBG(IDispatch* Document, LONG No) {
  return Run(Document, [&](auto& page) { control_.SetBG(page, No); });
}
HRESULT SkerrowObject::SetWndPos(BSTR WndName, LONG x, LONG y, LONG Visiblity) {
  return Run(nullptr, [&](auto&) { control_.SetWndPos(Text(WndName), x, y, Visiblity); });
}
HRESULT SkerrowObject::InitPage(IDispatch* Document) {
  return Run(Document, [&](auto& page) { control_.InitPage(page); });
}
HRESULT SkerrowObject::ChangeOption(IDispatch* Document, BSTR OptionName, LONG Value) {
  return Run(Document, [&](auto& page) { control_.ChangeOption(page, Text(OptionName), Value); });
}
HRESULT SkerrowObject::OpenFile(IDispatch* Document) {
  return Run(Document, [&](auto& page) { control_.OpenFile(page); });
}
HRESULT SkerrowObject::OpenFolder(IDispatch* Document) {
  return Run(Document, [&](auto& page) { control_.OpenFolder(page); });
}
HRESULT SkerrowObject::AddLink(IDispatch* Document, BSTR Path, LONG LinkMenuNo) {
  return Run(Document, [&](auto& page) { control_.AddLink(page, Text(Path), LinkMenuNo); });
}
HRESULT SkerrowObject::ChangeLink(IDispatch* Document, LONG LinkNo, BSTR Path, LONG LinkMenuNo) {
  return Run(Document,
             [&](auto& page) { control_.ChangeLink(page, LinkNo, Text(Path), LinkMenuNo); });
}
HRESULT SkerrowObject::RemoveLink(IDispatch* Document, LONG LinkNo, LONG LinkMenuNo) {
  return Run(Document, [&](auto& page) { control_.RemoveLink(page, LinkNo, LinkMenuNo); });
}
HRESULT SkerrowObject::Open(LONG LinkMenuNo, LONG LinkNo) {
  return Run(nullptr, [&](auto&) { control_.Open(LinkMenuNo, LinkNo); });
}
HRESULT SkerrowObject::ChangeLinkPage(IDispatch* Document, LONG LinkMenuNo, LONG PageNo) {
  return Run(Document, [&](auto& page) { control_.ChangeLinkPage(page, LinkMenuNo, PageNo); });
}
HRESULT SkerrowObject::ChangeDate(IDispatch* Document, LONG Year, LONG Month, LONG Day) {
  return Run(Document, [&](auto& page) { control_.ChangeDate(page, Year, Month, Day); });
}
HRESULT SkerrowObject::ChangeSchedule(IDispatch* Document, BSTR Schedule, LONG Year, LONG Month,
                                      LONG Day) {
  return Run(Document,
             [&](auto& page) { control_.ChangeSchedule(page, Text(Schedule), Year, Month, Day); });
}
HRESULT SkerrowObject::AddMemo(IDispatch* Document, BSTR Subject, BSTR Message) {
  return Run(Document, [&](auto& page) { control_.AddMemo(page, Text(Subject), Text(Message)); });
}
HRESULT SkerrowObject::RenewMemo(IDispatch* Document, BSTR Subject, BSTR Message, LONG Num) {
  return Run(Document,
             [&](auto& page) { control_.RenewMemo(page, Text(Subject), Text(Message), Num); });
}
HRESULT SkerrowObject::RemoveMemo(IDispatch* Document, LONG Num) {
  return Run(Document, [&](auto& page) { control_.RemoveMemo(page, Num); });
}
HRESULT SkerrowObject::EditMemo(IDispatch* Document, LONG Num) {
  return Run(Document, [&](auto& page) { control_.EditMemo(page, Num); });
}
HRESULT SkerrowObject::MakeLinkMenu(IDispatch* Document, BSTR MenuName, LONG LinkMenuNo) {
  return Run(Document,
             [&](auto& page) { control_.MakeLinkMenu(page, Text(MenuName), LinkMenuNo); });
}
HRESULT SkerrowObject::ChangeLinkMenu(IDispatch* Document, LONG MenuNo) {
  return Run(Document, [&](auto& page) { control_.ChangeLinkMenu(page, MenuNo); });
}
HRESULT SkerrowObject::RemoveLinkMenu(IDispatch* Document, LONG MenuNo) {
  return Run(Document, [&](auto& page) { control_.RemoveLinkMenu(page, MenuNo); });
}
HRESULT SkerrowObject::PermuteLink(IDispatch* Document, LONG LinkNo1, LONG LinkNo2,
                                   LONG LinkMenuNo) {
  return Run(Document,
             [&](auto& page) { control_.PermuteLink(page, LinkNo1, LinkNo2, LinkMenuNo); });
}
HRESULT SkerrowObject::ChangeWindowOption(IDispatch* Document, BSTR MenuName, BSTR OptionName,
                                          LONG Value) {
  return Run(Document, [&](auto& page) {
    control_.ChangeWindowOption(page, Text(MenuName), Text(OptionName), Value);
  });
}
HRESULT SkerrowObject::ChangeMemoPage(IDispatch* Document, LONG PageNo) {
  return Run(Document, [&](auto& page) { control_.ChangeMemoPage(page, PageNo); });
}

// --- Persistence: the control keeps no properties ---

HRESULT SkerrowObject::GetClassID(CLSID* clsid) {
  if (clsid == nullptr) return E_POINTER;
  *clsid = CLSID_CSkerrow;
  return S_OK;
}
HRESULT SkerrowObject::IsDirty() { return S_FALSE; }
HRESULT SkerrowObject::Load(IStream* stream) { return stream != nullptr ? S_OK : E_POINTER; }
HRESULT SkerrowObject::Save(IStream* stream, BOOL) { return stream != nullptr ? S_OK : E_POINTER; }
HRESULT SkerrowObject::GetSizeMax(ULARGE_INTEGER* size) {
  if (size == nullptr) return E_POINTER;
  size->QuadPart = 0;
  return S_OK;
}
HRESULT SkerrowObject::InitNew() { return S_OK; }
HRESULT SkerrowObject::InitNew(IStorage* storage) { return storage != nullptr ? S_OK : E_POINTER; }
HRESULT SkerrowObject::Load(IStorage* storage) { return storage != nullptr ? S_OK : E_POINTER; }
HRESULT SkerrowObject::Save(IStorage* storage, BOOL) {
  return storage != nullptr ? S_OK : E_POINTER;
}
HRESULT SkerrowObject::SaveCompleted(IStorage*) { return S_OK; }
HRESULT SkerrowObject::HandsOffStorage() { return S_OK; }

// --- IOleControl ---

HRESULT SkerrowObject::GetControlInfo(CONTROLINFO* info) {
  if (info == nullptr) return E_POINTER;
  info->hAccel = nullptr;
  info->cAccel = 0;
  info->dwFlags = 0;
  return S_OK;
}
HRESULT SkerrowObject::OnMnemonic(MSG*) { return S_OK; }
HRESULT SkerrowObject::OnAmbientPropertyChange(DISPID) { return S_OK; }
HRESULT SkerrowObject::FreezeEvents(BOOL) { return S_OK; }

// --- IOleObject ---

HRESULT SkerrowObject::SetClientSite(IOleClientSite* site) {
  if (site == nullptr && in_place_active_) InPlaceDeactivate();
  client_site_ = ComPtr<IOleClientSite>::Share(site);
  return S_OK;
}

HRESULT SkerrowObject::GetClientSite(IOleClientSite** site) {
  if (site == nullptr) return E_POINTER;
  *site = ComPtr<IOleClientSite>(client_site_).Detach();
  return S_OK;
}

HRESULT SkerrowObject::SetHostNames(LPCOLESTR, LPCOLESTR) { return S_OK; }

HRESULT SkerrowObject::Close(DWORD) {
  if (in_place_active_) InPlaceDeactivate();
  if (ole_advise_) ole_advise_->SendOnClose();
  return S_OK;
}

HRESULT SkerrowObject::SetMoniker(DWORD, IMoniker*) { return E_NOTIMPL; }
HRESULT SkerrowObject::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
  if (moniker != nullptr) *moniker = nullptr;
  return E_NOTIMPL;
}
HRESULT SkerrowObject::InitFromData(IDataObject*, BOOL, DWORD) { return E_NOTIMPL; }
HRESULT SkerrowObject::GetClipboardData(DWORD, IDataObject** data) {
  if (data != nullptr) *data = nullptr;
  return E_NOTIMPL;
}

HRESULT SkerrowObject::DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND,
                              LPCRECT position) {
  if (!client_site_ && site != nullptr) client_site_ = ComPtr<IOleClientSite>::Share(site);
  switch (verb) {
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_INPLACEACTIVATE:
    case OLEIVERB_UIACTIVATE: {
      const HRESULT hr = InPlaceActivate(verb);
      if (SUCCEEDED(hr) && position != nullptr) SetObjectRects(position, position);
      return hr;
    }
    case OLEIVERB_HIDE:
      return UIDeactivate();
    case OLEIVERB_PROPERTIES:
    case OLEIVERB_OPEN:
      return OLEOBJ_S_CANNOT_DOVERB_NOW;
    case OLEIVERB_DISCARDUNDOSTATE:
      return S_OK;
    default:
      return verb > 0 ? OLEOBJ_S_INVALIDVERB : E_NOTIMPL;
  }
}

HRESULT SkerrowObject::EnumVerbs(IEnumOLEVERB** verbs) {
  return OleRegEnumVerbs(CLSID_CSkerrow, verbs);
}
HRESULT SkerrowObject::Update() { return S_OK; }
HRESULT SkerrowObject::IsUpToDate() { return S_OK; }
HRESULT SkerrowObject::GetUserClassID(CLSID* clsid) { return GetClassID(clsid); }
HRESULT SkerrowObject::GetUserType(DWORD form, LPOLESTR* type) {
  return OleRegGetUserType(CLSID_CSkerrow, form, type);
}

HRESULT SkerrowObject::SetExtent(DWORD aspect, SIZEL* size) {
  if (size == nullptr) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  extent_ = *size;
  return S_OK;
}

HRESULT SkerrowObject::GetExtent(DWORD aspect, SIZEL* size) {
  if (size == nullptr) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  *size = extent_;
  return S_OK;
}

HRESULT SkerrowObject::Advise(IAdviseSink* sink, DWORD* connection) {
  if (!ole_advise_) {
    const HRESULT hr = CreateOleAdviseHolder(ole_advise_.Out());
    if (FAILED(hr)) return hr;
  }
  return ole_advise_->Advise(sink, connection);
}
HRESULT SkerrowObject::Unadvise(DWORD connection) {
  return ole_advise_ ? ole_advise_->Unadvise(connection) : OLE_E_NOCONNECTION;
}
HRESULT SkerrowObject::EnumAdvise(IEnumSTATDATA** advises) {
  if (advises == nullptr) return E_POINTER;
  *advises = nullptr;
  return ole_advise_ ? ole_advise_->EnumAdvise(advises) : E_FAIL;
}

HRESULT SkerrowObject::GetMiscStatus(DWORD aspect, DWORD* status) {
  if (status == nullptr) return E_POINTER;
  // As registered: the bits for the content aspect, none for the others.
  *status = aspect == DVASPECT_CONTENT ? kMiscStatus : 0;
  return S_OK;
}

HRESULT SkerrowObject::SetColorScheme(LOGPALETTE*) { return E_NOTIMPL; }

// --- IOleWindow ---

HRESULT SkerrowObject::GetWindow(HWND* window) {
  if (window == nullptr) return E_POINTER;
  *window = window_;
  return window_ != nullptr ? S_OK : E_FAIL;
}
HRESULT SkerrowObject::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

// --- IOleInPlaceActiveObject ---

HRESULT SkerrowObject::TranslateAccelerator(LPMSG) { return S_FALSE; }
HRESULT SkerrowObject::OnFrameWindowActivate(BOOL) { return S_OK; }
HRESULT SkerrowObject::OnDocWindowActivate(BOOL) { return S_OK; }
HRESULT SkerrowObject::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) { return S_OK; }
HRESULT SkerrowObject::EnableModeless(BOOL) { return S_OK; }

// --- In-place activation ---

HRESULT SkerrowObject::InPlaceActivate(LONG verb) {
  if (!client_site_) return E_UNEXPECTED;
  if (!in_place_active_) {
    ComPtr<IOleInPlaceSiteWindowless> windowless = client_site_.As<IOleInPlaceSiteWindowless>();
    bool use_windowless = windowless && windowless->CanWindowlessActivate() == S_OK;
    ComPtr<IOleInPlaceSite> site = client_site_.As<IOleInPlaceSite>();
    if (!site) return E_NOINTERFACE;
    if (site->CanInPlaceActivate() != S_OK) return E_FAIL;
    HRESULT hr = S_OK;
    if (use_windowless) {
      BOOL no_redraw = FALSE;
      hr = windowless->OnInPlaceActivateEx(&no_redraw, ACTIVATE_WINDOWLESS);
    } else {
      hr = site->OnInPlaceActivate();
    }
    if (FAILED(hr)) return hr;
    in_place_active_ = true;
    in_place_site_ = site;
    if (use_windowless) windowless_site_ = windowless;

    RECT position{}, clip{};
    OLEINPLACEFRAMEINFO frame_info{};
    frame_info.cb = sizeof frame_info;
    if (SUCCEEDED(site->GetWindowContext(frame_.Out(), document_window_.Out(), &position, &clip,
                                         &frame_info))) {
      position_ = position;
    }
    if (!use_windowless) {
      HWND parent = nullptr;
      if (FAILED(site->GetWindow(&parent)) || parent == nullptr ||
          RegisterControlWindowClass(&SkerrowObject::WindowProc) == 0) {
        InPlaceDeactivate();
        return E_FAIL;
      }
      window_ = CreateWindowExW(
          0, kWindowClass, L"Skerrow", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
          position_.left, position_.top, position_.right - position_.left,
          position_.bottom - position_.top, parent, nullptr, ModuleInstance(), this);
      if (window_ == nullptr) {
        InPlaceDeactivate();
        return E_FAIL;
      }
    }
  }
  if (verb == OLEIVERB_UIACTIVATE && !ui_active_) {
    ui_active_ = true;
    in_place_site_->OnUIActivate();
    auto* active = static_cast<IOleInPlaceActiveObject*>(this);
    if (frame_) frame_->SetActiveObject(active, nullptr);
    if (document_window_) document_window_->SetActiveObject(active, nullptr);
  }
  return S_OK;
}

HRESULT SkerrowObject::InPlaceDeactivate() {
  if (!in_place_active_) return S_OK;
  UIDeactivate();
  if (window_ != nullptr) {
    DestroyWindow(window_);
    window_ = nullptr;
  }
  in_place_active_ = false;
  if (windowless_site_) {
    windowless_site_->OnInPlaceDeactivateEx(TRUE);
  } else if (in_place_site_) {
    in_place_site_->OnInPlaceDeactivate();
  }
  windowless_site_.Reset();
  in_place_site_.Reset();
  frame_.Reset();
  document_window_.Reset();
  return S_OK;
}

HRESULT SkerrowObject::UIDeactivate() {
  if (!ui_active_) return S_OK;
  ui_active_ = false;
  if (frame_) frame_->SetActiveObject(nullptr, nullptr);
  if (document_window_) document_window_->SetActiveObject(nullptr, nullptr);
  if (in_place_site_) in_place_site_->OnUIDeactivate(FALSE);
  return S_OK;
}

HRESULT SkerrowObject::SetObjectRects(LPCRECT position, LPCRECT) {
  if (position == nullptr) return E_POINTER;
  position_ = *position;
  if (window_ != nullptr) {
    MoveWindow(window_, position_.left, position_.top, position_.right - position_.left,
               position_.bottom - position_.top, TRUE);
  }
  return S_OK;
}

HRESULT SkerrowObject::ReactivateAndUndo() { return E_NOTIMPL; }

HRESULT SkerrowObject::OnWindowMessage(UINT, WPARAM, LPARAM, LRESULT* result) {
  if (result != nullptr) *result = 0;
  return S_FALSE;
}

HRESULT SkerrowObject::GetDropTarget(IDropTarget** target) {
  if (target != nullptr) *target = nullptr;
  return E_NOTIMPL;
}

HWND SkerrowObject::OwnerWindow(bool own) const {
  if (window_ != nullptr || own) return window_;
  HWND site_window = nullptr;
  if (in_place_site_ && SUCCEEDED(in_place_site_->GetWindow(&site_window))) return site_window;
  if (client_site_) {
    if (const auto window = client_site_.As<IOleWindow>()) {
      if (SUCCEEDED(window->GetWindow(&site_window))) return site_window;
    }
  }
  return nullptr;
}

RECT SkerrowObject::Bounds() const {
  RECT bounds = position_;
  if (window_ != nullptr) GetClientRect(window_, &bounds);
  return bounds;
}

LRESULT CALLBACK SkerrowObject::WindowProc(HWND window, UINT message, WPARAM wparam,
                                           LPARAM lparam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT paint{};
    if (HDC dc = BeginPaint(window, &paint)) {
      RECT bounds{};
      GetClientRect(window, &bounds);
      DrawPlaceholder(dc, bounds);
      EndPaint(window, &paint);
    }
    return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

// --- Views ---

HRESULT SkerrowObject::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc,
                            LPCRECTL bounds, LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR),
                            ULONG_PTR) {
  if (dc == nullptr) return E_INVALIDARG;
  if (aspect != DVASPECT_CONTENT && aspect != DVASPECT_DOCPRINT) return DV_E_DVASPECT;
  RECT rect{};
  if (bounds != nullptr) {
    rect = {bounds->left, bounds->top, bounds->right, bounds->bottom};
  } else if (windowless_site_) {
    rect = position_;  // a windowless control draws at its place in the container
  } else {
    return E_INVALIDARG;
  }
  DrawPlaceholder(dc, rect);
  return S_OK;
}

HRESULT SkerrowObject::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** colors) {
  if (colors != nullptr) *colors = nullptr;
  return S_FALSE;
}
HRESULT SkerrowObject::Freeze(DWORD, LONG, void*, DWORD*) { return E_NOTIMPL; }
HRESULT SkerrowObject::Unfreeze(DWORD) { return E_NOTIMPL; }

HRESULT SkerrowObject::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) {
  view_aspects_ = aspects;
  view_flags_ = flags;
  view_sink_ = ComPtr<IAdviseSink>::Share(sink);
  return S_OK;
}

HRESULT SkerrowObject::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) {
  if (aspects != nullptr) *aspects = view_aspects_;
  if (flags != nullptr) *flags = view_flags_;
  if (sink != nullptr) *sink = ComPtr<IAdviseSink>(view_sink_).Detach();
  return S_OK;
}

HRESULT SkerrowObject::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) {
  return GetExtent(aspect, size);
}

HRESULT SkerrowObject::GetRect(DWORD aspect, LPRECTL rect) {
  if (rect == nullptr) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  *rect = {0, 0, extent_.cx, extent_.cy};
  return S_OK;
}

HRESULT SkerrowObject::GetViewStatus(DWORD* status) {
  if (status == nullptr) return E_POINTER;
  // The placeholder is drawn with the container's brush: not known opaque.
  *status = 0;
  return S_OK;
}

HRESULT SkerrowObject::QueryHitPoint(DWORD aspect, LPCRECT bounds, POINT location, LONG,
                                     DWORD* result) {
  if (bounds == nullptr || result == nullptr) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  *result = PtInRect(bounds, location) ? HITRESULT_HIT : HITRESULT_OUTSIDE;
  return S_OK;
}

HRESULT SkerrowObject::QueryHitRect(DWORD aspect, LPCRECT bounds, LPCRECT location, LONG,
                                    DWORD* result) {
  if (bounds == nullptr || location == nullptr || result == nullptr) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  RECT overlap{};
  *result = IntersectRect(&overlap, bounds, location) ? HITRESULT_HIT : HITRESULT_OUTSIDE;
  return S_OK;
}

HRESULT SkerrowObject::GetNaturalExtent(DWORD, LONG, DVTARGETDEVICE*, HDC, DVEXTENTINFO*, LPSIZEL) {
  return E_NOTIMPL;
}

// --- ISpecifyPropertyPages ---

HRESULT SkerrowObject::GetPages(CAUUID* pages) {
  if (pages == nullptr) return E_POINTER;
  pages->cElems = 0;
  pages->pElems = nullptr;
  return S_OK;
}

// --- IQuickActivate ---

HRESULT SkerrowObject::QuickActivate(QACONTAINER* container, QACONTROL* control) {
  if (container == nullptr || control == nullptr) return E_POINTER;
  if (container->cbSize < sizeof(QACONTAINER) || control->cbSize < sizeof(QACONTROL)) {
    return E_INVALIDARG;
  }
  SetClientSite(container->pClientSite);
  if (container->pAdviseSink != nullptr) SetAdvise(DVASPECT_CONTENT, 0, container->pAdviseSink);
  control->dwMiscStatus = kMiscStatus;
  GetViewStatus(&control->dwViewStatus);
  control->dwEventCookie = 0;
  control->dwPropNotifyCookie = 0;
  control->dwPointerActivationPolicy = 0;
  return S_OK;
}

HRESULT SkerrowObject::SetContentExtent(LPSIZEL size) { return SetExtent(DVASPECT_CONTENT, size); }
HRESULT SkerrowObject::GetContentExtent(LPSIZEL size) { return GetExtent(DVASPECT_CONTENT, size); }

// --- IDataObject ---

HRESULT SkerrowObject::GetData(FORMATETC*, STGMEDIUM*) { return DV_E_FORMATETC; }
HRESULT SkerrowObject::GetDataHere(FORMATETC*, STGMEDIUM*) { return DV_E_FORMATETC; }
HRESULT SkerrowObject::QueryGetData(FORMATETC*) { return DV_E_FORMATETC; }
HRESULT SkerrowObject::GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) {
  if (out != nullptr) out->ptd = nullptr;
  return E_NOTIMPL;
}
HRESULT SkerrowObject::SetData(FORMATETC*, STGMEDIUM*, BOOL) { return E_NOTIMPL; }
HRESULT SkerrowObject::EnumFormatEtc(DWORD, IEnumFORMATETC** formats) {
  if (formats != nullptr) *formats = nullptr;
  return E_NOTIMPL;
}

HRESULT SkerrowObject::DAdvise(FORMATETC* format, DWORD flags, IAdviseSink* sink,
                               DWORD* connection) {
  if (!data_advise_) {
    const HRESULT hr = CreateDataAdviseHolder(data_advise_.Out());
    if (FAILED(hr)) return hr;
  }
  return data_advise_->Advise(static_cast<IDataObject*>(this), format, flags, sink, connection);
}
HRESULT SkerrowObject::DUnadvise(DWORD connection) {
  return data_advise_ ? data_advise_->Unadvise(connection) : OLE_E_NOCONNECTION;
}
HRESULT SkerrowObject::EnumDAdvise(IEnumSTATDATA** advises) {
  if (advises == nullptr) return E_POINTER;
  *advises = nullptr;
  return data_advise_ ? data_advise_->EnumAdvise(advises) : E_FAIL;
}

// --- IProvideClassInfo2 ---

HRESULT SkerrowObject::GetClassInfo(ITypeInfo** info) {
  return com::LoadTypeInfo(CLSID_CSkerrow, info);
}

HRESULT SkerrowObject::GetGUID(DWORD kind, GUID* guid) {
  if (guid == nullptr) return E_POINTER;
  *guid = GUID_NULL;
  // The control raises no events: there is no source interface to name.
  return kind == GUIDKIND_DEFAULT_SOURCE_DISP_IID ? E_FAIL : E_INVALIDARG;
}

// --- ISupportErrorInfo ---

HRESULT SkerrowObject::InterfaceSupportsErrorInfo(REFIID) {
  // No method sets error information: every method answers S_OK.
  return S_FALSE;
}

}  // namespace vellumine::com
