#include "dom/node.h"

namespace vellumine::html {

std::string LowerAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = AsciiLower(c);
  return out;
}

bool IsVoid(const Node& n) {
  if (n.ns != GUMBO_NAMESPACE_HTML) return false;
  switch (n.tag) {
    case GUMBO_TAG_AREA:
    case GUMBO_TAG_BASE:
    case GUMBO_TAG_BASEFONT:
    case GUMBO_TAG_BGSOUND:
    case GUMBO_TAG_BR:
    case GUMBO_TAG_COL:
    case GUMBO_TAG_EMBED:
    case GUMBO_TAG_FRAME:
    case GUMBO_TAG_HR:
    case GUMBO_TAG_IMG:
    case GUMBO_TAG_INPUT:
    case GUMBO_TAG_KEYGEN:
    case GUMBO_TAG_LINK:
    case GUMBO_TAG_META:
    case GUMBO_TAG_PARAM:
    case GUMBO_TAG_SOURCE:
    case GUMBO_TAG_TRACK:
    case GUMBO_TAG_WBR:
      return true;
    default:
      return false;
  }
}

bool IsRawText(const Node* n) {
  if (n == nullptr || n->kind != Node::Kind::kElement || n->ns != GUMBO_NAMESPACE_HTML) {
    return false;
  }
  switch (n->tag) {
    case GUMBO_TAG_SCRIPT:
    case GUMBO_TAG_STYLE:
    case GUMBO_TAG_XMP:
    case GUMBO_TAG_IFRAME:
    case GUMBO_TAG_NOEMBED:
    case GUMBO_TAG_NOFRAMES:
    case GUMBO_TAG_PLAINTEXT:
      return true;
    default:
      return false;
  }
}

bool ValidAttributeName(std::string_view name) {
  if (name.empty()) return false;
  for (char c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u == 0x7F || c == '"' || c == '\'' || c == '>' || c == '/' || c == '=' ||
        c == '<') {
      return false;
    }
  }
  return true;
}

}  // namespace vellumine::html
