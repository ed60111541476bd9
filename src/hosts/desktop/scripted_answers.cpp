#include "hosts/desktop/scripted_answers.h"

#include <cerrno>
#include <cstdlib>

namespace vellumine::desktop {
namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.back() == '\r' || s.back() == ' ' || s.back() == '\t'))
    s.remove_suffix(1);
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  return s;
}

}  // namespace

std::optional<std::deque<ScriptedAnswer>> ParseScriptedAnswers(std::string_view script,
                                                               std::string* error) {
  std::deque<ScriptedAnswer> answers;
  int line_no = 0;
  while (!script.empty()) {
    std::size_t end = script.find('\n');
    std::string_view line = Trim(script.substr(0, end));
    script = end == std::string_view::npos ? std::string_view() : script.substr(end + 1);
    ++line_no;
    if (line.empty() || line.front() == '#') continue;
    std::size_t space = line.find(' ');
    std::string_view word = line.substr(0, space);
    std::string_view rest = space == std::string_view::npos ? "" : Trim(line.substr(space + 1));
    using Kind = ScriptedAnswer::Kind;
    auto fail = [&](const char* why) {
      if (error != nullptr) *error = "line " + std::to_string(line_no) + ": " + why;
      return std::nullopt;
    };
    if (word == "ok" || word == "yes" || word == "no" || word == "cancel") {
      if (!rest.empty()) return fail("unexpected text after the answer");
      Kind kind = word == "ok"    ? Kind::kOk
                  : word == "yes" ? Kind::kYes
                  : word == "no"  ? Kind::kNo
                                  : Kind::kCancel;
      answers.push_back({kind, {}, 0});
    } else if (word == "font") {
      std::size_t gap = rest.find(' ');
      if (gap == std::string_view::npos) return fail("font needs a size and a face");
      std::string number(rest.substr(0, gap));
      char* stop = nullptr;
      errno = 0;
      long size = std::strtol(number.c_str(), &stop, 10);
      if (number.empty() || *stop != '\0' || errno != 0) return fail("bad font size");
      std::string_view face = Trim(rest.substr(gap + 1));
      if (face.empty()) return fail("font needs a face");
      answers.push_back({Kind::kFont, std::string(face), size});
    } else if (word == "file" || word == "folder") {
      if (rest.empty()) return fail("a path is needed");
      answers.push_back({word == "file" ? Kind::kFile : Kind::kFolder, std::string(rest), 0});
    } else {
      return fail("unknown answer");
    }
  }
  return answers;
}

}  // namespace vellumine::desktop
