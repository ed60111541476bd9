// The structure of a page as an HTML5 parser builds it: one line per element
// and comment, in document order, with its depth, namespace, tag and
// attributes. Text is left out. Attribute values are kept exactly, except
// "style", which keeps only the names of its declarations, and "src" and
// "value", which the control fills with paths: their values are left out.
// Two pages whose texts differ but whose markup was made by the same
// templates have the same structure; a text that became markup shows.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vellumine::testing {

std::vector<std::string> PageStructure(std::string_view html);

// The property names of a style attribute's declarations, in order; ";"
// inside strings, brackets and escapes ends none. A declaration without
// ":" counts by its whole text.
std::vector<std::string> StyleProperties(std::string_view style);

// The first line where two structures differ, "" when they are equal.
std::string FirstDifference(const std::vector<std::string>& expected,
                            const std::vector<std::string>& actual);

}  // namespace vellumine::testing
