// CSkerrow: the control. One instance holds the whole ControlState; the page
// calls its methods one at a time. Every method returns kOk, also when it
// refuses its input: refusals the user must see go through ShowMessage, the
// rest are silent. A file that could not be written is reported once per
// outermost call with msg::kSaveFailed; the in-memory change stands.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "control/state.h"
#include "page/document.h"
#include "page/text.h"
#include "platform/platform.h"
#include "store/store.h"

namespace vellumine {

using HResult = std::int32_t;
inline constexpr HResult kOk = 0;

class CSkerrow {
 public:
  // Takes the data folder from the platform, sets the option defaults and
  // seeds the random source with the platform's tick count.
  explicit CSkerrow(Platform& platform);
  CSkerrow(const CSkerrow&) = delete;
  CSkerrow& operator=(const CSkerrow&) = delete;

  // The interface, in DISPID order (1..26), then ChangeMemoPage (27).
  HResult SetBG_Random(Document& document);
  HResult SetCalender(Document& document, std::int32_t Year, std::int32_t Month);
  HResult AddWallPaper(Document& document, const TextArg& FileName);
  HResult RemoveWallPaper(Document& document, std::int32_t No);
  HResult SetBG(Document& document, std::int32_t No);
  HResult SetWndPos(const TextArg& WndName, std::int32_t x, std::int32_t y, std::int32_t Visiblity);
  HResult InitPage(Document& document);
  HResult ChangeOption(Document& document, const TextArg& OptionName, std::int32_t Value);
  HResult OpenFile(Document& document);
  HResult OpenFolder(Document& document);
  HResult AddLink(Document& document, const TextArg& Path, std::int32_t LinkMenuNo);
  HResult ChangeLink(Document& document, std::int32_t LinkNo, const TextArg& Path,
                     std::int32_t LinkMenuNo);
  HResult RemoveLink(Document& document, std::int32_t LinkNo, std::int32_t LinkMenuNo);
  HResult Open(std::int32_t LinkMenuNo, std::int32_t LinkNo);
  HResult ChangeLinkPage(Document& document, std::int32_t LinkMenuNo, std::int32_t PageNo);
  HResult ChangeDate(Document& document, std::int32_t Year, std::int32_t Month, std::int32_t Day);
  HResult ChangeSchedule(Document& document, const TextArg& Schedule, std::int32_t Year,
                         std::int32_t Month, std::int32_t Day);
  HResult AddMemo(Document& document, const TextArg& Subject, const TextArg& Message);
  HResult RenewMemo(Document& document, const TextArg& Subject, const TextArg& Message,
                    std::int32_t Num);
  HResult RemoveMemo(Document& document, std::int32_t Num);
  HResult EditMemo(Document& document, std::int32_t Num);
  HResult MakeLinkMenu(Document& document, const TextArg& MenuName, std::int32_t LinkMenuNo);
  HResult ChangeLinkMenu(Document& document, std::int32_t MenuNo);
  HResult RemoveLinkMenu(Document& document, std::int32_t MenuNo);
  HResult PermuteLink(Document& document, std::int32_t LinkNo1, std::int32_t LinkNo2,
                      std::int32_t LinkMenuNo);
  HResult ChangeWindowOption(Document& document, const TextArg& MenuName, const TextArg& OptionName,
                             std::int32_t Value);
  HResult ChangeMemoPage(Document& document, std::int32_t PageNo);

  // Services for the subsystems.
  ControlState& state() { return state_; }
  const ControlState& state() const { return state_; }
  Platform& platform() { return platform_; }
  Store& store() { return store_; }
  // A modal message; caption nullopt is the system's default caption.
  Answer ShowMessage(std::u16string_view text, const std::optional<std::u16string>& caption,
                     Buttons buttons);
  // The OK-only refusal with an empty caption used by most commands.
  void Refuse(std::u16string_view text);

 private:
  // Marks one interface call; the outermost one reports a failed write.
  class CallScope {
   public:
    explicit CallScope(CSkerrow& control);
    ~CallScope();

   private:
    CSkerrow& control_;
  };

  Platform& platform_;
  ControlState state_;
  Store store_;
  int call_depth_ = 0;
};

}  // namespace vellumine
