#include "dom/inline_style.h"

#include <vector>

#include "dom/node.h"

namespace vellumine::html {
namespace {

std::string_view Trim(std::string_view s) {
  const auto is_space = [](char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
  };
  while (!s.empty() && is_space(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_space(s.back())) s.remove_suffix(1);
  return s;
}

// The declarations of a style text, split at ";" outside quotes and brackets.
std::vector<std::string_view> Declarations(std::string_view style) {
  std::vector<std::string_view> out;
  auto push = [&out](std::string_view d) {
    d = Trim(d);
    if (!d.empty()) out.push_back(d);
  };
  std::size_t start = 0;
  int depth = 0;
  char quote = 0;
  for (std::size_t i = 0; i < style.size(); ++i) {
    const char c = style[i];
    if (quote != 0) {
      if (c == '\\') {
        ++i;
      } else if (c == quote) {
        quote = 0;
      }
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
  push(style.substr(std::min(start, style.size())));
  return out;
}

std::string PropertyOf(std::string_view declaration) {
  const std::size_t colon = declaration.find(':');
  return LowerAscii(Trim(declaration.substr(0, colon)));
}

}  // namespace

std::string WithProperty(std::string_view style, std::string_view property,
                         std::string_view value) {
  std::string out;
  bool placed = false;
  auto add = [&out](std::string_view d) {
    if (!out.empty()) out += "; ";
    out += d;
  };
  const std::string declaration = std::string(property) + ": " + std::string(value);
  for (std::string_view d : Declarations(style)) {
    if (PropertyOf(d) != property) {
      add(d);
    } else if (!placed) {
      if (!value.empty()) add(declaration);
      placed = true;
    }
  }
  if (!placed && !value.empty()) add(declaration);
  return out;
}

std::optional<std::string_view> PropertyValue(std::string_view style, std::string_view property) {
  std::optional<std::string_view> found;
  for (std::string_view d : Declarations(style)) {
    if (PropertyOf(d) == property) {
      const std::size_t colon = d.find(':');
      found = colon == std::string_view::npos ? std::string_view() : Trim(d.substr(colon + 1));
    }
  }
  return found;  // the last declaration wins, as in CSS
}

bool AcceptableStyleValue(std::string_view v) {
  char quote = 0;
  int depth = 0;
  for (std::size_t i = 0; i < v.size(); ++i) {
    const char c = v[i];
    if (c == '{' || c == '}' || static_cast<unsigned char>(c) < 0x20) return false;
    if (c == '\\') {
      if (++i >= v.size()) return false;
    } else if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == ';') {
      return false;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '(') {
      ++depth;
    } else if (c == ')' && --depth < 0) {
      return false;
    }
  }
  return quote == 0 && depth == 0;
}

}  // namespace vellumine::html
