// The script object `Skerrow`: one CSkerrow per load of the bundled page,
// reachable from that page's main frame only.
//
// The methods that launch a file, open a picker or a question, or change
// what a launch opens run only from the user's own action (IsUserAction);
// any other call of them does nothing, as a refused call always does. The
// page calls them from its click handlers, which stay allowed.
#pragma once

#include <jsc/jsc.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "control/skerrow.h"
#include "hosts/desktop/channel.h"
#include "page/text.h"
#include "platform/posix_platform.h"

namespace vellumine::desktop {

// The method names the object offers, in interface order (27 with
// ChangeMemoPage).
const char* const* SkerrowMethodNames(std::size_t* count);

// Script arguments as the interface takes them. A text: null, undefined or a
// missing argument is a null text, any other value its string form. A
// number: the script's own conversion to a signed 32-bit integer ("3" is 3,
// 3.7 is 3, 2^32 + 1 is 1, anything that is no number is 0).
TextArg TextArgument(JSCContext* context, JSCValue* value);
std::int32_t IntArgument(JSCContext* context, JSCValue* value);

// Whether the running call comes from the user's own action: the page has
// the user's activation (a click or key press moments ago, as the engine
// counts it), read in guard, an isolated script world of the same frame,
// where page script can't forge it; and the event being handled, if any, is
// a trusted input event (not, say, a picture's load error). nullptr guard:
// never.
bool IsUserAction(JSCContext* page, JSCContext* guard);

// The attribute of the page's field "linkfilename" that marks the next file
// pick as one for a wallpaper: its value "picture" has OpenFile offer
// pictures first and take nothing else.
inline constexpr char kPickMark[] = "data-pick";
// Whether document's "linkfilename" carries that mark.
bool WantsPicture(JSCContext* context, JSCValue* document);

// The methods that need the user's action, by name. ChangeOption and
// ChangeWindowOption need it only for the options that open the font picker.
bool NeedsUserAction(std::string_view method);

// How the control's page operations reach the page.
enum class WritePath {
  kFast,   // through the page writer (fast_document.h)
  kPlain,  // each one as it is (js_document.h): for comparisons
};

// The data folder read on a thread of its own (PreloadFolder) while the page
// loads, for the first page's control. (A thread and not std::async: the
// shared state of a future would put the standard library's shared pointer
// code in this module, where the engine's own calls could bind to it.)
class FolderPreloadTask {
 public:
  // Starts reading data_folder (canonical, ending with "/").
  explicit FolderPreloadTask(const std::u16string& data_folder);
  ~FolderPreloadTask();  // waits for the thread
  FolderPreloadTask(const FolderPreloadTask&) = delete;
  FolderPreloadTask& operator=(const FolderPreloadTask&) = delete;
  // What the thread read, once it has ended; nullopt when the read failed
  // or was taken already.
  std::optional<FolderPreload> Take();

 private:
  PosixPlatform files_;
  std::optional<FolderPreload> result_;
  std::thread thread_;
};

// Creates a fresh control on data_folder (the canonical data folder, ending
// with "/") and sets it as the global `Skerrow` of context. channel may be
// nullptr; without guard no call counts as the user's; ticks, when not 0,
// seeds the control's random source instead of the clock. The control keeps
// the page showing what is saved: it watches the folder and redraws the page
// when another writer changed it. preload, when given, reads the same
// folder: the control takes what it read before its first call.
void InstallSkerrow(JSCContext* context, const std::u16string& data_folder, ChannelClient* channel,
                    JSCContext* guard = nullptr, WritePath path = WritePath::kFast,
                    std::uint32_t ticks = 0, std::unique_ptr<FolderPreloadTask> preload = nullptr);

}  // namespace vellumine::desktop
