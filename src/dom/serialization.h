// Serialization: a node, or its children, written back as HTML the way
// browsers write innerHTML and outerHTML.
#pragma once

#include <string>

#include "dom/node.h"

namespace vellumine::html {

// Appends node itself (include_self, outer HTML) or only its children.
void SerializeNode(std::string& out, const Node& root, bool include_self);

}  // namespace vellumine::html
