// Stub: replaced by the option texts' implementation.
#include "control/option_texts.h"

#include "control/skerrow.h"

namespace vellumine::options {
void RefreshOptionTexts(CSkerrow&, Document&) {}
}  // namespace vellumine::options
