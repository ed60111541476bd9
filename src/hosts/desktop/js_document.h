// The page operations bound to the live page through JavaScriptCore values.
//
// Every operation is one property access or method call on the page's own
// objects, run synchronously on the page's thread. A write the page refuses
// (an exception) is dropped and the exception cleared, so it never reaches
// the script that called the control.
#pragma once

#include <jsc/jsc.h>

#include "page/document.h"

namespace vellumine::desktop {

class JsElement : public Element {
 public:
  // Takes a new reference to value, which must be an object.
  JsElement(JSCContext* context, JSCValue* value);
  ~JsElement() override;
  JsElement(const JsElement&) = delete;
  JsElement& operator=(const JsElement&) = delete;

  std::u16string Id() override;
  std::u16string TagName() override;
  void SetInnerHtml(std::u16string_view html) override;
  void SetOuterHtml(std::u16string_view html) override;
  void SetInnerText(std::u16string_view text) override;
  void SetAttribute(std::u16string_view name, std::u16string_view value,
                    std::int32_t flags) override;
  void SetAttribute(std::u16string_view name, std::int32_t value, std::int32_t flags) override;
  void SetStyleLeft(std::int32_t px) override;
  void SetStyleTop(std::int32_t px) override;
  void SetStyleVisibility(std::u16string_view value) override;
  void SetStyleColor(std::u16string_view value) override;
  void SetStyleFontFamily(std::u16string_view value) override;
  void SetStyleFontSize(std::int32_t px) override;
  std::optional<std::int32_t> PixelLeft() override;
  std::optional<std::int32_t> PixelTop() override;
  void ForEachDescendant(const std::function<void(Element&)>& fn) override;

 private:
  void SetStyle(const char* property, JSCValue* value);
  void SetAttributeValue(std::u16string_view name, JSCValue* value);
  std::optional<std::int32_t> PixelPosition(const char* style_property,
                                            const char* offset_property);

  JSCContext* context_;
  JSCValue* value_;
};

class JsDocument : public Document {
 public:
  // document: whatever the script passed as the page's document. Anything
  // that is not an object finds no elements.
  JsDocument(JSCContext* context, JSCValue* document);
  ~JsDocument() override;
  JsDocument(const JsDocument&) = delete;
  JsDocument& operator=(const JsDocument&) = delete;

  std::unique_ptr<Element> FindElementById(std::u16string_view id) override;
  std::unique_ptr<Element> Body() override;

 private:
  JSCContext* context_;
  JSCValue* value_;
};

// Conversions between page values and the control's texts. A string keeps
// every unit that UTF-8 can carry (lone surrogates become U+FFFD).
JSCValue* ToJsString(JSCContext* context, std::u16string_view text);
std::u16string FromJsString(JSCValue* value);
// "12px" -> 12; the leading integer of a pixel length, nullopt when the text
// is no pixel length.
std::optional<std::int32_t> ParsePixelLength(std::string_view text);

}  // namespace vellumine::desktop
