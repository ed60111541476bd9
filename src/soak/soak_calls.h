// The soak's calls: one method of the control's table with its arguments
// and the user's answers to whatever dialog it shows, as the generator draws
// them and a session runs them; their description in a failure's report.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "control/methods.h"
#include "platform/platform.h"

namespace vellumine::soak {

// The methods in the table's order.
enum class M {
  SetBG_Random,
  SetCalender,
  AddWallPaper,
  RemoveWallPaper,
  SetBG,
  SetWndPos,
  InitPage,
  ChangeOption,
  OpenFile,
  OpenFolder,
  AddLink,
  ChangeLink,
  RemoveLink,
  Open,
  ChangeLinkPage,
  ChangeDate,
  ChangeSchedule,
  AddMemo,
  RenewMemo,
  RemoveMemo,
  EditMemo,
  MakeLinkMenu,
  ChangeLinkMenu,
  RemoveLinkMenu,
  PermuteLink,
  ChangeWindowOption,
  ChangeMemoPage,
  kCount
};

// The calls are the method table's, in its order.
const Method& MethodOf(M m);

// One method call with its arguments and the user's answers to whatever
// dialog it shows. Texts and numbers are used in the order the method takes
// them.
// A memo or link menu window named by the item's place in its table, so that
// a shrunk sequence names the same window though the keys drawn differ.
struct WindowRef {
  enum class Kind { kNone, kMemo, kLink, kMenuName };
  Kind kind = Kind::kNone;
  std::size_t index = 0;
};

struct Call {
  M method = M::EditMemo;
  WindowRef window;  // when set, replaces the first text
  std::vector<std::int32_t> n;
  std::vector<TextArg> t;
  Answer answer = Answer::kNo;         // a Yes/No question
  std::optional<FontChoice> font;      // the font dialog; nullopt cancels
  std::optional<std::u16string> pick;  // the file or folder picker; nullopt cancels
};

// A text as C++ would spell it, cut after 80 units; "null" for a null one.
std::string Quote(const TextArg& text);
// The call as it reads in a report: method, arguments, dialog answers.
std::string Describe(const Call& call);

// A call's texts and numbers as the table's invokers ask for them: each
// parameter takes the next value of its kind.
class CallArgs : public ArgumentSource {
 public:
  CallArgs(const Call& call, const Method& method) : call_(call) {
    std::size_t texts = 0;
    std::size_t numbers = 0;
    for (const MethodParam& p : method.params) {
      slots_.push_back(p.kind == ParamKind::kText ? texts++ : numbers++);
    }
  }
  std::int32_t Int(std::size_t i) override { return call_.n.at(slots_.at(i)); }
  TextArg Text(std::size_t i) override { return call_.t.at(slots_.at(i)); }

 private:
  const Call& call_;
  std::vector<std::size_t> slots_;
};

}  // namespace vellumine::soak
