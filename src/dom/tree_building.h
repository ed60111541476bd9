// Tree building: gumbo parses, and its read-only output is copied into the
// document's own nodes.
#pragma once

#include <gumbo.h>

#include <string_view>

#include "dom/node.h"

namespace vellumine::html {

// Parses html as a whole page (context GUMBO_TAG_LAST) or as a fragment in
// the context of an element with that tag. The fragment's nodes become the
// children of the returned holder node. has_doctype, when given, tells
// whether the page began with a doctype.
NodePtr ParseInto(std::string_view html, GumboTag context, bool* has_doctype, NodePool* pool);

}  // namespace vellumine::html
