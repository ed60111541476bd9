#include "hosts/cli/trace_document.h"

#include "hosts/cli/json_text.h"

namespace vellumine::cli {

TracingDocument::TracingDocument(Document& inner, LineSink sink)
    : inner_(inner), sink_(std::move(sink)) {}

std::unique_ptr<Element> TracingDocument::FindElementById(std::u16string_view id) {
  std::unique_ptr<Element> element = inner_.FindElementById(id);
  if (!element) return nullptr;
  return std::make_unique<TracingElement>(std::move(element), sink_);
}

std::unique_ptr<Element> TracingDocument::Body() {
  std::unique_ptr<Element> element = inner_.Body();
  if (!element) return nullptr;
  return std::make_unique<TracingElement>(std::move(element), sink_);
}

TracingElement::TracingElement(std::unique_ptr<Element> owned, const LineSink& sink)
    : owned_(std::move(owned)), inner_(owned_.get()), sink_(sink) {}

TracingElement::TracingElement(Element& borrowed, const LineSink& sink)
    : inner_(&borrowed), sink_(sink) {}

std::string TracingElement::Begin(const char* op) {
  std::string line = "{\"op\":\"";
  line += op;
  line += "\",\"id\":";
  AppendJsonString(line, inner_->Id());
  return line;
}

std::string TracingElement::BeginStyle(const char* prop) {
  std::string line = Begin("style");
  line += ",\"tag\":";
  AppendJsonString(line, inner_->TagName());
  line += ",\"prop\":\"";
  line += prop;
  line += '"';
  return line;
}

void TracingElement::Finish(std::string& line, std::u16string_view value) {
  line += ",\"value\":";
  AppendJsonString(line, value);
  line += '}';
  sink_(line);
}

void TracingElement::Finish(std::string& line, std::int32_t value) {
  line += ",\"value\":";
  line += std::to_string(value);
  line += '}';
  sink_(line);
}

void TracingElement::SetInnerHtml(std::u16string_view html) {
  std::string line = Begin("innerHTML");
  inner_->SetInnerHtml(html);
  Finish(line, html);
}

void TracingElement::SetOuterHtml(std::u16string_view html) {
  std::string line = Begin("outerHTML");
  inner_->SetOuterHtml(html);
  Finish(line, html);
}

void TracingElement::SetInnerText(std::u16string_view text) {
  std::string line = Begin("innerText");
  inner_->SetInnerText(text);
  Finish(line, text);
}

void TracingElement::SetAttribute(std::u16string_view name, std::u16string_view value,
                                  std::int32_t flags) {
  std::string line = Begin("attribute");
  line += ",\"name\":";
  AppendJsonString(line, name);
  inner_->SetAttribute(name, value, flags);
  Finish(line, value);
}

void TracingElement::SetAttribute(std::u16string_view name, std::int32_t value,
                                  std::int32_t flags) {
  std::string line = Begin("attribute");
  line += ",\"name\":";
  AppendJsonString(line, name);
  inner_->SetAttribute(name, value, flags);
  Finish(line, value);
}

void TracingElement::SetStyleLeft(std::int32_t px) {
  std::string line = BeginStyle("left");
  inner_->SetStyleLeft(px);
  Finish(line, px);
}

void TracingElement::SetStyleTop(std::int32_t px) {
  std::string line = BeginStyle("top");
  inner_->SetStyleTop(px);
  Finish(line, px);
}

void TracingElement::SetStyleVisibility(std::u16string_view value) {
  std::string line = BeginStyle("visibility");
  inner_->SetStyleVisibility(value);
  Finish(line, value);
}

void TracingElement::SetStyleColor(std::u16string_view value) {
  std::string line = BeginStyle("color");
  inner_->SetStyleColor(value);
  Finish(line, value);
}

void TracingElement::SetStyleFontFamily(std::u16string_view value) {
  std::string line = BeginStyle("fontFamily");
  inner_->SetStyleFontFamily(value);
  Finish(line, value);
}

void TracingElement::SetStyleFontSize(std::int32_t px) {
  std::string line = BeginStyle("fontSize");
  inner_->SetStyleFontSize(px);
  Finish(line, px);
}

void TracingElement::ForEachDescendant(const std::function<void(Element&)>& fn) {
  inner_->ForEachDescendant([&](Element& element) {
    TracingElement traced(element, sink_);
    fn(traced);
  });
}

}  // namespace vellumine::cli
