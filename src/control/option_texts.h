// The option texts: the page-wide options in the option panel and every
// window's own options, rewritten whole from the state.
#pragma once

#include "page/document.h"

namespace vellumine {
class CSkerrow;
}

namespace vellumine::options {

void RefreshOptionTexts(CSkerrow& control, Document& document);

}  // namespace vellumine::options
