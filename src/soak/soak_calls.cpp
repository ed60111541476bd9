#include "soak/soak_calls.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace vellumine::soak {

const Method& MethodOf(M m) { return Methods()[static_cast<std::size_t>(m)]; }

std::string Quote(const TextArg& text) {
  if (!text) return "null";
  std::ostringstream out;
  out << "u\"";
  const std::size_t shown = std::min<std::size_t>(text->size(), 80);
  for (std::size_t i = 0; i < shown; ++i) {
    const char16_t c = (*text)[i];
    if (c == u'"' || c == u'\\') {
      out << '\\' << static_cast<char>(c);
    } else if (c >= 0x20 && c < 0x7f) {
      out << static_cast<char>(c);
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(c));
      out << buf;
    }
  }
  out << '"';
  if (shown < text->size()) out << "...(" << text->size() << " units)";
  return out.str();
}

std::string Describe(const Call& call) {
  std::ostringstream out;
  out << MethodOf(call.method).name << "(";
  bool first = true;
  auto sep = [&] {
    if (!first) out << ", ";
    first = false;
  };
  for (std::size_t i = 0; i < call.t.size(); ++i) {
    sep();
    if (i == 0 && call.window.kind != WindowRef::Kind::kNone) {
      static const char* const kKinds[] = {"", "memo", "link", "menuname"};
      out << "<" << kKinds[static_cast<int>(call.window.kind)] << " window of item "
          << call.window.index << ">";
    } else {
      out << Quote(call.t[i]);
    }
  }
  for (std::int32_t v : call.n) {
    sep();
    out << v;
  }
  out << ")";
  switch (call.method) {
    case M::RemoveLinkMenu:
      out << " answering " << (call.answer == Answer::kYes ? "Yes" : "No");
      break;
    case M::ChangeOption:
    case M::ChangeWindowOption:
      if (call.font) {
        out << " font " << Quote(call.font->face) << " " << call.font->size;
      } else {
        out << " font cancelled";
      }
      break;
    case M::OpenFile:
    case M::OpenFolder:
      out << " picking " << Quote(call.pick);
      break;
    default:
      break;
  }
  return out.str();
}

}  // namespace vellumine::soak
