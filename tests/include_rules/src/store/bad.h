#pragma once

#include "control/skerrow.h"
#include "platform/posix_platform.h"
  #  include "tests/support.h"
#include "page/wide_format.h"
