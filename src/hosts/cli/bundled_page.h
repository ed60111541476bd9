// The project's host page (web/index.html), compiled into the runner so it
// works from any directory.
#pragma once

#include <string_view>

namespace vellumine::cli {

std::string_view BundledPage();

}  // namespace vellumine::cli
