// The COM object of the control: ISkerrow over the control's logic, and the
// OLE control interfaces a container expects. The control has no content of
// its own to show (its output goes into the page), so the container
// interfaces only keep the site, extent and activation state a container
// relies on and draw a placeholder.
#pragma once

#include <ocidl.h>
#include <olectl.h>

#include <map>
#include <vector>

#include "com/com_ptr.h"
#include "control/skerrow.h"
#include "platform/windows_platform.h"
#include "vellumine_h.h"

namespace vellumine::com {

// Draws the placeholder: the rectangle with the current pen and brush and
// the name "Skerrow" centred on it, clipped to the rectangle. The device
// context's own clipping is put back afterwards.
void DrawPlaceholder(HDC dc, const RECT& bounds);

class SkerrowObject final : public ISkerrow,
                            public IPersistStreamInit,
                            public IOleControl,
                            public IOleObject,
                            public IOleInPlaceActiveObject,
                            public IViewObjectEx,
                            public IOleInPlaceObjectWindowless,
                            public IPersistStorage,
                            public ISpecifyPropertyPages,
                            public IQuickActivate,
                            public IDataObject,
                            public IProvideClassInfo2,
                            public ISupportErrorInfo {
 public:
  // Creates an object and asks it for iid.
  static HRESULT Create(REFIID iid, void** out);
  // At library unload: the class of the control's own window.
  static void UnregisterWindowClass();

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IDispatch, served from the embedded type library.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception,
                                   UINT* bad_argument) override;

  // ISkerrow
  HRESULT STDMETHODCALLTYPE SetBG_Random(IDispatch* Document) override;
  HRESULT STDMETHODCALLTYPE SetCalender(IDispatch* Document, LONG Year, LONG Month) override;
  HRESULT STDMETHODCALLTYPE AddWallPaper(IDispatch* Document, BSTR FileName) override;
  HRESULT STDMETHODCALLTYPE RemoveWallPaper(IDispatch* Document, LONG No) override;
  HRESULT STDMETHODCALLTYPE SetBG(IDispatch* Document, LONG No) override;
  HRESULT STDMETHODCALLTYPE SetWndPos(BSTR WndName, LONG x, LONG y, LONG Visiblity) override;
  HRESULT STDMETHODCALLTYPE InitPage(IDispatch* Document) override;
  HRESULT STDMETHODCALLTYPE ChangeOption(IDispatch* Document, BSTR OptionName, LONG Value) override;
  HRESULT STDMETHODCALLTYPE OpenFile(IDispatch* Document) override;
  HRESULT STDMETHODCALLTYPE OpenFolder(IDispatch* Document) override;
  HRESULT STDMETHODCALLTYPE AddLink(IDispatch* Document, BSTR Path, LONG LinkMenuNo) override;
  HRESULT STDMETHODCALLTYPE ChangeLink(IDispatch* Document, LONG LinkNo, BSTR Path,
                                       LONG LinkMenuNo) override;
  HRESULT STDMETHODCALLTYPE RemoveLink(IDispatch* Document, LONG LinkNo, LONG LinkMenuNo) override;
  HRESULT STDMETHODCALLTYPE Open(LONG LinkMenuNo, LONG LinkNo) override;
  HRESULT STDMETHODCALLTYPE ChangeLinkPage(IDispatch* Document, LONG LinkMenuNo,
                                           LONG PageNo) override;
  HRESULT STDMETHODCALLTYPE ChangeDate(IDispatch* Document, LONG Year, LONG Month,
                                       LONG Day) override;
  HRESULT STDMETHODCALLTYPE ChangeSchedule(IDispatch* Document, BSTR Schedule, LONG Year,
                                           LONG Month, LONG Day) override;
  HRESULT STDMETHODCALLTYPE AddMemo(IDispatch* Document, BSTR Subject, BSTR Message) override;
  HRESULT STDMETHODCALLTYPE RenewMemo(IDispatch* Document, BSTR Subject, BSTR Message,
                                      LONG Num) override;
  HRESULT STDMETHODCALLTYPE RemoveMemo(IDispatch* Document, LONG Num) override;
  HRESULT STDMETHODCALLTYPE EditMemo(IDispatch* Document, LONG Num) override;
  HRESULT STDMETHODCALLTYPE MakeLinkMenu(IDispatch* Document, BSTR MenuName,
                                         LONG LinkMenuNo) override;
  HRESULT STDMETHODCALLTYPE ChangeLinkMenu(IDispatch* Document, LONG MenuNo) override;
  HRESULT STDMETHODCALLTYPE RemoveLinkMenu(IDispatch* Document, LONG MenuNo) override;
  HRESULT STDMETHODCALLTYPE PermuteLink(IDispatch* Document, LONG LinkNo1, LONG LinkNo2,
                                        LONG LinkMenuNo) override;
  HRESULT STDMETHODCALLTYPE ChangeWindowOption(IDispatch* Document, BSTR MenuName, BSTR OptionName,
                                               LONG Value) override;
  HRESULT STDMETHODCALLTYPE ChangeMemoPage(IDispatch* Document, LONG PageNo) override;

  // IPersist, IPersistStreamInit, IPersistStorage: no properties to keep.
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override;
  HRESULT STDMETHODCALLTYPE IsDirty() override;
  HRESULT STDMETHODCALLTYPE Load(IStream* stream) override;
  HRESULT STDMETHODCALLTYPE Save(IStream* stream, BOOL clear_dirty) override;
  HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER* size) override;
  HRESULT STDMETHODCALLTYPE InitNew() override;
  HRESULT STDMETHODCALLTYPE InitNew(IStorage* storage) override;
  HRESULT STDMETHODCALLTYPE Load(IStorage* storage) override;
  HRESULT STDMETHODCALLTYPE Save(IStorage* storage, BOOL same_as_load) override;
  HRESULT STDMETHODCALLTYPE SaveCompleted(IStorage* storage) override;
  HRESULT STDMETHODCALLTYPE HandsOffStorage() override;

  // IOleControl
  HRESULT STDMETHODCALLTYPE GetControlInfo(CONTROLINFO* info) override;
  HRESULT STDMETHODCALLTYPE OnMnemonic(MSG* message) override;
  HRESULT STDMETHODCALLTYPE OnAmbientPropertyChange(DISPID id) override;
  HRESULT STDMETHODCALLTYPE FreezeEvents(BOOL freeze) override;

  // IOleObject
  HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) override;
  HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** site) override;
  HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR app, LPCOLESTR object) override;
  HRESULT STDMETHODCALLTYPE Close(DWORD save_option) override;
  HRESULT STDMETHODCALLTYPE SetMoniker(DWORD which, IMoniker* moniker) override;
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override;
  HRESULT STDMETHODCALLTYPE InitFromData(IDataObject* data, BOOL creation, DWORD reserved) override;
  HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD reserved, IDataObject** data) override;
  HRESULT STDMETHODCALLTYPE DoVerb(LONG verb, LPMSG message, IOleClientSite* site, LONG index,
                                   HWND parent, LPCRECT position) override;
  HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB** verbs) override;
  HRESULT STDMETHODCALLTYPE Update() override;
  HRESULT STDMETHODCALLTYPE IsUpToDate() override;
  HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID* clsid) override;
  HRESULT STDMETHODCALLTYPE GetUserType(DWORD form, LPOLESTR* type) override;
  HRESULT STDMETHODCALLTYPE SetExtent(DWORD aspect, SIZEL* size) override;
  HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, SIZEL* size) override;
  HRESULT STDMETHODCALLTYPE Advise(IAdviseSink* sink, DWORD* connection) override;
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD connection) override;
  HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA** advises) override;
  HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD aspect, DWORD* status) override;
  HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE* palette) override;

  // IOleWindow
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override;
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL enter) override;

  // IOleInPlaceActiveObject
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG message) override;
  HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL activate) override;
  HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL activate) override;
  HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window,
                                         BOOL frame) override;
  HRESULT STDMETHODCALLTYPE EnableModeless(BOOL enable) override;

  // IOleInPlaceObject, IOleInPlaceObjectWindowless
  HRESULT STDMETHODCALLTYPE InPlaceDeactivate() override;
  HRESULT STDMETHODCALLTYPE UIDeactivate() override;
  HRESULT STDMETHODCALLTYPE SetObjectRects(LPCRECT position, LPCRECT clip) override;
  HRESULT STDMETHODCALLTYPE ReactivateAndUndo() override;
  HRESULT STDMETHODCALLTYPE OnWindowMessage(UINT message, WPARAM wparam, LPARAM lparam,
                                            LRESULT* result) override;
  HRESULT STDMETHODCALLTYPE GetDropTarget(IDropTarget** target) override;

  // IViewObject, IViewObject2, IViewObjectEx
  HRESULT STDMETHODCALLTYPE Draw(DWORD aspect, LONG index, void* aspect_info,
                                 DVTARGETDEVICE* device, HDC target_dc, HDC dc, LPCRECTL bounds,
                                 LPCRECTL window_bounds,
                                 BOOL(STDMETHODCALLTYPE* should_continue)(ULONG_PTR),
                                 ULONG_PTR continue_data) override;
  HRESULT STDMETHODCALLTYPE GetColorSet(DWORD aspect, LONG index, void* aspect_info,
                                        DVTARGETDEVICE* device, HDC target_dc,
                                        LOGPALETTE** colors) override;
  HRESULT STDMETHODCALLTYPE Freeze(DWORD aspect, LONG index, void* aspect_info,
                                   DWORD* freeze) override;
  HRESULT STDMETHODCALLTYPE Unfreeze(DWORD freeze) override;
  HRESULT STDMETHODCALLTYPE SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
  HRESULT STDMETHODCALLTYPE GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override;
  HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, LONG index, DVTARGETDEVICE* device,
                                      LPSIZEL size) override;
  HRESULT STDMETHODCALLTYPE GetRect(DWORD aspect, LPRECTL rect) override;
  HRESULT STDMETHODCALLTYPE GetViewStatus(DWORD* status) override;
  HRESULT STDMETHODCALLTYPE QueryHitPoint(DWORD aspect, LPCRECT bounds, POINT location,
                                          LONG close_hint, DWORD* result) override;
  HRESULT STDMETHODCALLTYPE QueryHitRect(DWORD aspect, LPCRECT bounds, LPCRECT location,
                                         LONG close_hint, DWORD* result) override;
  HRESULT STDMETHODCALLTYPE GetNaturalExtent(DWORD aspect, LONG index, DVTARGETDEVICE* device,
                                             HDC target_dc, DVEXTENTINFO* info,
                                             LPSIZEL size) override;

  // ISpecifyPropertyPages
  HRESULT STDMETHODCALLTYPE GetPages(CAUUID* pages) override;

  // IQuickActivate
  HRESULT STDMETHODCALLTYPE QuickActivate(QACONTAINER* container, QACONTROL* control) override;
  HRESULT STDMETHODCALLTYPE SetContentExtent(LPSIZEL size) override;
  HRESULT STDMETHODCALLTYPE GetContentExtent(LPSIZEL size) override;

  // IDataObject: no data formats; advises are kept for the container.
  HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override;
  HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC* format, STGMEDIUM* medium) override;
  HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override;
  HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC* in, FORMATETC* out) override;
  HRESULT STDMETHODCALLTYPE SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) override;
  HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) override;
  HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC* format, DWORD flags, IAdviseSink* sink,
                                    DWORD* connection) override;
  HRESULT STDMETHODCALLTYPE DUnadvise(DWORD connection) override;
  HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA** advises) override;

  // IProvideClassInfo, IProvideClassInfo2
  HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetGUID(DWORD kind, GUID* guid) override;

  // ISupportErrorInfo
  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override;

 private:
  SkerrowObject();
  ~SkerrowObject();
  SkerrowObject(const SkerrowObject&) = delete;
  SkerrowObject& operator=(const SkerrowObject&) = delete;

  HRESULT Initialise();
  // Runs one interface method on the control with the document wrapped.
  template <typename Fn>
  HRESULT Run(IDispatch* document, Fn&& fn);

  HWND OwnerWindow(bool own) const;
  HRESULT InPlaceActivate(LONG verb);
  RECT Bounds() const;

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  LONG references_ = 1;
  WindowsPlatform platform_;
  vellumine::CSkerrow control_;

  ComPtr<ITypeInfo> type_info_;
  // Per DISPID, the type of each parameter in declaration order.
  std::map<DISPID, std::vector<VARTYPE>> parameter_types_;

  ComPtr<IOleClientSite> client_site_;
  ComPtr<IOleInPlaceSite> in_place_site_;
  ComPtr<IOleInPlaceSiteWindowless> windowless_site_;  // when active windowless
  ComPtr<IOleInPlaceFrame> frame_;
  ComPtr<IOleInPlaceUIWindow> document_window_;
  ComPtr<IOleAdviseHolder> ole_advise_;
  ComPtr<IDataAdviseHolder> data_advise_;
  ComPtr<IAdviseSink> view_sink_;
  DWORD view_aspects_ = 0;
  DWORD view_flags_ = 0;
  bool in_place_active_ = false;
  bool ui_active_ = false;
  HWND window_ = nullptr;     // the control's own window when active windowed
  RECT position_{};           // in the container's window, pixels
  SIZEL extent_{5080, 5080};  // HIMETRIC: two inches square
};

}  // namespace vellumine::com
