// The option texts: the page-wide options in the option panel and every
// window's own options, rewritten whole from the state.
#pragma once

#include "page/document.h"

namespace vellumine {
class Context;
}

namespace vellumine::options {

void RefreshOptionTexts(Context& context, Document& document);

}  // namespace vellumine::options
