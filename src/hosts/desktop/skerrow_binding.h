// The script object `Skerrow`: one CSkerrow per load of the bundled page,
// reachable from that page's main frame only.
#pragma once

#include <jsc/jsc.h>

#include <string>

#include "hosts/desktop/channel.h"

namespace vellumine::desktop {

// The method names the object offers, in interface order (27 with
// ChangeMemoPage).
const char* const* SkerrowMethodNames(std::size_t* count);

// Creates a fresh control on data_folder and sets it as the global `Skerrow`
// of context. channel may be nullptr.
void InstallSkerrow(JSCContext* context, const std::u16string& data_folder, ChannelClient* channel);

}  // namespace vellumine::desktop
