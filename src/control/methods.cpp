#include "control/methods.h"

namespace vellumine {
namespace {

constexpr ParamKind I = ParamKind::kInt;
constexpr ParamKind S = ParamKind::kText;

// Parameters of the methods that take any.
constexpr MethodParam kSetCalender[] = {{"Year", I}, {"Month", I}};
constexpr MethodParam kAddWallPaper[] = {{"FileName", S}};
constexpr MethodParam kRemoveWallPaper[] = {{"No", I}};
constexpr MethodParam kSetBG[] = {{"No", I}};
constexpr MethodParam kSetWndPos[] = {{"WndName", S}, {"x", I}, {"y", I}, {"Visiblity", I}};
constexpr MethodParam kChangeOption[] = {{"OptionName", S}, {"Value", I}};
constexpr MethodParam kAddLink[] = {{"Path", S}, {"LinkMenuNo", I}};
constexpr MethodParam kChangeLink[] = {{"LinkNo", I}, {"Path", S}, {"LinkMenuNo", I}};
constexpr MethodParam kRemoveLink[] = {{"LinkNo", I}, {"LinkMenuNo", I}};
constexpr MethodParam kOpen[] = {{"LinkMenuNo", I}, {"LinkNo", I}};
constexpr MethodParam kChangeLinkPage[] = {{"LinkMenuNo", I}, {"PageNo", I}};
constexpr MethodParam kChangeDate[] = {{"Year", I}, {"Month", I}, {"Day", I}};
constexpr MethodParam kChangeSchedule[] = {{"Schedule", S}, {"Year", I}, {"Month", I}, {"Day", I}};
constexpr MethodParam kAddMemo[] = {{"Subject", S}, {"Message", S}};
constexpr MethodParam kRenewMemo[] = {{"Subject", S}, {"Message", S}, {"Num", I}};
constexpr MethodParam kRemoveMemo[] = {{"Num", I}};
constexpr MethodParam kEditMemo[] = {{"Num", I}};
constexpr MethodParam kMakeLinkMenu[] = {{"MenuName", S}, {"LinkMenuNo", I}};
constexpr MethodParam kChangeLinkMenu[] = {{"MenuNo", I}};
constexpr MethodParam kRemoveLinkMenu[] = {{"MenuNo", I}};
constexpr MethodParam kPermuteLink[] = {{"LinkNo1", I}, {"LinkNo2", I}, {"LinkMenuNo", I}};
constexpr MethodParam kChangeWindowOption[] = {{"MenuName", S}, {"OptionName", S}, {"Value", I}};
constexpr MethodParam kChangeMemoPage[] = {{"PageNo", I}};

// In DISPID order; an invoker asks its arguments in parameter order.
const Method kMethods[] = {
    {"SetBG_Random",
     1,
     true,
     {},
     [](CSkerrow& c, Document* d, ArgumentSource&) { return c.SetBG_Random(*d); }},
    {"SetCalender", 2, true, kSetCalender,
     [](CSkerrow& c, Document* d, ArgumentSource& a) {
       const auto v0 = a.Int(0);
       const auto v1 = a.Int(1);
       return c.SetCalender(*d, v0, v1);
     }},
    {"AddWallPaper", 3, true, kAddWallPaper,
     [](CSkerrow& c, Document* d, ArgumentSource& a) {
       const auto v0 = a.Text(0);
       return c.AddWallPaper(*d, v0);
     }},
    {"RemoveWallPaper", 4, true, kRemoveWallPaper,
     [](CSkerrow& c, Document* d, ArgumentSource& a) {
       const auto v0 = a.Int(0);
       return c.RemoveWallPaper(*d, v0);
     }},
    {"SetBG", 5, true, kSetBG,
     [](CSkerrow& c, Document* d, ArgumentSource& a) {
       const auto v0 = a.Int(0);
       return c.SetBG(*d, v0);
     }},
    {"SetWndPos", 6, false, kSetWndPos,
     [](CSkerrow& c, Document*, ArgumentSource& a) {
       const auto v0 = a.Text(0);
       const auto v1 = a.Int(1);
       const auto v2 = a.Int(2);
       const auto v3 = a.Int(3);
       return c.SetWndPos(v0, v1, v2, v3);
     }},
    {"InitPage",
     7,
     true,
     {},
     [](CSkerrow& c, Document* d, ArgumentSource&) { return c.InitPage(*d); }},
    {"ChangeOption", 8, true, kChangeOption,
     [](CSkerrow& c, Document* d, ArgumentSource& a) {
       const auto v0 = a.Text(0);
       const auto v1 = a.Int(1);
       return c.ChangeOption(*d, v0, v1);
     }},
    {"OpenFile",
     9,
     true,
     {},
     [](CSkerrow& c, Document* d, ArgumentSource&) { return c.OpenFile(*d); }},
    {"OpenFolder",
     10,
     true,
     {},
     [](CSkerrow& c, Document* d, ArgumentSource&) { return c.OpenFolder(*d); }},
    {"AddLink", 11, true, kAddLink,
     [](CSkerrow& c, Document* d, ArgumentSource& a) {
       const auto v0 = a.Text(0);
       const auto v1 = a.Int(1);
       return c.AddLink(*d, v0, v1);
     }},
    {"ChangeLink", 12, true, kChangeLink,
     [](CSkerrow& c, Document* d, ArgumentSource& a) {
       const auto v0 = a.Int(0);
       const auto v1 = a.Text(1);
       const auto v2 = a.Int(2);
       return c.ChangeLink(*d, v0, v1, v2);
     }},
    {"RemoveLink", 13, true, kRemoveLink,
     [](CSkerrow& c, Document* d, ArgumentSource& a) {
       const auto v0 = a.Int(0);
       const auto v1 = a.Int(1);
       return c.RemoveLink(*d, v0, v1);
     }},
    {"Open", 14, false, kOpen,
     [](CSkerrow& c, Document*, ArgumentSource& a) {
       const auto v0 = a.Int(0);
       const auto v1 = a.Int(1);
       return c.Open(v0, v1);
     }},
    {"ChangeLinkPage", 15, true, kChangeLinkPage,
     [](CSkerrow& c, Document* d, ArgumentSource& a) {
       const auto v0 = a.Int(0);
       const auto v1 = a.Int(1);
       return c.ChangeLinkPage(*d, v0, v1);
     }},
    {"ChangeDate", 16, true, kChangeDate,
     [](CSkerrow& c, Document* d, ArgumentSource& a) {
       const auto v0 = a.Int(0);
       const auto v1 = a.Int(1);
       const auto v2 = a.Int(2);
       return c.ChangeDate(*d, v0, v1, v2);
     }},
    {"ChangeSchedule", 17, true, kChangeSchedule,
     [](CSkerrow& c, Document* d, ArgumentSource& a) {
       const auto v0 = a.Text(0);
       const auto v1 = a.Int(1);
       const auto v2 = a.Int(2);
       const auto v3 = a.Int(3);
       return c.ChangeSchedule(*d, v0, v1, v2, v3);
     }},
    {"AddMemo", 18, true, kAddMemo,
     [](CSkerrow& c, Document* d, ArgumentSource& a) {
       const auto v0 = a.Text(0);
       const auto v1 = a.Text(1);
       return c.AddMemo(*d, v0, v1);
     }},
    {"RenewMemo", 19, true, kRenewMemo,
     [](CSkerrow& c, Document* d, ArgumentSource& a) {
       const auto v0 = a.Text(0);
       const auto v1 = a.Text(1);
       const auto v2 = a.Int(2);
       return c.RenewMemo(*d, v0, v1, v2);
     }},
    {"RemoveMemo", 20, true, kRemoveMemo,
     [](CSkerrow& c, Document* d, ArgumentSource& a) {
       const auto v0 = a.Int(0);
       return c.RemoveMemo(*d, v0);
     }},
    {"EditMemo", 21, true, kEditMemo,
     [](CSkerrow& c, Document* d, ArgumentSource& a) {
       const auto v0 = a.Int(0);
       return c.EditMemo(*d, v0);
     }},
    {"MakeLinkMenu", 22, true, kMakeLinkMenu,
     [](CSkerrow& c, Document* d, ArgumentSource& a) {
       const auto v0 = a.Text(0);
       const auto v1 = a.Int(1);
       return c.MakeLinkMenu(*d, v0, v1);
     }},
    {"ChangeLinkMenu", 23, true, kChangeLinkMenu,
     [](CSkerrow& c, Document* d, ArgumentSource& a) {
       const auto v0 = a.Int(0);
       return c.ChangeLinkMenu(*d, v0);
     }},
    {"RemoveLinkMenu", 24, true, kRemoveLinkMenu,
     [](CSkerrow& c, Document* d, ArgumentSource& a) {
       const auto v0 = a.Int(0);
       return c.RemoveLinkMenu(*d, v0);
     }},
    {"PermuteLink", 25, true, kPermuteLink,
     [](CSkerrow& c, Document* d, ArgumentSource& a) {
       const auto v0 = a.Int(0);
       const auto v1 = a.Int(1);
       const auto v2 = a.Int(2);
       return c.PermuteLink(*d, v0, v1, v2);
     }},
    {"ChangeWindowOption", 26, true, kChangeWindowOption,
     [](CSkerrow& c, Document* d, ArgumentSource& a) {
       const auto v0 = a.Text(0);
       const auto v1 = a.Text(1);
       const auto v2 = a.Int(2);
       return c.ChangeWindowOption(*d, v0, v1, v2);
     }},
    {"ChangeMemoPage", 27, true, kChangeMemoPage,
     [](CSkerrow& c, Document* d, ArgumentSource& a) {
       const auto v0 = a.Int(0);
       return c.ChangeMemoPage(*d, v0);
     }},
};

}  // namespace

std::span<const Method> Methods() { return kMethods; }

const Method* FindMethod(std::string_view name) {
  for (const Method& method : kMethods) {
    if (method.name == name) return &method;
  }
  return nullptr;
}

}  // namespace vellumine
