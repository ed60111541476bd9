// The in-memory document under random writes: fragments written as inner or
// outer HTML, texts, and id changes. After every write, the indexed lookup of
// each id answers as a document-order scan of the body does: the first
// element carrying the id, or none.
#include <fuzzer/FuzzedDataProvider.h>

#include <memory>
#include <string>
#include <vector>

#include "dom/html_document.h"
#include "fuzz/fuzz_support.h"
#include "page/text.h"

using namespace vellumine;

namespace {

const char kPage[] =
    "<!DOCTYPE html><html><head><title>t</title></head><body>"
    "<div id=\"a\"><p id=\"b\">x</p><div id=\"c\"></div></div>"
    "<table id=\"t\"><tr id=\"r\"><td id=\"d\">1</td></tr></table>"
    "<select id=\"s\"><option id=\"o\">1</option></select>"
    "<form id=\"f\"><textarea id=\"x\"></textarea><input id=\"i\"></form>"
    "<pre id=\"a\">second a</pre><ul id=\"u\"><li id=\"l\">1</li></ul></body></html>";

const char* const kIds[] = {"a", "b", "c", "d", "t", "r", "s", "o", "f", "x", "i", "u", "l", "e"};

const char* const kTags[] = {"div",    "p",    "span",  "table", "tr",       "td",     "select",
                             "option", "form", "pre",   "ul",    "li",       "b",      "textarea",
                             "input",  "br",   "tbody", "svg",   "template", "script", "title"};

std::string Id(FuzzedDataProvider& in) {
  return kIds[in.ConsumeIntegralInRange<std::size_t>(0, std::size(kIds) - 1)];
}

// A fragment: raw bytes, or elements of assorted kinds carrying pooled ids.
std::string Fragment(FuzzedDataProvider& in) {
  if (in.ConsumeBool()) return in.ConsumeRandomLengthString(160);
  std::string out;
  std::vector<std::string> open;
  const int pieces = in.ConsumeIntegralInRange(0, 8);
  for (int i = 0; i < pieces; ++i) {
    switch (in.ConsumeIntegralInRange(0, 3)) {
      case 0:
      case 1: {
        const std::string tag =
            kTags[in.ConsumeIntegralInRange<std::size_t>(0, std::size(kTags) - 1)];
        out += "<" + tag;
        if (in.ConsumeBool()) out += " id=\"" + Id(in) + "\"";
        out += ">";
        open.push_back(tag);
        break;
      }
      case 2:
        if (!open.empty()) {
          out += "</" + open.back() + ">";
          open.pop_back();
        }
        break;
      default:
        out += in.ConsumeRandomLengthString(12);
        break;
    }
  }
  while (!open.empty() && in.ConsumeBool()) {
    out += "</" + open.back() + ">";
    open.pop_back();
  }
  return out;
}

int marker = 0;

// One document-order walk of the body marks the first element of each pooled
// id with a fresh left position; the indexed lookup must find that element.
void CheckIndex(HtmlDocument& doc) {
  struct First {
    bool found = false;
    bool marked = false;
    int mark = 0;
  };
  std::vector<First> first(std::size(kIds));
  std::vector<std::u16string> ids;
  for (const char* id : kIds) ids.push_back(Utf8ToUtf16(id));
  if (std::unique_ptr<Element> body = doc.Body()) {
    body->ForEachDescendant([&](Element& e) {
      const std::u16string id = e.Id();
      if (id.empty()) return;
      for (std::size_t i = 0; i < ids.size(); ++i) {
        if (ids[i] != id || first[i].found) continue;
        first[i].found = true;
        first[i].mark = ++marker % 1000000 + 1;
        e.SetStyleLeft(first[i].mark);
        first[i].marked = e.PixelLeft() == first[i].mark;
      }
    });
  }
  for (std::size_t i = 0; i < ids.size(); ++i) {
    std::unique_ptr<Element> indexed = doc.FindElementById(ids[i]);
    if (!first[i].found) {
      FUZZ_CHECK(indexed == nullptr);
      FUZZ_CHECK(!doc.OuterHtmlById(ids[i]).has_value());
      continue;
    }
    FUZZ_CHECK(indexed != nullptr);
    FUZZ_CHECK(indexed->Id() == ids[i]);
    if (first[i].marked) FUZZ_CHECK(indexed->PixelLeft() == first[i].mark);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  std::unique_ptr<HtmlDocument> doc = HtmlDocument::Parse(kPage);
  CheckIndex(*doc);
  for (int step = 0; step < 12 && in.remaining_bytes() > 0; ++step) {
    const std::u16string target = Utf8ToUtf16(Id(in));
    std::unique_ptr<Element> e = doc->FindElementById(target);
    const int op = in.ConsumeIntegralInRange(0, 5);
    if (!e) continue;
    switch (op) {
      case 0:
      case 1:
        e->SetInnerHtml(Utf8ToUtf16(Fragment(in)));
        break;
      case 2:
      case 3: {
        e->SetOuterHtml(Utf8ToUtf16(Fragment(in)));
        // Every target lies inside the body, so the replacement happens and
        // the handle goes stale: writing through it changes nothing.
        const std::string before = doc->Serialize();
        e->SetInnerHtml(u"<b id=\"a\">stale</b>");
        e->SetAttribute(u"id", u"b", 0);
        FUZZ_CHECK(doc->Serialize() == before);
        break;
      }
      case 4:
        e->SetInnerText(Utf8ToUtf16(in.ConsumeRandomLengthString(40)));
        break;
      default:
        e->SetAttribute(u"id", Utf8ToUtf16(Id(in)), 0);
        break;
    }
    CheckIndex(*doc);
  }
  FUZZ_CHECK(!doc->Serialize().empty());
  return 0;
}
