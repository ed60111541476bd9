// Runs a script line by line against one control and one page document.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

#include "control/skerrow.h"
#include "dom/html_document.h"
#include "hosts/cli/trace_document.h"
#include "platform/scripted_platform.h"

namespace vellumine::cli {

// One UI event of the scripted platform as its output line.
std::string EventLine(const UiEvent& event);

class ScriptRunner {
 public:
  // Every output line (events, traced writes, @html) goes to sink in the
  // order it happens. With trace, page writes are reported too.
  ScriptRunner(CSkerrow& control, ScriptedPlatform& ui, HtmlDocument& document, bool trace,
               LineSink sink);
  ~ScriptRunner();
  ScriptRunner(const ScriptRunner&) = delete;
  ScriptRunner& operator=(const ScriptRunner&) = delete;

  // Runs one line of the script; nullopt when it ran (or was skipped as
  // blank or a comment), else what is wrong with it.
  std::optional<std::string> RunLine(std::string_view line);

 private:
  std::optional<std::string> RunDirective(const std::string& name, const nlohmann::json& line);

  CSkerrow& control_;
  ScriptedPlatform& ui_;
  HtmlDocument& document_;
  LineSink sink_;
  std::optional<TracingDocument> traced_;
};

}  // namespace vellumine::cli
