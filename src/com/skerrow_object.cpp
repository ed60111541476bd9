#include "com/skerrow_object.h"

#include <oleauto.h>

#include <new>

#include "com/module.h"
#include "com/registration.h"
#include "control/methods.h"

namespace vellumine::com {
namespace {

constexpr wchar_t kWindowClass[] = L"VellumineSkerrow";

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
  const HRESULT hr = com::LoadTypeInfo(IID_ISkerrow, type_info_.Out());
  if (FAILED(hr)) return hr;
  // The type each argument is turned into, by the method table (which the
  // type library follows, DISPID for DISPID).
  for (const Method& method : Methods()) {
    std::vector<VARTYPE>& types = parameter_types_[method.dispid];
    if (method.takes_document) types.push_back(VT_DISPATCH);
    for (const MethodParam& param : method.params) {
      types.push_back(param.kind == ParamKind::kInt ? VT_I4 : VT_BSTR);
    }
  }
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

}  // namespace vellumine::com
