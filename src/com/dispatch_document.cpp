#include "com/dispatch_document.h"

#include <dispex.h>
#include <oleauto.h>

#include <algorithm>
#include <new>

namespace vellumine::com {
namespace {

// IDispatchEx, {A6EF9860-C720-11D0-9337-00A0C90DCAA9}; not in the import
// libraries of every toolchain.
constexpr IID kIDispatchEx = {
    0xa6ef9860, 0xc720, 0x11d0, {0x93, 0x37, 0x00, 0xa0, 0xc9, 0x0d, 0xca, 0xa9}};

class Variant {
 public:
  Variant() { VariantInit(&value_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  ~Variant() { VariantClear(&value_); }
  VARIANT* get() { return &value_; }
  VARIANT& operator*() { return value_; }

 private:
  VARIANT value_;
};

// A BSTR that frees itself; its text may hold any unit, zero included.
class Bstr {
 public:
  explicit Bstr(std::u16string_view text)
      : value_(SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                                 static_cast<UINT>(text.size()))) {
    if (value_ == nullptr) throw std::bad_alloc();
  }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  ~Bstr() { SysFreeString(value_); }
  BSTR get() const { return value_; }

 private:
  BSTR value_;
};

// Calls a member by name. args are in the order of the call (the first
// argument first). Script objects are asked through IDispatchEx first, as
// script engines ask each other: some answer names only there.
HRESULT Call(IDispatch* object, const wchar_t* name, WORD flags, VARIANT* args, UINT count,
             VARIANT* result) {
  if (object == nullptr) return E_POINTER;
  ComPtr<IDispatchEx> script;
  object->QueryInterface(kIDispatchEx, script.OutVoid());
  DISPID id = DISPID_UNKNOWN;
  HRESULT hr = E_FAIL;
  if (script) {
    BSTR member = SysAllocString(name);
    if (member == nullptr) return E_OUTOFMEMORY;
    hr = script->GetDispID(member, fdexNameCaseSensitive, &id);
    SysFreeString(member);
  }
  if (FAILED(hr)) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  }
  if (FAILED(hr)) return hr;
  // DISPPARAMS holds its arguments last first.
  std::reverse(args, args + count);
  DISPID put = DISPID_PROPERTYPUT;
  DISPPARAMS params{args, nullptr, count, 0};
  if ((flags & DISPATCH_PROPERTYPUT) != 0) {
    params.rgdispidNamedArgs = &put;
    params.cNamedArgs = 1;
  }
  if (script) {
    hr = script->InvokeEx(id, LOCALE_USER_DEFAULT, flags, &params, result, nullptr, nullptr);
  } else {
    hr =
        object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, nullptr, nullptr);
  }
  std::reverse(args, args + count);
  return hr;
}

ComPtr<IDispatch> ToObject(VARIANT& value) {
  if (value.vt == VT_DISPATCH && value.pdispVal != nullptr) {
    return ComPtr<IDispatch>::Share(value.pdispVal);
  }
  if (value.vt == VT_UNKNOWN && value.punkVal != nullptr) {
    ComPtr<IDispatch> out;
    value.punkVal->QueryInterface(IID_IDispatch, out.OutVoid());
    return out;
  }
  return {};
}

ComPtr<IDispatch> GetObject(IDispatch* object, const wchar_t* name) {
  Variant result;
  if (FAILED(Call(object, name, DISPATCH_PROPERTYGET, nullptr, 0, result.get()))) return {};
  return ToObject(*result);
}

std::optional<std::u16string> GetText(IDispatch* object, const wchar_t* name) {
  Variant result;
  if (FAILED(Call(object, name, DISPATCH_PROPERTYGET, nullptr, 0, result.get()))) {
    return std::nullopt;
  }
  if ((*result).vt != VT_BSTR) return std::nullopt;
  const BSTR text = (*result).bstrVal;
  if (text == nullptr) return std::u16string();
  return std::u16string(reinterpret_cast<const char16_t*>(text), SysStringLen(text));
}

std::optional<std::int32_t> GetInt(IDispatch* object, const wchar_t* name) {
  Variant result;
  if (FAILED(Call(object, name, DISPATCH_PROPERTYGET, nullptr, 0, result.get()))) {
    return std::nullopt;
  }
  if (FAILED(VariantChangeType(result.get(), result.get(), 0, VT_I4))) return std::nullopt;
  return static_cast<std::int32_t>((*result).lVal);
}

void PutText(IDispatch* object, const wchar_t* name, std::u16string_view text) {
  if (object == nullptr) return;
  Bstr value(text);
  VARIANT arg;
  arg.vt = VT_BSTR;
  arg.bstrVal = value.get();
  Call(object, name, DISPATCH_PROPERTYPUT, &arg, 1, nullptr);
}

void PutInt(IDispatch* object, const wchar_t* name, std::int32_t number) {
  if (object == nullptr) return;
  VARIANT arg;
  arg.vt = VT_I4;
  arg.lVal = number;
  Call(object, name, DISPATCH_PROPERTYPUT, &arg, 1, nullptr);
}

// The element at index of a collection ("all").
ComPtr<IDispatch> Item(IDispatch* collection, std::int32_t index) {
  VARIANT arg;
  arg.vt = VT_I4;
  arg.lVal = index;
  Variant result;
  if (FAILED(Call(collection, L"item", DISPATCH_METHOD, &arg, 1, result.get()))) return {};
  return ToObject(*result);
}

class DispatchElement : public Element {
 public:
  explicit DispatchElement(ComPtr<IDispatch> element) : element_(std::move(element)) {}

  std::u16string Id() override { return GetText(element_.Get(), L"id").value_or(u""); }
  std::u16string TagName() override {
    std::u16string name = GetText(element_.Get(), L"tagName").value_or(u"");
    for (char16_t& c : name) {
      if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    }
    return name;
  }

  void SetInnerHtml(std::u16string_view html) override {
    PutText(element_.Get(), L"innerHTML", html);
  }
  void SetOuterHtml(std::u16string_view html) override {
    PutText(element_.Get(), L"outerHTML", html);
  }
  void SetInnerText(std::u16string_view text) override {
    PutText(element_.Get(), L"innerText", text);
  }
  void SetAttribute(std::u16string_view name, std::u16string_view value,
                    std::int32_t flags) override {
    Bstr text(value);
    VARIANT arg;
    arg.vt = VT_BSTR;
    arg.bstrVal = text.get();
    SetAttributeTo(name, arg, flags);
  }
  void SetAttribute(std::u16string_view name, std::int32_t value, std::int32_t flags) override {
    VARIANT arg;
    arg.vt = VT_I4;
    arg.lVal = value;
    SetAttributeTo(name, arg, flags);
  }

  void SetStyleLeft(std::int32_t px) override { PutInt(Style().Get(), L"left", px); }
  void SetStyleTop(std::int32_t px) override { PutInt(Style().Get(), L"top", px); }
  void SetStyleVisibility(std::u16string_view value) override {
    PutText(Style().Get(), L"visibility", value);
  }
  void SetStyleColor(std::u16string_view value) override {
    PutText(Style().Get(), L"color", value);
  }
  void SetStyleFontFamily(std::u16string_view value) override {
    PutText(Style().Get(), L"fontFamily", value);
  }
  void SetStyleFontSize(std::int32_t px) override { PutInt(Style().Get(), L"fontSize", px); }
  std::optional<std::int32_t> PixelLeft() override {
    const auto style = Style();
    return style ? GetInt(style.Get(), L"pixelLeft") : std::nullopt;
  }
  std::optional<std::int32_t> PixelTop() override {
    const auto style = Style();
    return style ? GetInt(style.Get(), L"pixelTop") : std::nullopt;
  }

  void ForEachDescendant(const std::function<void(Element&)>& fn) override {
    const ComPtr<IDispatch> all = GetObject(element_.Get(), L"all");
    if (!all) return;
    const std::int32_t length = GetInt(all.Get(), L"length").value_or(0);
    for (std::int32_t i = 0; i < length; ++i) {
      ComPtr<IDispatch> item = Item(all.Get(), i);
      if (!item) continue;
      DispatchElement element(std::move(item));
      fn(element);
    }
  }

 private:
  ComPtr<IDispatch> Style() { return GetObject(element_.Get(), L"style"); }

  void SetAttributeTo(std::u16string_view name, VARIANT& value, std::int32_t flags) {
    Bstr attribute(name);
    VARIANT args[3];
    args[0].vt = VT_BSTR;
    args[0].bstrVal = attribute.get();
    args[1] = value;
    args[2].vt = VT_I4;
    args[2].lVal = flags;
    Call(element_.Get(), L"setAttribute", DISPATCH_METHOD, args, 3, nullptr);
  }

  ComPtr<IDispatch> element_;
};

}  // namespace

std::unique_ptr<Element> DispatchDocument::FindElementById(std::u16string_view id) {
  const ComPtr<IDispatch> all = GetObject(document_.Get(), L"all");
  if (!all) return nullptr;
  const std::int32_t length = GetInt(all.Get(), L"length").value_or(0);
  for (std::int32_t i = 0; i < length; ++i) {
    ComPtr<IDispatch> item = Item(all.Get(), i);
    if (!item) continue;
    const auto item_id = GetText(item.Get(), L"id");
    if (item_id && !item_id->empty() && *item_id == id) {
      return std::make_unique<DispatchElement>(std::move(item));
    }
  }
  return nullptr;
}

std::unique_ptr<Element> DispatchDocument::Body() {
  ComPtr<IDispatch> body = GetObject(document_.Get(), L"body");
  if (!body) return nullptr;
  return std::make_unique<DispatchElement>(std::move(body));
}

}  // namespace vellumine::com
