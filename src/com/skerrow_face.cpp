// The control's own face: IDispatch, served from the type library with each
// argument first turned into its parameter's type, and the ISkerrow methods,
// each one call of the control on the page's document.
// clang-format off
// The object's header brings the system headers oleauto.h needs first.
#include "com/skerrow_object.h"
#include <oleauto.h>
// clang-format on

#include <new>
#include <vector>

#include "com/dispatch_document.h"

namespace vellumine::com {
namespace {

TextArg Text(BSTR text) {
  if (text == nullptr) return std::nullopt;
  return std::u16string(reinterpret_cast<const char16_t*>(text), SysStringLen(text));
}

}  // namespace

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

}  // namespace vellumine::com
