// vellumine-cli: runs a script of method calls against the control over an
// in-memory page, printing dialogs, launches and (with --trace) every page
// write as JSON lines. Status 0 on success, 2 on a bad command line, page,
// data folder or script line.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "control/skerrow.h"
#include "dom/html_document.h"
#include "hosts/cli/bundled_page.h"
#include "hosts/cli/cli_args.h"
#include "hosts/cli/script_runner.h"
#include "platform/posix_platform.h"
#include "platform/scripted_platform.h"

namespace vellumine::cli {
namespace {

namespace fs = std::filesystem;

constexpr int kFailed = 2;

void Complain(const std::string& message) {
  std::fprintf(stderr, "vellumine-cli: %s\n", message.c_str());
}

// Events and traced writes interleave with nothing else, but a reader may be
// following line by line: flush each one.
void PrintLine(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

bool ReadWholeFile(const std::string& path, std::string& out) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream content;
  content << in.rdbuf();
  if (in.bad()) return false;
  out = content.str();
  return true;
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return !out.fail();
}

int Run(const std::vector<std::string>& arguments) {
  const ParsedArgs parsed = ParseCommandLine(arguments);
  if (!parsed.options) {
    Complain(parsed.error);
    std::fputs(kUsage.data(), stderr);
    return kFailed;
  }
  const CliOptions& options = *parsed.options;
  if (options.help) {
    std::fputs(kUsage.data(), stdout);
    return 0;
  }

  std::string page(BundledPage());
  if (options.page && !ReadWholeFile(*options.page, page)) {
    Complain("cannot read the page " + *options.page);
    return kFailed;
  }

  const std::string folder = options.data ? *options.data : Utf16ToUtf8(DefaultPosixDataFolder());
  // Created with its parents; named as given, made absolute.
  const std::optional<std::string> prepared = PrepareDataFolder(folder, FolderSpelling::kAbsolute);
  if (!prepared) {
    Complain("cannot create the data folder " + folder);
    return kFailed;
  }
  const std::u16string data_folder = Utf8ToUtf16(*prepared);

  std::ifstream script_file;
  std::istream* script = &std::cin;
  if (options.script != "-") {
    std::error_code ec;
    if (fs::is_directory(options.script, ec)) {
      Complain("cannot read the script " + options.script);
      return kFailed;
    }
    script_file.open(options.script, std::ios::binary);
    if (!script_file) {
      Complain("cannot read the script " + options.script);
      return kFailed;
    }
    script = &script_file;
  }

  PosixPlatform files;
  files.set_data_folder(data_folder);
  // The user is told that saving failed; the log says which step and why.
  files.set_write_log([](std::u16string_view path, const WriteFailure& failure) {
    Complain(DescribeWriteFailure(path, failure));
  });
  ScriptedPlatform ui(files, data_folder);
  ui.set_today(options.today ? *options.today : files.Today());
  // The control seeds its random source when it is made.
  ui.set_tick_count(options.seed ? *options.seed : files.TickCount());
  CSkerrow control(ui);
  std::unique_ptr<HtmlDocument> document = HtmlDocument::Parse(page);
  if (!document) {
    Complain("cannot parse the page");
    return kFailed;
  }
  ScriptRunner runner(control, ui, *document, options.trace, PrintLine);

  int status = 0;
  std::string line;
  for (long number = 1; std::getline(*script, line); ++number) {
    if (std::optional<std::string> complaint = runner.RunLine(line)) {
      std::fprintf(stderr, "line %ld: %s\n", number, complaint->c_str());
      status = kFailed;
      break;
    }
  }
  if (status == 0 && script->bad()) {
    Complain("cannot read the script " + options.script);
    status = kFailed;
  }
  // The lines before a failing one have taken effect: the page shows them.
  if (options.out && !WriteWholeFile(*options.out, document->Serialize())) {
    Complain("cannot write " + *options.out);
    status = kFailed;
  }
  return status;
}

}  // namespace
}  // namespace vellumine::cli

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  return vellumine::cli::Run(arguments);
}
