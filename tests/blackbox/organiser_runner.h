// Drives the headless runner as a separate program: JSON Lines in, JSON
// Lines out, data files checked on disk. Shared by the organiser and link
// menu checks of the whole program.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "page/text.h"
#include "tests/support.h"

namespace vellumine::blackbox {

using nlohmann::json;
namespace fs = std::filesystem;

struct RunResult {
  int status = -1;
  std::vector<json> lines;  // every line of standard output, parsed
  std::string err;

  // Page writes (lines with "op"), optionally only those of one element.
  std::vector<json> Writes(const std::string& id = "") const {
    std::vector<json> out;
    for (const json& line : lines) {
      if (line.contains("op") && (id.empty() || line["id"] == id)) out.push_back(line);
    }
    return out;
  }
  // Non-style page writes of one element, their values in order.
  std::vector<std::string> Values(const std::string& id) const {
    std::vector<std::string> out;
    for (const json& line : Writes(id)) {
      if (line["op"] != "style" && line["value"].is_string()) out.push_back(line["value"]);
    }
    return out;
  }
  // The last value written into an element (fails the test when none).
  std::string Last(const std::string& id) const {
    const std::vector<std::string> values = Values(id);
    EXPECT_FALSE(values.empty()) << "no write into " << id;
    return values.empty() ? std::string() : values.back();
  }
  // Events (message, question, pick, open, html) in order.
  std::vector<json> Events() const {
    std::vector<json> out;
    for (const json& line : lines) {
      if (line.contains("event")) out.push_back(line);
    }
    return out;
  }
  // Texts of the message boxes and questions shown.
  std::vector<std::string> Messages() const {
    std::vector<std::string> out;
    for (const json& e : Events()) {
      if (e["event"] == "message" || e["event"] == "question") out.push_back(e["text"]);
    }
    return out;
  }
};

// One script line from its parts: Line("AddMemo", "s", nullptr).
template <typename... Args>
std::string Line(const Args&... args) {
  return json::array({json(args)...}).dump();
}

class Runner : public ::testing::Test {
 protected:
  fs::path Data() const { return dir_.path() / "data"; }
  fs::path Temp() const { return dir_.path(); }

  // Runs one session over the test's data folder with --trace, a fixed
  // date and seed; extra arguments go before the script.
  RunResult Run(const std::vector<std::string>& script, std::vector<std::string> extra = {},
                const std::string& today = "2005-03-07") {
    std::string text;
    for (const std::string& line : script) text += line + "\n";
    Write(Temp() / "script.jsonl", text);
    std::vector<std::string> args = {"--data", Data().string(), "--today", today, "--seed",
                                     "1",      "--trace"};
    args.insert(args.end(), extra.begin(), extra.end());
    args.push_back((Temp() / "script.jsonl").string());
    std::string command = testing::ShellQuote(VELLUMINE_CLI);
    for (const std::string& arg : args) command += " " + testing::ShellQuote(arg);
    command += " >" + testing::ShellQuote((Temp() / "out").string()) + " 2>" +
               testing::ShellQuote((Temp() / "err").string());
    const int raw = std::system(command.c_str());
    RunResult result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.err = Read(Temp() / "err");
    std::istringstream out(Read(Temp() / "out"));
    for (std::string line; std::getline(out, line);) {
      result.lines.push_back(json::parse(line));
    }
    EXPECT_EQ(result.status, 0) << result.err;
    return result;
  }

  // A data file's raw bytes ("" when missing).
  std::string Bytes(const std::string& relative) const { return Read(Data() / relative); }
  bool Exists(const std::string& relative) const { return fs::exists(Data() / relative); }
  // A data file's records as UTF-8 texts.
  std::vector<std::string> Records(const std::string& relative) const {
    const std::string bytes = Bytes(relative);
    std::vector<std::string> out;
    std::size_t pos = 0;
    while (pos + 4 <= bytes.size()) {
      std::int32_t count = 0;
      for (int i = 3; i >= 0; --i) {
        count = static_cast<std::int32_t>((static_cast<std::uint32_t>(count) << 8) |
                                          static_cast<unsigned char>(bytes[pos + i]));
      }
      pos += 4;
      std::u16string text;
      for (std::int32_t i = 0; i < count && pos + 1 < bytes.size(); ++i, pos += 2) {
        text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[pos]) |
                                             (static_cast<unsigned char>(bytes[pos + 1]) << 8)));
      }
      out.push_back(testing::U8(text));
    }
    return out;
  }
  // Hand-makes a data file from UTF-8 records.
  void WriteRecords(const std::string& relative, const std::vector<std::string>& records) {
    fs::create_directories((Data() / relative).parent_path());
    std::string bytes;
    for (const std::string& record : records) bytes += Encode(record);
    Write(Data() / relative, bytes);
  }
  // One record's bytes: little-endian unit count, then UTF-16LE units.
  static std::string Encode(const std::string& utf8) {
    const std::u16string text = Utf8ToUtf16(utf8);
    std::string out;
    const auto count = static_cast<std::uint32_t>(text.size());
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((count >> (8 * i)) & 0xff));
    for (char16_t c : text) {
      out.push_back(static_cast<char>(c & 0xff));
      out.push_back(static_cast<char>(c >> 8));
    }
    return out;
  }
  // A file or folder outside the data folder, made for links to point at.
  std::string MakeFile(const std::string& name) {
    const fs::path path = Temp() / "files" / name;
    fs::create_directories(path.parent_path());
    Write(path, "x");
    return path.string();
  }
  std::string MakeFolder(const std::string& name) {
    const fs::path path = Temp() / "files" / name;
    fs::create_directories(path);
    return path.string();
  }

  static std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  static void Write(const fs::path& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary);
    out << content;
  }

 private:
  testing::TempDir dir_;
};

// StringHash of a UTF-8 text's UTF-16 units, as eight hex digits.
inline std::string HashHex(const std::u16string& text) {
  std::uint32_t h = 0;
  for (char16_t c : text) h = h * 1429u + c;
  char buf[9];
  std::snprintf(buf, sizeof buf, "%08x", h);
  return buf;
}

// The markup a window gets around its body: the view with the body, the
// "設定" line and (for memos) a close line, then the option panel of a window
// without a record of its own, showing the default menu options.
inline std::string WindowFrame(const std::string& n, const std::string& body, bool with_close) {
  return "<div id=\"" + n + "_view\" style=\"visibility:inherit\"><div id=\"" + n +
         "_view_id\" style=\"visibility:hidden\">" + n + "_main</div><div id=\"" + n +
         "_view_value\" style=\"position:absolute;left:0px;top:0px;margin:0px;border:0px;"
         "visibility:inherit\">" +
         body + "<pre onmouseup=\"setview('" + n + "_option','" + n + "_view')\">設定</pre>" +
         (with_close ? "<pre onmouseup=change('" + n + "')>閉じる</pre>" : std::string()) +
         "</div></div>" + "<div id=\"" + n + "_main\" style=\"visibility:hidden\"></div>" +
         "<div id=\"" + n + "_option\" style=\"visibility:hidden\">" + "<pre>個別設定:<span id=\"" +
         n + "Default\" onmouseup=\"Skerrow.ChangeWindowOption(document,'" + n +
         "','Default',1)\">無効</span></pre>" + "<pre><span id=\"" + n +
         "TextColor\" onmouseup=\"Skerrow.ChangeWindowOption(document,'" + n +
         "','TextColor',1)\">文字色:Black</span></pre>" + "<pre>フォント:<span id=\"" + n +
         "Font\" onmouseup=\"Skerrow.ChangeWindowOption(document,'" + n +
         "','Font',0)\">ＭＳ ゴシック</span></pre>" +
         "<pre>フォントサイズ:<span onmouseup=\"Skerrow.ChangeWindowOption(document,'" + n +
         "','FontSize',-1)\">&lt;</span><span id=\"" + n + "FontSize\">13</span>" +
         "<span onmouseup=\"Skerrow.ChangeWindowOption(document,'" + n +
         "','FontSize',1)\">&gt;</span></pre>" + "<pre onmouseup=\"setview('" + n + "_main','" + n +
         "_view')\">戻る</pre>" + "</div>";
}

}  // namespace vellumine::blackbox
