// Helpers shared by the link tests: real files in the fixture's temporary
// folder, key texts and markup normalised by the same parser as the page.
#pragma once

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "dom/html_document.h"
#include "model/state.h"
#include "page/text.h"
#include "tests/support.h"

namespace vellumine::testing {

// "%08x%08x" of a key, formatted independently of the code under test.
inline std::u16string KeyText(const ItemKey& key) {
  char buffer[17];
  std::snprintf(buffer, sizeof buffer, "%08x%08x", key.first, key.second);
  return Utf8ToUtf16(buffer);
}

// Creates an empty file (and its folders) below the fixture's temporary
// folder; returns its full path as the page would pass it.
inline std::u16string MakeFile(Fixture& f, const std::string& relative) {
  const std::filesystem::path path = f.temp() / "files" / relative;
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << "x";
  return Utf8ToUtf16(path.string());
}

inline std::u16string MakeFolder(Fixture& f, const std::string& relative) {
  const std::filesystem::path path = f.temp() / "files" / relative;
  std::filesystem::create_directories(path);
  return Utf8ToUtf16(path.string());
}

// The outer HTML that the page's parser gives for markup placed in a body:
// expected fragments pass through it so that whole strings compare.
inline std::string ParsedOuter(const std::u16string& markup, const std::u16string& id) {
  auto doc = HtmlDocument::Parse("<!DOCTYPE html><html><head></head><body>" + U8(markup) +
                                 "</body></html>");
  return doc->OuterHtmlById(id).value_or("<missing>");
}

// The paths of a menu's links, in order.
inline std::vector<std::u16string> Paths(const LinkMenu& menu) {
  std::vector<std::u16string> out;
  for (const LinkEntry& link : menu.links) out.push_back(link.path);
  return out;
}

}  // namespace vellumine::testing
