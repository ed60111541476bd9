#include "hosts/cli/method_table.h"

#include <limits>

namespace vellumine::cli {
namespace {

constexpr ParamKind I = ParamKind::kInt;
constexpr ParamKind S = ParamKind::kText;

std::int32_t Int(const Args& args, std::size_t i) { return std::get<std::int32_t>(args[i]); }
const TextArg& Text(const Args& args, std::size_t i) { return std::get<TextArg>(args[i]); }

const std::vector<MethodSpec>& Table() {
  static const std::vector<MethodSpec> table = {
      {"SetBG_Random", {}, [](CSkerrow& c, Document& d, const Args&) { c.SetBG_Random(d); }},
      {"SetCalender",
       {{"Year", I}, {"Month", I}},
       [](CSkerrow& c, Document& d, const Args& a) { c.SetCalender(d, Int(a, 0), Int(a, 1)); }},
      {"AddWallPaper",
       {{"FileName", S}},
       [](CSkerrow& c, Document& d, const Args& a) { c.AddWallPaper(d, Text(a, 0)); }},
      {"RemoveWallPaper",
       {{"No", I}},
       [](CSkerrow& c, Document& d, const Args& a) { c.RemoveWallPaper(d, Int(a, 0)); }},
      {"SetBG",
       {{"No", I}},
       [](CSkerrow& c, Document& d, const Args& a) { c.SetBG(d, Int(a, 0)); }},
      {"SetWndPos",
       {{"WndName", S}, {"x", I}, {"y", I}, {"Visiblity", I}},
       [](CSkerrow& c, Document&, const Args& a) {
         c.SetWndPos(Text(a, 0), Int(a, 1), Int(a, 2), Int(a, 3));
       }},
      {"InitPage", {}, [](CSkerrow& c, Document& d, const Args&) { c.InitPage(d); }},
      {"ChangeOption",
       {{"OptionName", S}, {"Value", I}},
       [](CSkerrow& c, Document& d, const Args& a) { c.ChangeOption(d, Text(a, 0), Int(a, 1)); }},
      {"OpenFile", {}, [](CSkerrow& c, Document& d, const Args&) { c.OpenFile(d); }},
      {"OpenFolder", {}, [](CSkerrow& c, Document& d, const Args&) { c.OpenFolder(d); }},
      {"AddLink",
       {{"Path", S}, {"LinkMenuNo", I}},
       [](CSkerrow& c, Document& d, const Args& a) { c.AddLink(d, Text(a, 0), Int(a, 1)); }},
      {"ChangeLink",
       {{"LinkNo", I}, {"Path", S}, {"LinkMenuNo", I}},
       [](CSkerrow& c, Document& d, const Args& a) {
         c.ChangeLink(d, Int(a, 0), Text(a, 1), Int(a, 2));
       }},
      {"RemoveLink",
       {{"LinkNo", I}, {"LinkMenuNo", I}},
       [](CSkerrow& c, Document& d, const Args& a) { c.RemoveLink(d, Int(a, 0), Int(a, 1)); }},
      {"Open",
       {{"LinkMenuNo", I}, {"LinkNo", I}},
       [](CSkerrow& c, Document&, const Args& a) { c.Open(Int(a, 0), Int(a, 1)); }},
      {"ChangeLinkPage",
       {{"LinkMenuNo", I}, {"PageNo", I}},
       [](CSkerrow& c, Document& d, const Args& a) { c.ChangeLinkPage(d, Int(a, 0), Int(a, 1)); }},
      {"ChangeDate",
       {{"Year", I}, {"Month", I}, {"Day", I}},
       [](CSkerrow& c, Document& d, const Args& a) {
         c.ChangeDate(d, Int(a, 0), Int(a, 1), Int(a, 2));
       }},
      {"ChangeSchedule",
       {{"Schedule", S}, {"Year", I}, {"Month", I}, {"Day", I}},
       [](CSkerrow& c, Document& d, const Args& a) {
         c.ChangeSchedule(d, Text(a, 0), Int(a, 1), Int(a, 2), Int(a, 3));
       }},
      {"AddMemo",
       {{"Subject", S}, {"Message", S}},
       [](CSkerrow& c, Document& d, const Args& a) { c.AddMemo(d, Text(a, 0), Text(a, 1)); }},
      {"RenewMemo",
       {{"Subject", S}, {"Message", S}, {"Num", I}},
       [](CSkerrow& c, Document& d, const Args& a) {
         c.RenewMemo(d, Text(a, 0), Text(a, 1), Int(a, 2));
       }},
      {"RemoveMemo",
       {{"Num", I}},
       [](CSkerrow& c, Document& d, const Args& a) { c.RemoveMemo(d, Int(a, 0)); }},
      {"EditMemo",
       {{"Num", I}},
       [](CSkerrow& c, Document& d, const Args& a) { c.EditMemo(d, Int(a, 0)); }},
      {"MakeLinkMenu",
       {{"MenuName", S}, {"LinkMenuNo", I}},
       [](CSkerrow& c, Document& d, const Args& a) { c.MakeLinkMenu(d, Text(a, 0), Int(a, 1)); }},
      {"ChangeLinkMenu",
       {{"MenuNo", I}},
       [](CSkerrow& c, Document& d, const Args& a) { c.ChangeLinkMenu(d, Int(a, 0)); }},
      {"RemoveLinkMenu",
       {{"MenuNo", I}},
       [](CSkerrow& c, Document& d, const Args& a) { c.RemoveLinkMenu(d, Int(a, 0)); }},
      {"PermuteLink",
       {{"LinkNo1", I}, {"LinkNo2", I}, {"LinkMenuNo", I}},
       [](CSkerrow& c, Document& d, const Args& a) {
         c.PermuteLink(d, Int(a, 0), Int(a, 1), Int(a, 2));
       }},
      {"ChangeWindowOption",
       {{"MenuName", S}, {"OptionName", S}, {"Value", I}},
       [](CSkerrow& c, Document& d, const Args& a) {
         c.ChangeWindowOption(d, Text(a, 0), Text(a, 1), Int(a, 2));
       }},
      {"ChangeMemoPage",
       {{"PageNo", I}},
       [](CSkerrow& c, Document& d, const Args& a) { c.ChangeMemoPage(d, Int(a, 0)); }},
  };
  return table;
}

}  // namespace

std::span<const MethodSpec> Methods() { return Table(); }

const MethodSpec* FindMethod(std::string_view name) {
  for (const MethodSpec& method : Table()) {
    if (method.name == name) return &method;
  }
  return nullptr;
}

std::optional<std::int32_t> JsonInt32(const nlohmann::json& value) {
  constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
  constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
  if (value.is_number_unsigned()) {
    const std::uint64_t n = value.get<std::uint64_t>();
    if (n > static_cast<std::uint64_t>(kMax)) return std::nullopt;
    return static_cast<std::int32_t>(n);
  }
  if (value.is_number_integer()) {
    const std::int64_t n = value.get<std::int64_t>();
    if (n < kMin || n > kMax) return std::nullopt;
    return static_cast<std::int32_t>(n);
  }
  // A number written with a fraction or an exponent (1.0, 1e3) still names an
  // integer when it has no fractional part; only its value counts in JSON.
  if (value.is_number_float()) {
    const double d = value.get<double>();
    if (d >= static_cast<double>(kMin) && d <= static_cast<double>(kMax) &&
        d == static_cast<double>(static_cast<std::int64_t>(d))) {
      return static_cast<std::int32_t>(d);
    }
  }
  return std::nullopt;
}

std::optional<TextArg> JsonText(const nlohmann::json& value) {
  if (value.is_null()) return TextArg();
  if (value.is_string()) return TextArg(Utf8ToUtf16(value.get_ref<const std::string&>()));
  return std::nullopt;
}

std::optional<std::string> ConvertArgs(const MethodSpec& method, const nlohmann::json& line,
                                       Args& args) {
  const std::size_t given = line.size() - 1;
  if (given != method.params.size()) {
    std::string complaint = std::string(method.name) + " takes " +
                            std::to_string(method.params.size()) + " argument" +
                            (method.params.size() == 1 ? "" : "s");
    if (!method.params.empty()) {
      complaint += " (";
      for (std::size_t i = 0; i < method.params.size(); ++i) {
        if (i > 0) complaint += ", ";
        complaint += method.params[i].name;
      }
      complaint += ")";
    }
    return complaint + ", got " + std::to_string(given);
  }
  args.clear();
  for (std::size_t i = 0; i < method.params.size(); ++i) {
    const Param& param = method.params[i];
    const nlohmann::json& value = line[i + 1];
    if (param.kind == ParamKind::kInt) {
      const std::optional<std::int32_t> n = JsonInt32(value);
      if (!n) {
        return std::string(method.name) + ": argument " + std::to_string(i + 1) + " (" +
               std::string(param.name) + ") must be a signed 32-bit integer";
      }
      args.emplace_back(*n);
    } else {
      std::optional<TextArg> text = JsonText(value);
      if (!text) {
        return std::string(method.name) + ": argument " + std::to_string(i + 1) + " (" +
               std::string(param.name) + ") must be a string or null";
      }
      args.emplace_back(std::move(*text));
    }
  }
  return std::nullopt;
}

}  // namespace vellumine::cli
