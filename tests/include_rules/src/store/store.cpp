#include "store/store.h"

#include <vector>

#include "page/text.h"
#include "platform/platform.h"
