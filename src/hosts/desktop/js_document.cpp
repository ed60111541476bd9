#include "hosts/desktop/js_document.h"

#include <cmath>
#include <string>

#include "hosts/desktop/jsc_ref.h"
#include "page/text.h"

namespace vellumine::desktop {
namespace {

// A property read as text; "" for null, undefined or a refused read.
std::u16string TextProperty(JSCContext* context, JSCValue* object, const char* name) {
  JscRef value(jsc_value_object_get_property(object, name));
  jsc_context_clear_exception(context);
  if (value.get() == nullptr || jsc_value_is_null(value.get()) ||
      jsc_value_is_undefined(value.get())) {
    return {};
  }
  return FromJsString(value.get());
}

std::u16string PixelText(std::int32_t px) { return Utf8ToUtf16(std::to_string(px) + "px"); }

}  // namespace

JSCValue* ToJsString(JSCContext* context, std::u16string_view text) {
  // The engine takes UTF-8 and makes an empty string of bytes that are not:
  // a lone surrogate would blank the whole text, so it becomes U+FFFD. The
  // bytes go straight into the buffer the engine takes over: a redraw sends
  // megabytes of markup.
  const std::size_t bytes = Utf8Size(text);
  char* out = static_cast<char*>(g_malloc(bytes > 0 ? bytes : 1));
  WriteUtf8(text, out, true);
  GBytes* utf8 = g_bytes_new_take(out, bytes);
  JSCValue* value = jsc_value_new_string_from_bytes(context, utf8);
  g_bytes_unref(utf8);
  return value;
}

std::u16string FromJsString(JSCValue* value) {
  GBytes* bytes = jsc_value_to_string_as_bytes(value);
  if (bytes == nullptr) return {};
  gsize size = 0;
  const char* data = static_cast<const char*>(g_bytes_get_data(bytes, &size));
  std::u16string text = data != nullptr ? Utf8ToUtf16(std::string_view(data, size)) : u"";
  g_bytes_unref(bytes);
  return text;
}

std::optional<std::int32_t> ParsePixelLength(std::string_view text) {
  if (text.size() < 3 || text.substr(text.size() - 2) != "px") return std::nullopt;
  text.remove_suffix(2);
  std::size_t i = 0;
  bool negative = false;
  if (text[0] == '-' || text[0] == '+') {
    negative = text[0] == '-';
    ++i;
  }
  std::size_t digits_start = i;
  double value = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9')
    value = value * 10 + (text[i++] - '0');
  if (i == digits_start) return std::nullopt;
  if (i < text.size()) {
    // A fraction is allowed and dropped; anything else is no pixel length.
    if (text[i] != '.') return std::nullopt;
    for (++i; i < text.size(); ++i) {
      if (text[i] < '0' || text[i] > '9') return std::nullopt;
    }
  }
  if (value > 2147483647.0) return std::nullopt;
  auto result = static_cast<std::int32_t>(value);
  return negative ? -result : result;
}

JsElement::JsElement(JSCContext* context, JSCValue* value)
    : context_(context), value_(JSC_VALUE(g_object_ref(value))) {
  g_object_ref(context_);
}

JsElement::~JsElement() {
  g_object_unref(value_);
  g_object_unref(context_);
}

std::u16string JsElement::Id() { return TextProperty(context_, value_, "id"); }

std::u16string JsElement::TagName() {
  return AsciiUpper(TextProperty(context_, value_, "tagName"));
}

void JsElement::SetInnerHtml(std::u16string_view html) {
  JscRef text(ToJsString(context_, html));
  jsc_value_object_set_property(value_, "innerHTML", text.get());
  jsc_context_clear_exception(context_);
}

void JsElement::SetOuterHtml(std::u16string_view html) {
  JscRef text(ToJsString(context_, html));
  jsc_value_object_set_property(value_, "outerHTML", text.get());
  jsc_context_clear_exception(context_);
}

void JsElement::SetInnerText(std::u16string_view text) {
  JscRef value(ToJsString(context_, text));
  if (TagName() == u"TEXTAREA") {
    // A text area's innerText drops line breaks and stops showing once the
    // user has typed; its content and its shown value keep the text whole.
    jsc_value_object_set_property(value_, "textContent", value.get());
    jsc_context_clear_exception(context_);
    jsc_value_object_set_property(value_, "value", value.get());
  } else {
    jsc_value_object_set_property(value_, "innerText", value.get());
  }
  jsc_context_clear_exception(context_);
}

void JsElement::SetAttributeValue(std::u16string_view name, JSCValue* value) {
  JscRef js_name(ToJsString(context_, name));
  JscRef result(jsc_value_object_invoke_method(value_, "setAttribute", JSC_TYPE_VALUE,
                                               js_name.get(), JSC_TYPE_VALUE, value, G_TYPE_NONE));
  jsc_context_clear_exception(context_);
  // The attribute alone no longer changes what a form field shows once the
  // user has typed into it; the control means the shown value, so set that too.
  if (name == u"value" && jsc_value_object_has_property(value_, "value")) {
    jsc_value_object_set_property(value_, "value", value);
    jsc_context_clear_exception(context_);
  }
}

void JsElement::SetAttribute(std::u16string_view name, std::u16string_view value,
                             std::int32_t /*flags*/) {
  JscRef text(ToJsString(context_, value));
  SetAttributeValue(name, text.get());
}

void JsElement::SetAttribute(std::u16string_view name, std::int32_t value, std::int32_t /*flags*/) {
  JscRef number(jsc_value_new_number(context_, value));
  SetAttributeValue(name, number.get());
}

void JsElement::SetStyle(const char* property, JSCValue* value) {
  JscRef style(jsc_value_object_get_property(value_, "style"));
  jsc_context_clear_exception(context_);
  if (!style.IsObject()) return;
  jsc_value_object_set_property(style.get(), property, value);
  jsc_context_clear_exception(context_);
}

void JsElement::SetStyleLeft(std::int32_t px) {
  JscRef text(ToJsString(context_, PixelText(px)));
  SetStyle("left", text.get());
}

void JsElement::SetStyleTop(std::int32_t px) {
  JscRef text(ToJsString(context_, PixelText(px)));
  SetStyle("top", text.get());
}

void JsElement::SetStyleVisibility(std::u16string_view value) {
  JscRef text(ToJsString(context_, value));
  SetStyle("visibility", text.get());
}

void JsElement::SetStyleColor(std::u16string_view value) {
  JscRef text(ToJsString(context_, value));
  SetStyle("color", text.get());
}

void JsElement::SetStyleFontFamily(std::u16string_view value) {
  JscRef text(ToJsString(context_, value));
  SetStyle("fontFamily", text.get());
}

void JsElement::SetStyleFontSize(std::int32_t px) {
  JscRef text(ToJsString(context_, PixelText(px)));
  SetStyle("fontSize", text.get());
}

std::optional<std::int32_t> JsElement::PixelPosition(const char* style_property,
                                                     const char* offset_property) {
  JscRef style(jsc_value_object_get_property(value_, "style"));
  jsc_context_clear_exception(context_);
  if (!style.IsObject()) return std::nullopt;
  // The inline position the page or the control set, as the page reports it
  // to SetWndPos; the laid-out offset when there is none in pixels.
  std::string inline_value = Utf16ToUtf8(TextProperty(context_, style.get(), style_property));
  if (std::optional<std::int32_t> px = ParsePixelLength(inline_value)) return px;
  // A window the page keeps out of the drawing (aria-hidden: under a pile,
  // hidden, or not read yet) has no layout of its own: its place is read
  // with it drawn for a moment.
  static const char kLaidOut[] =
      "(function (e, p) {"
      "  if (typeof e.getAttribute !== 'function' || e.getAttribute('aria-hidden') !== 'true')"
      "    return e[p];"
      "  e.removeAttribute('aria-hidden');"
      "  var v = e[p];"
      "  e.setAttribute('aria-hidden', 'true');"
      "  return v;"
      "})";
  JscRef read(jsc_context_evaluate(context_, kLaidOut, -1));
  jsc_context_clear_exception(context_);
  JscRef property(jsc_value_new_string(context_, offset_property));
  JSCValue* args[] = {value_, property.get()};
  JscRef offset(read.get() != nullptr && jsc_value_is_function(read.get())
                    ? jsc_value_function_callv(read.get(), 2, args)
                    : jsc_value_object_get_property(value_, offset_property));
  jsc_context_clear_exception(context_);
  if (offset.get() != nullptr && jsc_value_is_number(offset.get())) {
    double number = jsc_value_to_double(offset.get());
    if (std::isfinite(number)) return jsc_value_to_int32(offset.get());
  }
  return 0;
}

std::optional<std::int32_t> JsElement::PixelLeft() { return PixelPosition("left", "offsetLeft"); }
std::optional<std::int32_t> JsElement::PixelTop() { return PixelPosition("top", "offsetTop"); }

void JsElement::ForEachDescendant(const std::function<void(Element&)>& fn) {
  JscRef all(
      jsc_value_object_invoke_method(value_, "querySelectorAll", G_TYPE_STRING, "*", G_TYPE_NONE));
  jsc_context_clear_exception(context_);
  if (!all.IsObject()) return;
  JscRef length(jsc_value_object_get_property(all.get(), "length"));
  jsc_context_clear_exception(context_);
  if (length.get() == nullptr || !jsc_value_is_number(length.get())) return;
  std::int32_t count = jsc_value_to_int32(length.get());
  // A static list in document order: styling an element never changes it.
  for (std::int32_t i = 0; i < count; ++i) {
    JscRef item(jsc_value_object_get_property_at_index(all.get(), static_cast<guint>(i)));
    jsc_context_clear_exception(context_);
    if (!item.IsObject()) continue;
    JsElement element(context_, item.get());
    fn(element);
  }
}

JsDocument::JsDocument(JSCContext* context, JSCValue* document)
    : context_(JSC_CONTEXT(g_object_ref(context))),
      value_(document != nullptr && jsc_value_is_object(document)
                 ? JSC_VALUE(g_object_ref(document))
                 : nullptr) {}

JsDocument::~JsDocument() {
  if (value_ != nullptr) g_object_unref(value_);
  g_object_unref(context_);
}

std::unique_ptr<Element> JsDocument::FindElementById(std::u16string_view id) {
  // The document's own index answers as a scan in document order would: the
  // first element with exactly this id. An empty id names no element.
  if (value_ == nullptr || id.empty()) return nullptr;
  // An id the page's strings can't carry exactly (a lone surrogate) would
  // match a different id; it matches nothing.
  if (Utf8ToUtf16(Utf16ToUtf8(id)) != id) return nullptr;
  JscRef js_id(ToJsString(context_, id));
  JscRef found(jsc_value_object_invoke_method(value_, "getElementById", JSC_TYPE_VALUE, js_id.get(),
                                              G_TYPE_NONE));
  jsc_context_clear_exception(context_);
  if (!found.IsObject()) return nullptr;
  return std::make_unique<JsElement>(context_, found.get());
}

std::unique_ptr<Element> JsDocument::Body() {
  if (value_ == nullptr) return nullptr;
  JscRef body(jsc_value_object_get_property(value_, "body"));
  jsc_context_clear_exception(context_);
  if (!body.IsObject()) return nullptr;
  return std::make_unique<JsElement>(context_, body.get());
}

}  // namespace vellumine::desktop
