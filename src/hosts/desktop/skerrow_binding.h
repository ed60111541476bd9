// The script object `Skerrow`: one CSkerrow per load of the bundled page,
// reachable from that page's main frame only.
#pragma once

#include <jsc/jsc.h>

#include <cstdint>
#include <string>

#include "hosts/desktop/channel.h"
#include "page/text.h"

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

// Creates a fresh control on data_folder (the canonical data folder, ending
// with "/") and sets it as the global `Skerrow` of context. channel may be
// nullptr. The control keeps the page showing what is saved: it watches the
// folder and redraws the page when another writer changed it.
void InstallSkerrow(JSCContext* context, const std::u16string& data_folder, ChannelClient* channel);

}  // namespace vellumine::desktop
