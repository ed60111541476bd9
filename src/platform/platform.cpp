#include "platform/platform.h"

namespace vellumine {
namespace {

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// Cuts one run of digits off the end of text; false when there is none.
bool CutDigits(std::u16string_view& text) {
  std::size_t n = text.size();
  while (n > 0 && IsDigit(text[n - 1])) --n;
  if (n == text.size()) return false;
  text = text.substr(0, n);
  return true;
}

bool CutSuffix(std::u16string_view& text, std::u16string_view suffix) {
  if (!text.ends_with(suffix)) return false;
  text.remove_suffix(suffix.size());
  return true;
}

}  // namespace

const char* WriteStepName(WriteStep step) {
  switch (step) {
    case WriteStep::kNone:
      return "none";
    case WriteStep::kPath:
      return "path";
    case WriteStep::kNotAFile:
      return "not a file";
    case WriteStep::kReadOnly:
      return "read-only";
    case WriteStep::kCreateTemporary:
      return "create temporary";
    case WriteStep::kKeepMode:
      return "keep mode";
    case WriteStep::kWrite:
      return "write";
    case WriteStep::kFlush:
      return "flush";
    case WriteStep::kRename:
      return "rename";
  }
  return "unknown";
}

bool IsTemporaryName(std::u16string_view name) {
  // "." base ".tmp" digits "-" digits "-" digits, base not empty.
  if (!name.starts_with(u'.')) return false;
  std::u16string_view rest = name.substr(1);
  return CutDigits(rest) && CutSuffix(rest, u"-") && CutDigits(rest) && CutSuffix(rest, u"-") &&
         CutDigits(rest) && CutSuffix(rest, u".tmp") && !rest.empty();
}

}  // namespace vellumine
