#include "store/store.h"

#include "tests/support.h"
