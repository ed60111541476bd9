#include "control/skerrow.h"

#include "control/option_texts.h"
#include "control/options.h"
#include "control/windows.h"
#include "links/launch.h"
#include "links/link_commands.h"
#include "links/link_store.h"
#include "links/link_windows.h"
#include "model/messages.h"
#include "organiser/calendar.h"
#include "organiser/memo_store.h"
#include "organiser/memo_windows.h"
#include "organiser/schedule.h"
#include "page/wide_format.h"
#include "store/settings.h"
#include "wallpaper/wallpaper.h"

namespace vellumine {

CSkerrow::CSkerrow(Platform& platform)
    : platform_(platform),
      random_(platform.TickCount()),
      store_(platform, platform.DataFolder(), &random_) {
  state_.data_folder = store_.data_folder();
}

CSkerrow::CallScope::CallScope(CSkerrow& control, Document* document, bool loads_itself)
    : control_(control), outermost_(control.call_depth_++ == 0) {
  if (!outermost_) return;
  try {
    // One writer at a time: the lock is held until the call ends.
    control_.lock_ = control_.store_.LockFolder();
    if (loads_itself) return;
    if (control_.FolderChanged()) {
      control_.Reload(document);
      reloaded_ = true;
    } else if (control_.page_stale_ && document != nullptr &&
               control_.reload_style_ == ReloadStyle::kRedrawPage) {
      control_.InitPage(*document);
      reloaded_ = true;
    }
  } catch (...) {
    Abandon();
    throw;
  }
}

void CSkerrow::CallScope::Abandon() {
  finished_ = true;
  --control_.call_depth_;
  if (!outermost_) return;
  control_.loaded_ = false;
  control_.store_.TakeSaved();
  control_.store_.TakeFailure();
  control_.store_.TakeKeptCopies();
  control_.lock_.reset();
}

void CSkerrow::CallScope::Finish() {
  finished_ = true;
  --control_.call_depth_;
  if (outermost_) control_.EndCall();
}

CSkerrow::CallScope::~CallScope() {
  // Left by an exception: the call stopped half-way, so what is in memory
  // may not be what is saved; the next call loads again. Nothing else is
  // done here, as nothing would be after a crash.
  if (!finished_) Abandon();
}

bool CSkerrow::FolderChanged() { return !loaded_ || store_.Signature() != seen_; }

void CSkerrow::Reload(Document* document) {
  if (reload_style_ == ReloadStyle::kRedrawPage) {
    if (document != nullptr) {
      InitPage(*document);
      return;
    }
    // A call without the page (SetWndPos, Open): the state now, the page at
    // the next call that has it.
    page_stale_ = true;
  }
  LoadFolder();
}

namespace {

// The tables a load reads, in the order each needs: the wallpapers' windows
// take their style defaults from the global options.
void ReadTables(Store& store, ControlState& state) {
  LoadConfig(store, state);
  LoadWallPaperList(store, state);
  links::LoadLinkMenus(store, state);
  memos::LoadMemoList(store, state);
}

}  // namespace

void CSkerrow::LoadFolder() {
  // Under the folder's lock: no writer of this system is half-way through a
  // save, so a temporary left in the folder is a crashed save's.
  store_.ClearDamaged();
  store_.RemoveLeftovers();
  // The settings file may leave keys out; those take the defaults, not what
  // an earlier load left in memory.
  state_.options = PageOptions{};
  state_.windows.clear();
  state_.current_wallpaper = -1;
  ReadTables(store_, state_);
  windows::ForgetFixedPanels(state_);
  loaded_ = true;
  ever_loaded_ = true;
  seen_ = store_.Signature();
}

FolderPreload PreloadFolder(Platform& platform) {
  std::mt19937 unused;  // keys are drawn only for writes, and this writes no file
  Store store(platform, platform.DataFolder(), &unused);
  FolderPreload preload;
  preload.data_folder = store.data_folder();
  ReadTables(store, preload.state);
  preload.reads = store.TakeReads();
  return preload;
}

void CSkerrow::Prime(FolderPreload preload) {
  if (ever_loaded_ || call_depth_ != 0 || preload.data_folder != store_.data_folder()) return;
  // The loaders keep an entry only when its file is still as noted: the
  // tables and the notes go together.
  state_.wallpapers = std::move(preload.state.wallpapers);
  state_.wallpaper_defaults = std::move(preload.state.wallpaper_defaults);
  state_.menus = std::move(preload.state.menus);
  state_.memos = std::move(preload.state.memos);
  store_.AdoptReads(std::move(preload.reads));
}

void CSkerrow::EndCall() {
  if (store_.TakeSaved()) {
    store_.BumpStamp();
    seen_ = store_.Signature();
  }
  // After a failed save memory and disk may differ: the next call loads
  // what is saved.
  const bool failed = store_.TakeFailure();
  if (failed) {
    loaded_ = false;
    store_.ForgetReads();
  }
  const std::vector<std::u16string> kept = store_.TakeKeptCopies();
  // The messages wait for the user; other writers need not.
  lock_.reset();
  if (!kept.empty()) {
    std::u16string names;
    for (const std::u16string& name : kept) {
      if (!names.empty()) names += u"、";
      names += name;
    }
    ShowMessage(WideFormatted(msg::kDamagedKept, {names}), std::u16string(), Buttons::kOk);
  }
  if (failed) ShowMessage(msg::kSaveFailed, std::u16string(), Buttons::kOk);
}

void CSkerrow::LoadState() {
  if (call_depth_ != 0) return;
  CallScope scope(*this, nullptr, true);
  LoadFolder();
  scope.Finish();
}

bool CSkerrow::RefreshAfterOutsideChange(Document& document,
                                         const std::vector<std::u16string>& changed) {
  if (call_depth_ != 0) return false;
  CallScope scope(*this, &document, false);
  bool reloaded = scope.reloaded();
  if (!reloaded) {
    for (const std::u16string& relative : changed) {
      if (store_.IsKnownState(relative)) continue;
      InitPage(document);
      reloaded = true;
      break;
    }
  }
  // What was loaded is known now: the same files seen again are no news.
  if (reloaded) {
    for (const std::u16string& relative : changed) store_.NoteKnownState(relative);
  }
  scope.Finish();
  return reloaded;
}

Answer CSkerrow::ShowMessage(std::u16string_view text, const std::optional<std::u16string>& caption,
                             Buttons buttons) {
  return platform_.ShowMessage(text, caption, buttons);
}

void CSkerrow::Refuse(std::u16string_view text) {
  ShowMessage(text, std::u16string(), Buttons::kOk);
}

HResult CSkerrow::InitPage(Document& document) {
  return Call(
      &document,
      [&] {
        LoadFolder();
        page_stale_ = false;
        const LocalDate today = platform_.Today();
        calendar::SetCalender(context_, document, today.year, today.month);
        wallpaper::RenderWallPaperList(context_, document);
        memos::RenderMemos(context_, document);
        wallpaper::ApplyBackground(context_, document, state_.current_wallpaper);
        links::RenderLinkWindows(context_, document);
        windows::Refresh(context_, document);
        options::RefreshOptionTexts(context_, document);
        schedule::ChangeDate(context_, document, today.year, today.month, today.day);
        windows::PruneWndList(document, state_.windows);
        SaveConfig(store_, state_);
        if (WallPaperEntry* current = state_.CurrentWallPaper()) {
          windows::PruneWndList(document, current->windows);
          SaveWallPaperSettings(store_, *current);
        }
      },
      true);
}

HResult CSkerrow::SetBG_Random(Document& document) {
  return Call(&document, [&] { wallpaper::SetBG_Random(context_, document); });
}

HResult CSkerrow::SetCalender(Document& document, std::int32_t Year, std::int32_t Month) {
  return Call(&document, [&] { calendar::SetCalender(context_, document, Year, Month); });
}

HResult CSkerrow::AddWallPaper(Document& document, const TextArg& FileName) {
  return Call(&document, [&] { wallpaper::AddWallPaper(context_, document, FileName); });
}

HResult CSkerrow::RemoveWallPaper(Document& document, std::int32_t No) {
  return Call(&document, [&] { wallpaper::RemoveWallPaper(context_, document, No); });
}

HResult CSkerrow::SetBG(Document& document, std::int32_t No) {
  return Call(&document, [&] { wallpaper::SetBG(context_, document, No); });
}

HResult CSkerrow::SetWndPos(const TextArg& WndName, std::int32_t x, std::int32_t y,
                            std::int32_t Visiblity) {
  return Call(nullptr, [&] { windows::SetWndPos(context_, WndName, x, y, Visiblity); });
}

HResult CSkerrow::ChangeOption(Document& document, const TextArg& OptionName, std::int32_t Value) {
  return Call(&document, [&] { options::ChangeOption(context_, document, OptionName, Value); });
}

HResult CSkerrow::OpenFile(Document& document) {
  return Call(&document, [&] { links::OpenFile(context_, document); });
}

HResult CSkerrow::OpenFolder(Document& document) {
  return Call(&document, [&] { links::OpenFolder(context_, document); });
}

HResult CSkerrow::AddLink(Document& document, const TextArg& Path, std::int32_t LinkMenuNo) {
  return Call(&document, [&] { links::AddLink(context_, document, Path, LinkMenuNo); });
}

HResult CSkerrow::ChangeLink(Document& document, std::int32_t LinkNo, const TextArg& Path,
                             std::int32_t LinkMenuNo) {
  return Call(&document, [&] { links::ChangeLink(context_, document, LinkNo, Path, LinkMenuNo); });
}

HResult CSkerrow::RemoveLink(Document& document, std::int32_t LinkNo, std::int32_t LinkMenuNo) {
  return Call(&document, [&] { links::RemoveLink(context_, document, LinkNo, LinkMenuNo); });
}

HResult CSkerrow::Open(std::int32_t LinkMenuNo, std::int32_t LinkNo) {
  return Call(nullptr, [&] { links::Open(context_, LinkMenuNo, LinkNo); });
}

HResult CSkerrow::ChangeLinkPage(Document& document, std::int32_t LinkMenuNo, std::int32_t PageNo) {
  return Call(&document, [&] { links::ChangeLinkPage(context_, document, LinkMenuNo, PageNo); });
}

HResult CSkerrow::ChangeDate(Document& document, std::int32_t Year, std::int32_t Month,
                             std::int32_t Day) {
  return Call(&document, [&] { schedule::ChangeDate(context_, document, Year, Month, Day); });
}

HResult CSkerrow::ChangeSchedule(Document& document, const TextArg& Schedule, std::int32_t Year,
                                 std::int32_t Month, std::int32_t Day) {
  return Call(&document,
              [&] { schedule::ChangeSchedule(context_, document, Schedule, Year, Month, Day); });
}

HResult CSkerrow::AddMemo(Document& document, const TextArg& Subject, const TextArg& Message) {
  return Call(&document, [&] { memos::AddMemo(context_, document, Subject, Message); });
}

HResult CSkerrow::RenewMemo(Document& document, const TextArg& Subject, const TextArg& Message,
                            std::int32_t Num) {
  return Call(&document, [&] { memos::RenewMemo(context_, document, Subject, Message, Num); });
}

HResult CSkerrow::RemoveMemo(Document& document, std::int32_t Num) {
  return Call(&document, [&] { memos::RemoveMemo(context_, document, Num); });
}

HResult CSkerrow::EditMemo(Document& document, std::int32_t Num) {
  return Call(&document, [&] { memos::EditMemo(context_, document, Num); });
}

HResult CSkerrow::MakeLinkMenu(Document& document, const TextArg& MenuName,
                               std::int32_t LinkMenuNo) {
  return Call(&document, [&] { links::MakeLinkMenu(context_, document, MenuName, LinkMenuNo); });
}

HResult CSkerrow::ChangeLinkMenu(Document& document, std::int32_t MenuNo) {
  return Call(&document, [&] { links::ChangeLinkMenu(context_, document, MenuNo); });
}

HResult CSkerrow::RemoveLinkMenu(Document& document, std::int32_t MenuNo) {
  return Call(&document, [&] { links::RemoveLinkMenu(context_, document, MenuNo); });
}

HResult CSkerrow::PermuteLink(Document& document, std::int32_t LinkNo1, std::int32_t LinkNo2,
                              std::int32_t LinkMenuNo) {
  return Call(&document,
              [&] { links::PermuteLink(context_, document, LinkNo1, LinkNo2, LinkMenuNo); });
}

HResult CSkerrow::ChangeWindowOption(Document& document, const TextArg& MenuName,
                                     const TextArg& OptionName, std::int32_t Value) {
  return Call(&document, [&] {
    options::ChangeWindowOption(context_, document, MenuName, OptionName, Value);
  });
}

HResult CSkerrow::ChangeMemoPage(Document& document, std::int32_t PageNo) {
  return Call(&document, [&] { memos::ChangeMemoPage(context_, document, PageNo); });
}

}  // namespace vellumine
