// CSkerrow: the control. One instance holds the whole ControlState; the page
// calls its methods one at a time. Every method returns kOk, also when it
// refuses its input: refusals the user must see go through ShowMessage, the
// rest are silent. A file that could not be written is reported once per
// outermost call with msg::kSaveFailed, and the next call loads the folder
// again, so that memory holds what is saved.
//
// Other writers (another control, another process, a sync tool) may share
// the data folder. Each outermost call holds the folder's lock while it
// runs and acts on what is saved: when the folder changed since this control
// last loaded or saved it, or was never loaded, the call loads it first, as
// the host chose (ReloadStyle). InitPage always loads.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "control/context.h"
#include "model/state.h"
#include "page/document.h"
#include "page/text.h"
#include "platform/platform.h"
#include "store/store.h"

namespace vellumine {

using HResult = std::int32_t;
inline constexpr HResult kOk = 0;

// How a call that finds the folder changed loads it.
enum class ReloadStyle {
  kStateOnly,   // the saved state only; nothing is written into the page
  kRedrawPage,  // InitPage on the call's document: load, then redraw the page
};

// What a load of the data folder made ahead of a control's first call: the
// wallpapers, menus and memos, and the stamps of the item files they were
// read from (see PreloadFolder and CSkerrow::Prime).
struct FolderPreload {
  std::u16string data_folder;
  ControlState state;
  Store::Reads reads;
};

// Reads the data folder as a control's load does, through a platform of its
// own, so that a host may run it on another thread while it readies the page.
// It takes no lock and removes nothing; it only makes the folders a load
// makes. A file it finds damaged is not noted as read, so the control's own
// load reads it again and reports it.
FolderPreload PreloadFolder(Platform& platform);

class CSkerrow : public MessagePath {
 public:
  // Takes the data folder from the platform, sets the option defaults and
  // seeds its random engine with the platform's tick count.
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

  // The host's choice of how changes of other writers are loaded (default:
  // the state only).
  void set_reload_style(ReloadStyle style) { reload_style_ = style; }
  // For a host watching the data folder: changed names the files (relative,
  // with "/") that were seen to change. Unless each is as this control last
  // saved it, and the folder's signature is too, loads and redraws the page
  // (InitPage) under the lock. True when it did. Does nothing inside a call.
  bool RefreshAfterOutsideChange(Document& document, const std::vector<std::u16string>& changed);
  // Loads the data folder as InitPage does, under the folder's lock, without
  // writing the page (the runner's load before a script's first call).
  void LoadState();
  // Before the first load only: takes a preload of this control's data folder,
  // whose item files that are still as the preload read them the first load
  // then takes from it instead of reading them again. Anything else is
  // ignored; the first load reads every list, as it always does.
  void Prime(FolderPreload preload);
  // True once the folder has been loaded and no save has failed since.
  bool loaded() const { return loaded_; }

  // What the features work with: this control's state, store, platform,
  // engine and message path.
  Context& context() { return context_; }

  ControlState& state() { return state_; }
  const ControlState& state() const { return state_; }
  Platform& platform() { return platform_; }
  Store& store() { return store_; }
  std::mt19937& random() { return random_; }
  // The message path: through the platform, at once.
  Answer ShowMessage(std::u16string_view text, const std::optional<std::u16string>& caption,
                     Buttons buttons) override;
  void Refuse(std::u16string_view text) override;

 private:
  // Marks one interface call. The outermost one takes the folder's lock and
  // loads a changed folder (unless the method loads itself); Finish() ends
  // it: a new change stamp when anything was saved, the lock released, then
  // the messages of the call. Left by an exception, the scope only releases
  // the lock and has the next call load again.
  class CallScope {
   public:
    CallScope(CSkerrow& control, Document* document, bool loads_itself);
    ~CallScope();
    CallScope(const CallScope&) = delete;
    CallScope& operator=(const CallScope&) = delete;
    void Finish();
    bool reloaded() const { return reloaded_; }

   private:
    void Abandon();

    CSkerrow& control_;
    bool outermost_;
    bool reloaded_ = false;
    bool finished_ = false;
  };

  // Runs one interface method's body inside a CallScope; document is the
  // call's page, nullptr for methods without one.
  template <typename Body>
  HResult Call(Document* document, Body&& body, bool loads_itself = false) {
    CallScope scope(*this, document, loads_itself);
    body();
    scope.Finish();
    return kOk;
  }
  bool FolderChanged();
  void Reload(Document* document);
  // Loads every table from the folder (InitPage's steps 1 to 5).
  void LoadFolder();
  void EndCall();

  Platform& platform_;
  ControlState state_;
  // Item keys and the random wallpaper are drawn from this control's own
  // engine, seeded with the tick count when the control is made.
  std::mt19937 random_;
  Store store_;
  Context context_{state_, store_, platform_, random_, *this};
  int call_depth_ = 0;
  ReloadStyle reload_style_ = ReloadStyle::kStateOnly;
  std::unique_ptr<FileLock> lock_;
  bool loaded_ = false;
  bool ever_loaded_ = false;
  // A load without the page left the page showing older data.
  bool page_stale_ = false;
  FolderSignature seen_;  // the folder as last loaded or saved
};

}  // namespace vellumine
