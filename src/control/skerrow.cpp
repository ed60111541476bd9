#include "control/skerrow.h"

#include "control/messages.h"
#include "control/option_texts.h"
#include "control/options.h"
#include "control/windows.h"
#include "links/launch.h"
#include "links/link_commands.h"
#include "links/link_store.h"
#include "links/link_windows.h"
#include "organiser/calendar.h"
#include "organiser/memo_store.h"
#include "organiser/memo_windows.h"
#include "organiser/schedule.h"
#include "store/random_source.h"
#include "store/settings.h"
#include "wallpaper/wallpaper.h"

namespace vellumine {

CSkerrow::CSkerrow(Platform& platform)
    : platform_(platform), store_(platform, platform.DataFolder()) {
  state_.data_folder = store_.data_folder();
  RandomSource::Instance().Seed(platform_.TickCount());
}

CSkerrow::CallScope::CallScope(CSkerrow& control) : control_(control) { ++control_.call_depth_; }

CSkerrow::CallScope::~CallScope() {
  if (--control_.call_depth_ == 0 && control_.store_.TakeFailure()) {
    control_.ShowMessage(msg::kSaveFailed, std::u16string(), Buttons::kOk);
  }
}

Answer CSkerrow::ShowMessage(std::u16string_view text, const std::optional<std::u16string>& caption,
                             Buttons buttons) {
  return platform_.ShowMessage(text, caption, buttons);
}

void CSkerrow::Refuse(std::u16string_view text) {
  ShowMessage(text, std::u16string(), Buttons::kOk);
}

HResult CSkerrow::InitPage(Document& document) {
  CallScope scope(*this);
  LoadConfig(store_, state_);
  LoadWallPaperList(store_, state_);
  links::LoadLinkMenus(store_, state_);
  memos::LoadMemoList(store_, state_);
  windows::ForgetFixedPanels(state_);
  const LocalDate today = platform_.Today();
  SetCalender(document, today.year, today.month);
  wallpaper::RenderWallPaperList(*this, document);
  memos::RenderMemos(*this, document);
  wallpaper::ApplyBackground(*this, document, state_.current_wallpaper);
  links::RenderLinkWindows(*this, document);
  windows::Refresh(*this, document);
  options::RefreshOptionTexts(*this, document);
  ChangeDate(document, today.year, today.month, today.day);
  windows::PruneWndList(document, state_.windows);
  SaveConfig(store_, state_);
  if (WallPaperEntry* current = state_.CurrentWallPaper()) {
    windows::PruneWndList(document, current->windows);
    SaveWallPaperSettings(store_, *current);
  }
  return kOk;
}

HResult CSkerrow::SetBG_Random(Document& document) {
  CallScope scope(*this);
  wallpaper::SetBG_Random(*this, document);
  return kOk;
}

HResult CSkerrow::SetCalender(Document& document, std::int32_t Year, std::int32_t Month) {
  CallScope scope(*this);
  calendar::SetCalender(*this, document, Year, Month);
  return kOk;
}

HResult CSkerrow::AddWallPaper(Document& document, const TextArg& FileName) {
  CallScope scope(*this);
  wallpaper::AddWallPaper(*this, document, FileName);
  return kOk;
}

HResult CSkerrow::RemoveWallPaper(Document& document, std::int32_t No) {
  CallScope scope(*this);
  wallpaper::RemoveWallPaper(*this, document, No);
  return kOk;
}

HResult CSkerrow::SetBG(Document& document, std::int32_t No) {
  CallScope scope(*this);
  wallpaper::SetBG(*this, document, No);
  return kOk;
}

HResult CSkerrow::SetWndPos(const TextArg& WndName, std::int32_t x, std::int32_t y,
                            std::int32_t Visiblity) {
  CallScope scope(*this);
  windows::SetWndPos(*this, WndName, x, y, Visiblity);
  return kOk;
}

HResult CSkerrow::ChangeOption(Document& document, const TextArg& OptionName, std::int32_t Value) {
  CallScope scope(*this);
  options::ChangeOption(*this, document, OptionName, Value);
  return kOk;
}

HResult CSkerrow::OpenFile(Document& document) {
  CallScope scope(*this);
  links::OpenFile(*this, document);
  return kOk;
}

HResult CSkerrow::OpenFolder(Document& document) {
  CallScope scope(*this);
  links::OpenFolder(*this, document);
  return kOk;
}

HResult CSkerrow::AddLink(Document& document, const TextArg& Path, std::int32_t LinkMenuNo) {
  CallScope scope(*this);
  links::AddLink(*this, document, Path, LinkMenuNo);
  return kOk;
}

HResult CSkerrow::ChangeLink(Document& document, std::int32_t LinkNo, const TextArg& Path,
                             std::int32_t LinkMenuNo) {
  CallScope scope(*this);
  links::ChangeLink(*this, document, LinkNo, Path, LinkMenuNo);
  return kOk;
}

HResult CSkerrow::RemoveLink(Document& document, std::int32_t LinkNo, std::int32_t LinkMenuNo) {
  CallScope scope(*this);
  links::RemoveLink(*this, document, LinkNo, LinkMenuNo);
  return kOk;
}

HResult CSkerrow::Open(std::int32_t LinkMenuNo, std::int32_t LinkNo) {
  CallScope scope(*this);
  links::Open(*this, LinkMenuNo, LinkNo);
  return kOk;
}

HResult CSkerrow::ChangeLinkPage(Document& document, std::int32_t LinkMenuNo, std::int32_t PageNo) {
  CallScope scope(*this);
  links::ChangeLinkPage(*this, document, LinkMenuNo, PageNo);
  return kOk;
}

HResult CSkerrow::ChangeDate(Document& document, std::int32_t Year, std::int32_t Month,
                             std::int32_t Day) {
  CallScope scope(*this);
  schedule::ChangeDate(*this, document, Year, Month, Day);
  return kOk;
}

HResult CSkerrow::ChangeSchedule(Document& document, const TextArg& Schedule, std::int32_t Year,
                                 std::int32_t Month, std::int32_t Day) {
  CallScope scope(*this);
  schedule::ChangeSchedule(*this, document, Schedule, Year, Month, Day);
  return kOk;
}

HResult CSkerrow::AddMemo(Document& document, const TextArg& Subject, const TextArg& Message) {
  CallScope scope(*this);
  memos::AddMemo(*this, document, Subject, Message);
  return kOk;
}

HResult CSkerrow::RenewMemo(Document& document, const TextArg& Subject, const TextArg& Message,
                            std::int32_t Num) {
  CallScope scope(*this);
  memos::RenewMemo(*this, document, Subject, Message, Num);
  return kOk;
}

HResult CSkerrow::RemoveMemo(Document& document, std::int32_t Num) {
  CallScope scope(*this);
  memos::RemoveMemo(*this, document, Num);
  return kOk;
}

HResult CSkerrow::EditMemo(Document& document, std::int32_t Num) {
  CallScope scope(*this);
  memos::EditMemo(*this, document, Num);
  return kOk;
}

HResult CSkerrow::MakeLinkMenu(Document& document, const TextArg& MenuName,
                               std::int32_t LinkMenuNo) {
  CallScope scope(*this);
  links::MakeLinkMenu(*this, document, MenuName, LinkMenuNo);
  return kOk;
}

HResult CSkerrow::ChangeLinkMenu(Document& document, std::int32_t MenuNo) {
  CallScope scope(*this);
  links::ChangeLinkMenu(*this, document, MenuNo);
  return kOk;
}

HResult CSkerrow::RemoveLinkMenu(Document& document, std::int32_t MenuNo) {
  CallScope scope(*this);
  links::RemoveLinkMenu(*this, document, MenuNo);
  return kOk;
}

HResult CSkerrow::PermuteLink(Document& document, std::int32_t LinkNo1, std::int32_t LinkNo2,
                              std::int32_t LinkMenuNo) {
  CallScope scope(*this);
  links::PermuteLink(*this, document, LinkNo1, LinkNo2, LinkMenuNo);
  return kOk;
}

HResult CSkerrow::ChangeWindowOption(Document& document, const TextArg& MenuName,
                                     const TextArg& OptionName, std::int32_t Value) {
  CallScope scope(*this);
  options::ChangeWindowOption(*this, document, MenuName, OptionName, Value);
  return kOk;
}

HResult CSkerrow::ChangeMemoPage(Document& document, std::int32_t PageNo) {
  CallScope scope(*this);
  memos::ChangeMemoPage(*this, document, PageNo);
  return kOk;
}

}  // namespace vellumine
