#include "tests/page_structure.h"

#include <gumbo.h>

#include <algorithm>
#include <cctype>

namespace vellumine::testing {
namespace {

std::string Trimmed(std::string_view s) {
  const auto space = [](char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
  };
  while (!s.empty() && space(s.front())) s.remove_prefix(1);
  while (!s.empty() && space(s.back())) s.remove_suffix(1);
  return std::string(s);
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string TagOf(const GumboElement& e) {
  if (e.tag != GUMBO_TAG_UNKNOWN) return gumbo_normalized_tagname(e.tag);
  GumboStringPiece original = e.original_tag;
  gumbo_tag_from_original_text(&original);
  return Lower(std::string(original.data != nullptr ? original.data : "", original.length));
}

const char* NamespaceOf(GumboNamespaceEnum ns) {
  switch (ns) {
    case GUMBO_NAMESPACE_SVG:
      return "svg:";
    case GUMBO_NAMESPACE_MATHML:
      return "math:";
    default:
      return "";
  }
}

std::string AttributeLine(const GumboAttribute& a) {
  const std::string name = a.name;
  if (name == "style") {
    std::string out = " style{";
    for (const std::string& p : StyleProperties(a.value)) out += p + ";";
    return out + "}";
  }
  if (name == "src" || name == "value") return " " + name + "=*";
  return " " + name + "=\"" + a.value + "\"";
}

}  // namespace

std::vector<std::string> StyleProperties(std::string_view style) {
  std::vector<std::string> out;
  auto push = [&out](std::string_view d) {
    const std::string text = Trimmed(d);
    if (text.empty()) return;
    const std::size_t colon = text.find(':');
    out.push_back(colon == std::string::npos ? "?" + text : Lower(Trimmed(text.substr(0, colon))));
  };
  std::size_t start = 0;
  int depth = 0;
  char quote = 0;
  for (std::size_t i = 0; i < style.size(); ++i) {
    const char c = style[i];
    if (c == '\\') {
      ++i;
    } else if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '(') {
      ++depth;
    } else if (c == ')') {
      if (depth > 0) --depth;
    } else if (c == ';' && depth == 0) {
      push(style.substr(start, i - start));
      start = i + 1;
    }
  }
  if (start < style.size()) push(style.substr(start));
  // An unclosed string or bracket swallows what follows it: say so.
  if (quote != 0 || depth != 0) out.push_back("(unclosed)");
  return out;
}

std::vector<std::string> PageStructure(std::string_view html) {
  std::vector<std::string> lines;
  GumboOutput* output = gumbo_parse_with_options(&kGumboDefaultOptions, html.data(), html.size());
  struct Step {
    const GumboNode* node;
    int depth;
  };
  std::vector<Step> pending{{output->document, 0}};
  while (!pending.empty()) {
    const Step step = pending.back();
    pending.pop_back();
    const GumboNode* node = step.node;
    const GumboVector* children = nullptr;
    if (node->type == GUMBO_NODE_DOCUMENT) {
      children = &node->v.document.children;
    } else if (node->type == GUMBO_NODE_ELEMENT || node->type == GUMBO_NODE_TEMPLATE) {
      const GumboElement& e = node->v.element;
      std::string line(static_cast<std::size_t>(step.depth), ' ');
      line += std::string(NamespaceOf(e.tag_namespace)) + TagOf(e);
      for (unsigned i = 0; i < e.attributes.length; ++i) {
        line += AttributeLine(*static_cast<const GumboAttribute*>(e.attributes.data[i]));
      }
      lines.push_back(std::move(line));
      children = &e.children;
    } else if (node->type == GUMBO_NODE_COMMENT) {
      lines.push_back(std::string(static_cast<std::size_t>(step.depth), ' ') + "<!-- -->");
    }
    if (children == nullptr) continue;
    for (unsigned i = children->length; i > 0; --i) {
      pending.push_back({static_cast<const GumboNode*>(children->data[i - 1]), step.depth + 1});
    }
  }
  gumbo_destroy_output(&kGumboDefaultOptions, output);
  return lines;
}

std::string FirstDifference(const std::vector<std::string>& expected,
                            const std::vector<std::string>& actual) {
  const std::size_t n = std::min(expected.size(), actual.size());
  for (std::size_t i = 0; i < n; ++i) {
    if (expected[i] != actual[i]) {
      return "line " + std::to_string(i) + ": expected [" + expected[i] + "], got [" + actual[i] +
             "]";
    }
  }
  if (expected.size() != actual.size()) {
    const std::vector<std::string>& longer = expected.size() > n ? expected : actual;
    return "line " + std::to_string(n) + ": " + (expected.size() > n ? "missing" : "extra") + " [" +
           longer[n] + "]";
  }
  return "";
}

}  // namespace vellumine::testing
