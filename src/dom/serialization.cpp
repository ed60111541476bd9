#include "dom/serialization.h"

#include <string_view>
#include <vector>

namespace vellumine::html {
namespace {

void AppendEscaped(std::string& out, std::string_view s, bool attribute) {
  for (std::size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    if (c == '&') {
      out += "&amp;";
    } else if (c == '\xC2' && i + 1 < s.size() && s[i + 1] == '\xA0') {
      out += "&nbsp;";
      ++i;
    } else if (attribute && c == '"') {
      out += "&quot;";
    } else if (!attribute && c == '<') {
      out += "&lt;";
    } else if (!attribute && c == '>') {
      out += "&gt;";
    } else {
      out.push_back(c);
    }
  }
}

void AppendStartTag(std::string& out, const Node& n) {
  out.push_back('<');
  out += n.str;
  for (const auto& [name, value] : n.attrs) {
    out.push_back(' ');
    out += name;
    out += "=\"";
    AppendEscaped(out, value, true);
    out.push_back('"');
  }
  out.push_back('>');
}

}  // namespace

// Serializes node itself (outer) or only its children; iterative for the
// same reason as ~Node.
void SerializeNode(std::string& out, const Node& root, bool include_self) {
  struct Step {
    const Node* node;
    bool close;  // write the end tag of node
  };
  std::vector<Step> pending;
  auto push_children = [&pending](const Node& n) {
    for (auto it = n.children.rbegin(); it != n.children.rend(); ++it) {
      pending.push_back({it->get(), false});
    }
  };
  if (include_self) {
    pending.push_back({&root, false});
  } else {
    push_children(root);
  }
  while (!pending.empty()) {
    const Step step = pending.back();
    pending.pop_back();
    const Node& n = *step.node;
    if (step.close) {
      out += "</";
      out += n.str;
      out.push_back('>');
      continue;
    }
    switch (n.kind) {
      case Node::Kind::kElement:
        AppendStartTag(out, n);
        if (IsVoid(n)) break;
        pending.push_back({&n, true});
        push_children(n);
        break;
      case Node::Kind::kText:
        if (IsRawText(n.parent)) {
          out += n.str;
        } else {
          AppendEscaped(out, n.str, false);
        }
        break;
      case Node::Kind::kComment:
        out += "<!--";
        out += n.str;
        out += "-->";
        break;
      case Node::Kind::kDocument:
        push_children(n);
        break;
    }
  }
}

}  // namespace vellumine::html
