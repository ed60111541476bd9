#include "hosts/cli/script_runner.h"

#include "hosts/cli/json_text.h"
#include "hosts/cli/method_table.h"

namespace vellumine::cli {
namespace {

bool IsBlank(std::string_view line) {
  return line.find_first_not_of(" \t\r\n\v\f") == std::string_view::npos;
}

bool IsComment(std::string_view line) {
  const std::size_t first = line.find_first_not_of(" \t");
  return first != std::string_view::npos && line[first] == '#';
}

// The name as it appears in a message: quoted, so odd characters stay on one line.
std::string Quoted(std::string_view utf8) {
  std::string out;
  AppendJsonUtf8(out, utf8);
  return out;
}

std::string Arity(const std::string& name, const char* what) { return name + " takes " + what; }

}  // namespace

std::string EventLine(const UiEvent& event) {
  std::string line = "{\"event\":";
  switch (event.kind) {
    case UiEvent::Kind::kMessage:
    case UiEvent::Kind::kQuestion: {
      const bool question = event.kind == UiEvent::Kind::kQuestion;
      line += question ? "\"question\"" : "\"message\"";
      line += ",\"text\":";
      AppendJsonString(line, event.text);
      line += ",\"caption\":";
      AppendJsonText(line, event.caption);
      if (question) {
        line += ",\"buttons\":\"yesno\",\"answer\":";
        line += event.answer == Answer::kYes ? "\"yes\"" : "\"no\"";
      } else {
        line += ",\"buttons\":\"ok\"";
      }
      break;
    }
    case UiEvent::Kind::kFont:
      line += "\"font\"";
      if (event.cancel) {
        line += ",\"cancel\":true";
      } else {
        line += ",\"face\":";
        AppendJsonString(line, event.face);
        line += ",\"size\":" + std::to_string(event.size);
      }
      break;
    case UiEvent::Kind::kPick:
      line += "\"pick\",\"kind\":";
      line += event.folder ? "\"folder\"" : "\"file\"";
      if (event.cancel) {
        line += ",\"cancel\":true";
      } else {
        line += ",\"path\":";
        AppendJsonString(line, event.path);
      }
      break;
    case UiEvent::Kind::kOpen:
      line += "\"open\",\"path\":";
      AppendJsonString(line, event.path);
      break;
  }
  line += '}';
  return line;
}

ScriptRunner::ScriptRunner(CSkerrow& control, ScriptedPlatform& ui, HtmlDocument& document,
                           bool trace, LineSink sink)
    : control_(control), ui_(ui), document_(document), sink_(std::move(sink)) {
  if (trace) traced_.emplace(document_, sink_);
  ui_.set_observer([this](const UiEvent& event) { sink_(EventLine(event)); });
}

// The platform may outlive the runner; its observer must not.
ScriptRunner::~ScriptRunner() { ui_.set_observer(nullptr); }

std::optional<std::string> ScriptRunner::RunLine(std::string_view text) {
  if (IsBlank(text) || IsComment(text)) return std::nullopt;
  nlohmann::json line;
  try {
    line = nlohmann::json::parse(text);
  } catch (const nlohmann::json::parse_error& error) {
    return std::string("not valid JSON: ") + error.what();
  }
  if (!line.is_array()) return "not a JSON array";
  if (line.empty() || !line[0].is_string()) {
    return "the first element must name a method or directive";
  }
  const std::string& name = line[0].get_ref<const std::string&>();
  std::optional<std::string> complaint;
  if (!name.empty() && name[0] == '@') {
    complaint = RunDirective(name, line);
  } else if (const Method* method = FindMethod(name)) {
    Args args;
    complaint = ConvertArgs(*method, line, args);
    if (!complaint) {
      Document& document = traced_ ? static_cast<Document&>(*traced_) : document_;
      ConvertedArgs source(args);
      method->invoke(control_, &document, source);
    }
  } else {
    complaint = "unknown method " + Quoted(name);
  }
  // The events were printed as they happened; only the output is kept.
  ui_.clear_events();
  return complaint;
}

std::optional<std::string> ScriptRunner::RunDirective(const std::string& name,
                                                      const nlohmann::json& line) {
  const std::size_t given = line.size() - 1;
  if (name == "@answer") {
    if (given != 1) return Arity(name, "1 argument (\"yes\" or \"no\")");
    const nlohmann::json& value = line[1];
    if (value == "yes") {
      ui_.QueueAnswer(Answer::kYes);
    } else if (value == "no") {
      ui_.QueueAnswer(Answer::kNo);
    } else {
      return "@answer: the answer must be \"yes\" or \"no\"";
    }
    return std::nullopt;
  }
  if (name == "@font") {
    if (given == 1 && line[1].is_null()) {
      ui_.QueueFont(std::nullopt);
      return std::nullopt;
    }
    if (given != 2) return Arity(name, "a face and a size, or null");
    if (!line[1].is_string()) return "@font: the face must be a string";
    const std::optional<std::int32_t> size = JsonInt32(line[2]);
    if (!size) return "@font: the size must be a signed 32-bit integer";
    ui_.QueueFont(FontChoice{Utf8ToUtf16(line[1].get_ref<const std::string&>()), *size});
    return std::nullopt;
  }
  if (name == "@pick") {
    if (given != 1) return Arity(name, "1 argument (a path or null)");
    std::optional<TextArg> path = JsonText(line[1]);
    if (!path) return "@pick: the path must be a string or null";
    ui_.QueuePick(std::move(*path));
    return std::nullopt;
  }
  if (name == "@html") {
    if (given != 1) return Arity(name, "1 argument (an element id)");
    std::optional<TextArg> id = JsonText(line[1]);
    if (!id) return "@html: the id must be a string or null";
    std::optional<std::string> html;
    if (*id) html = document_.OuterHtmlById(**id);
    std::string out = "{\"event\":\"html\",\"id\":";
    AppendJsonText(out, *id);
    out += ",\"html\":";
    if (html) {
      AppendJsonUtf8(out, *html);
    } else {
      out += "null";
    }
    out += '}';
    sink_(out);
    return std::nullopt;
  }
  return "unknown directive " + Quoted(name);
}

}  // namespace vellumine::cli
