// The control's views and what a container asks of its class: drawing the
// placeholder, property pages, quick activation, the data object, class
// information and error information. None of them reaches the control's logic.
// clang-format off
// The object's header brings the system headers oleauto.h needs first.
#include "com/skerrow_object.h"
#include <oleauto.h>
// clang-format on

#include "com/module.h"
#include "com/registration.h"

namespace vellumine::com {

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
