#include "hosts/desktop/fast_document.h"

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>

#include "hosts/desktop/js_document.h"
#include "hosts/desktop/jsc_ref.h"
#include "page/text.h"

namespace vellumine::desktop {
namespace {

std::u16string PixelText(std::int32_t px) { return Utf8ToUtf16(std::to_string(px) + "px"); }

class FastElement : public Element {
 public:
  // Takes a new reference to value, an element of the page; id, when not
  // empty, is the id it was found by.
  FastElement(FastDocument& document, JSCValue* value, std::u16string id = {})
      : document_(document), value_(JSC_VALUE(g_object_ref(value))), id_(std::move(id)) {}
  ~FastElement() override { g_object_unref(value_); }
  FastElement(const FastElement&) = delete;
  FastElement& operator=(const FastElement&) = delete;

  std::u16string Id() override { return Property("id"); }
  std::u16string TagName() override { return AsciiUpper(Property("tagName")); }
  void SetInnerHtml(std::u16string_view html) override;
  void SetOuterHtml(std::u16string_view html) override { Write("outer", html); }
  void SetInnerText(std::u16string_view text) override { Write("text", text); }
  void SetAttribute(std::u16string_view name, std::u16string_view value,
                    std::int32_t /*flags*/) override {
    JscRef js_name(ToJsString(document_.context(), name));
    JscRef js_value(ToJsString(document_.context(), value));
    JscRef done(document_.Call("attr", {value_, js_name.get(), js_value.get()}));
  }
  void SetAttribute(std::u16string_view name, std::int32_t value, std::int32_t /*flags*/) override {
    JscRef js_name(ToJsString(document_.context(), name));
    JscRef number(jsc_value_new_number(document_.context(), value));
    JscRef done(document_.Call("attr", {value_, js_name.get(), number.get()}));
  }
  void SetStyleLeft(std::int32_t px) override { Style("left", PixelText(px)); }
  void SetStyleTop(std::int32_t px) override { Style("top", PixelText(px)); }
  void SetStyleVisibility(std::u16string_view value) override { Style("visibility", value); }
  void SetStyleColor(std::u16string_view value) override { Style("color", value); }
  void SetStyleFontFamily(std::u16string_view value) override { Style("fontFamily", value); }
  void SetStyleFontSize(std::int32_t px) override { Style("fontSize", PixelText(px)); }
  std::optional<std::int32_t> PixelLeft() override { return Pixel("left", "offsetLeft"); }
  std::optional<std::int32_t> PixelTop() override { return Pixel("top", "offsetTop"); }

  void ForEachDescendant(const std::function<void(Element&)>& fn) override;

 private:
  std::u16string Property(const char* name) {
    JscRef value(jsc_value_object_get_property(value_, name));
    jsc_context_clear_exception(document_.context());
    if (value.get() == nullptr || jsc_value_is_null(value.get()) ||
        jsc_value_is_undefined(value.get())) {
      return {};
    }
    return FromJsString(value.get());
  }
  void Write(const char* method, std::u16string_view text) {
    JscRef js_text(ToJsString(document_.context(), text));
    JscRef done(document_.Call(method, {value_, js_text.get()}));
  }
  void Style(const char* property, std::u16string_view value) {
    JscRef js_property(jsc_value_new_string(document_.context(), property));
    JscRef js_value(ToJsString(document_.context(), value));
    JscRef done(document_.Call("style", {value_, js_property.get(), js_value.get()}));
  }
  // The inline position the page or the control set, as the page reports it
  // to SetWndPos; the laid-out offset when there is none in pixels.
  std::optional<std::int32_t> Pixel(const char* style_property, const char* offset_property) {
    JscRef js_property(jsc_value_new_string(document_.context(), style_property));
    JscRef inline_value(document_.Call("inline", {value_, js_property.get()}));
    if (!inline_value.IsString()) return std::nullopt;
    if (std::optional<std::int32_t> px =
            ParsePixelLength(Utf16ToUtf8(FromJsString(inline_value.get())))) {
      return px;
    }
    JscRef js_offset(jsc_value_new_string(document_.context(), offset_property));
    JscRef offset(document_.Call("layout", {value_, js_offset.get()}));
    if (offset.get() != nullptr && jsc_value_is_number(offset.get())) {
      double number = jsc_value_to_double(offset.get());
      if (std::isfinite(number)) return jsc_value_to_int32(offset.get());
    }
    return 0;
  }

  FastDocument& document_;
  JSCValue* value_;
  std::u16string id_;
};

// What a walk's element becomes when it is no longer there: writes go
// nowhere, reads find nothing.
class MissingElement : public Element {
 public:
  std::u16string Id() override { return {}; }
  std::u16string TagName() override { return {}; }
  void SetInnerHtml(std::u16string_view) override {}
  void SetOuterHtml(std::u16string_view) override {}
  void SetInnerText(std::u16string_view) override {}
  void SetAttribute(std::u16string_view, std::u16string_view, std::int32_t) override {}
  void SetAttribute(std::u16string_view, std::int32_t, std::int32_t) override {}
  void SetStyleLeft(std::int32_t) override {}
  void SetStyleTop(std::int32_t) override {}
  void SetStyleVisibility(std::u16string_view) override {}
  void SetStyleColor(std::u16string_view) override {}
  void SetStyleFontFamily(std::u16string_view) override {}
  void SetStyleFontSize(std::int32_t) override {}
  std::optional<std::int32_t> PixelLeft() override { return std::nullopt; }
  std::optional<std::int32_t> PixelTop() override { return std::nullopt; }
  void ForEachDescendant(const std::function<void(Element&)>&) override {}
};

// One element of a descendant walk, known by its place in the walk. Its
// style writes wait in the document until the walk ends; anything else
// sends them first and then works on the element itself.
class ListedElement : public Element {
 public:
  ListedElement(FastDocument& document, std::int32_t index, std::u16string tag)
      : document_(document), index_(index), tag_(std::move(tag)) {}

  std::u16string Id() override { return Itself().Id(); }
  std::u16string TagName() override { return tag_; }
  void SetInnerHtml(std::u16string_view html) override { Itself().SetInnerHtml(html); }
  void SetOuterHtml(std::u16string_view html) override { Itself().SetOuterHtml(html); }
  void SetInnerText(std::u16string_view text) override { Itself().SetInnerText(text); }
  void SetAttribute(std::u16string_view name, std::u16string_view value,
                    std::int32_t flags) override {
    Itself().SetAttribute(name, value, flags);
  }
  void SetAttribute(std::u16string_view name, std::int32_t value, std::int32_t flags) override {
    Itself().SetAttribute(name, value, flags);
  }
  void SetStyleLeft(std::int32_t px) override { Itself().SetStyleLeft(px); }
  void SetStyleTop(std::int32_t px) override { Itself().SetStyleTop(px); }
  void SetStyleVisibility(std::u16string_view value) override {
    Itself().SetStyleVisibility(value);
  }
  void SetStyleColor(std::u16string_view value) override { Queue(u'c', value); }
  void SetStyleFontFamily(std::u16string_view value) override { Queue(u'f', value); }
  void SetStyleFontSize(std::int32_t px) override { Queue(u's', PixelText(px)); }
  std::optional<std::int32_t> PixelLeft() override { return Itself().PixelLeft(); }
  std::optional<std::int32_t> PixelTop() override { return Itself().PixelTop(); }
  void ForEachDescendant(const std::function<void(Element&)>& fn) override {
    Itself().ForEachDescendant(fn);
  }

 private:
  void Queue(char16_t property, std::u16string_view value) {
    document_.QueueStyle(index_, property, value);
  }
  Element& Itself() {
    document_.SendStyles();
    if (!itself_) {
      JscRef index(jsc_value_new_number(document_.context(), index_));
      JscRef item(document_.Call("item", {index.get()}));
      if (item.IsObject()) itself_ = std::make_unique<FastElement>(document_, item.get());
    }
    if (!itself_) return missing_;
    return *itself_;
  }

  FastDocument& document_;
  std::int32_t index_;
  std::u16string tag_;
  std::unique_ptr<FastElement> itself_;
  MissingElement missing_;
};

void FastElement::SetInnerHtml(std::u16string_view html) {
  WrittenMarkup& written = document_.written();
  if (!id_.empty()) {
    // The same markup as last time for this id: the writer keeps the content
    // if it is still the one it wrote then.
    if (const WrittenMarkup::Entry* last = written.Find(id_);
        last != nullptr && last->markup == html) {
      JscRef number(jsc_value_new_number(document_.context(), last->number));
      JscRef kept(document_.Call("again", {value_, number.get()}));
      if (kept.get() != nullptr && jsc_value_is_boolean(kept.get()) &&
          jsc_value_to_boolean(kept.get())) {
        return;
      }
    }
  }
  JscRef js_text(ToJsString(document_.context(), html));
  JscRef number(
      jsc_value_new_number(document_.context(), id_.empty() ? 0 : written.Record(id_, html)));
  JscRef done(document_.Call("html", {value_, js_text.get(), number.get()}));
}

void FastElement::ForEachDescendant(const std::function<void(Element&)>& fn) {
  document_.SendStyles();
  WrittenMarkup& written = document_.written();
  JscRef number(document_.Call("descendants", {value_}));
  if (number.get() == nullptr || !jsc_value_is_number(number.get())) return;
  // The writer numbers its lists: the names of one listed before are kept
  // here, those of any other are asked for once.
  const double listed = jsc_value_to_double(number.get());
  std::u16string all;
  if (!written.FindTags(listed, all)) {
    JscRef names(document_.Call("tags", {}));
    if (!names.IsString()) return;
    all = AsciiUpper(FromJsString(names.get()));
    written.KeepTags(listed, all);
  }
  if (all.empty()) return;
  std::int32_t index = 0;
  std::size_t pos = 0;
  while (pos <= all.size()) {
    std::size_t end = all.find(u'\n', pos);
    if (end == std::u16string::npos) end = all.size();
    ListedElement element(document_, index++, all.substr(pos, end - pos));
    fn(element);
    pos = end + 1;
  }
  document_.SendStyles();
}

}  // namespace

const char* PageWriterScript() {
  static const char kScript[] =
#include "page_writer_script.inc"
      ;
  return kScript;
}

JSCValue* MakePageWriter(JSCContext* context) {
  JSCValue* writer = jsc_context_evaluate(context, PageWriterScript(), -1);
  const bool made = jsc_context_get_exception(context) == nullptr && writer != nullptr &&
                    jsc_value_is_object(writer);
  jsc_context_clear_exception(context);
  if (!made) {
    if (writer != nullptr) g_object_unref(writer);
    return nullptr;
  }
  return writer;
}

const WrittenMarkup::Entry* WrittenMarkup::Find(std::u16string_view id) const {
  const auto it = entries_.find(std::u16string(id));
  return it == entries_.end() ? nullptr : &it->second;
}

double WrittenMarkup::Record(std::u16string_view id, std::u16string_view markup) {
  // Ids of windows long gone would pile up over a long session: past what a
  // page at capacity writes, the record starts afresh (the next write of each
  // id then sends its markup once).
  if (entries_.size() >= kMaxEntries && entries_.find(std::u16string(id)) == entries_.end()) {
    entries_.clear();
  }
  Entry& entry = entries_[std::u16string(id)];
  entry.markup.assign(markup);
  entry.number = next_++;
  return entry.number;
}

bool WrittenMarkup::FindTags(double number, std::u16string& tags) const {
  for (const auto& [kept, names] : lists_) {
    if (kept == number) {
      tags = names;
      return true;
    }
  }
  return false;
}

void WrittenMarkup::KeepTags(double number, const std::u16string& tags) {
  if (number == 0) return;  // no list to name again
  if (tags.size() > kKeptUnits) return;
  while (!lists_.empty() &&
         (lists_.size() >= kKeptLists || kept_units_ + tags.size() > kKeptUnits)) {
    kept_units_ -= lists_.front().second.size();
    lists_.pop_front();
  }
  lists_.emplace_back(number, tags);
  kept_units_ += tags.size();
}

FastDocument::FastDocument(JSCContext* context, JSCValue* writer, WrittenMarkup& written)
    : context_(JSC_CONTEXT(g_object_ref(context))),
      writer_(JSC_VALUE(g_object_ref(writer))),
      written_(written) {}

FastDocument::~FastDocument() {
  g_object_unref(writer_);
  g_object_unref(context_);
}

bool FastDocument::Owns(JSCContext* context, JSCValue* writer, JSCValue* document) {
  if (document == nullptr || !jsc_value_is_object(document)) return false;
  JSCValue* args[] = {document};
  JscRef owns(jsc_value_object_invoke_methodv(writer, "owns", 1, args));
  jsc_context_clear_exception(context);
  return owns.get() != nullptr && jsc_value_is_boolean(owns.get()) &&
         jsc_value_to_boolean(owns.get());
}

JSCValue* FastDocument::Call(const char* method, std::initializer_list<JSCValue*> args) {
  JSCValue* result = jsc_value_object_invoke_methodv(writer_, method, args.size(),
                                                     const_cast<JSCValue**>(args.begin()));
  if (jsc_context_get_exception(context_) != nullptr) {
    jsc_context_clear_exception(context_);
    if (result != nullptr) g_object_unref(result);
    return nullptr;
  }
  return result;
}

namespace {

// A redraw queues tens of thousands of writes: the numbers go straight into
// the batch, with no string made for each.
void AppendNumber(std::u16string& out, std::uint64_t n) {
  char16_t digits[20];
  std::size_t count = 0;
  do {
    digits[count++] = static_cast<char16_t>(u'0' + n % 10);
    n /= 10;
  } while (n != 0);
  while (count > 0) out += digits[--count];
}

}  // namespace

void FastDocument::QueueStyle(std::int32_t index, char16_t property, std::u16string_view value) {
  // A walk gives most elements the value it gave the one before: that one
  // is "=", so the batch carries each value once per run and the page makes
  // one string of it. An element is named by its step from the one written
  // last (nothing for the same one): a page's walk at capacity makes tens of
  // thousands of writes, and the batch crosses to the page as a copy.
  const int slot = property == u'c' ? 0 : property == u'f' ? 1 : property == u's' ? 2 : -1;
  const std::int64_t step = std::int64_t{index} - last_index_;
  last_index_ = index;
  if (step < 0) pending_styles_ += u'-';
  if (step != 0) AppendNumber(pending_styles_, static_cast<std::uint64_t>(step < 0 ? -step : step));
  pending_styles_ += u':';
  pending_styles_ += property;
  pending_styles_ += u':';
  if (slot >= 0 && last_styles_[slot] == value) {
    pending_styles_ += u'=';
    return;
  }
  AppendNumber(pending_styles_, value.size());
  pending_styles_ += u':';
  pending_styles_ += value;
  if (slot >= 0) last_styles_[slot].emplace(value);
}

void FastDocument::SendStyles() {
  if (pending_styles_.empty()) return;
  JscRef batch(ToJsString(context_, pending_styles_));
  pending_styles_.clear();
  for (auto& last : last_styles_) last.reset();
  last_index_ = 0;
  JscRef done(Call("styles", {batch.get()}));
}

std::unique_ptr<Element> FastDocument::FindElementById(std::u16string_view id) {
  // An empty id names no element; an id the page's strings can't carry
  // exactly (a lone surrogate) would match a different id: none either.
  if (id.empty() || Utf8ToUtf16(Utf16ToUtf8(id)) != id) return nullptr;
  SendStyles();
  JscRef js_id(ToJsString(context_, id));
  JscRef found(Call("find", {js_id.get()}));
  if (!found.IsObject()) return nullptr;
  return std::make_unique<FastElement>(*this, found.get(), std::u16string(id));
}

std::unique_ptr<Element> FastDocument::Body() {
  SendStyles();
  JscRef body(Call("body", {}));
  if (!body.IsObject()) return nullptr;
  return std::make_unique<FastElement>(*this, body.get());
}

void FastDocument::Finish() {
  SendStyles();
  JscRef done(Call("end", {}));
}

}  // namespace vellumine::desktop
