// WideFormat with any format and any arguments: never reads past the
// arguments, answers the number of units it appended, and copies a format
// without "%" unchanged.
#include <fuzzer/FuzzedDataProvider.h>

#include <vector>

#include "fuzz/fuzz_support.h"
#include "page/wide_format.h"

using namespace vellumine;

namespace {

std::u16string Units(FuzzedDataProvider& in, std::size_t max_units) {
  return fuzz::LittleEndianUnits(in.ConsumeRandomLengthString(max_units * 2));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  // An ASCII format reaches the conversions more often than random units.
  std::u16string format;
  if (in.ConsumeBool()) {
    for (char c : in.ConsumeRandomLengthString(64)) format.push_back(static_cast<unsigned char>(c));
  } else {
    format = Units(in, 64);
  }
  // The byte formatter pads a numeric conversion out to its full width
  // before the result is cut, so a width of a hundred million takes seconds;
  // no layout asks for more than a few digits.
  std::size_t digits = 0;
  for (char16_t c : format) {
    digits = c >= u'0' && c <= u'9' ? digits + 1 : 0;
    if (digits > 6) return 0;
  }
  std::vector<std::u16string> texts;
  std::vector<FormatArg> args;
  texts.reserve(4);
  const int count = in.ConsumeIntegralInRange(0, 4);
  for (int i = 0; i < count; ++i) {
    switch (in.ConsumeIntegralInRange(0, 2)) {
      case 0:
        args.emplace_back(in.ConsumeIntegral<std::int32_t>());
        break;
      case 1:
        args.emplace_back(in.ConsumeFloatingPoint<double>());
        break;
      default:
        texts.push_back(Units(in, 32));
        args.emplace_back(std::u16string_view(texts.back()));
        break;
    }
  }
  std::u16string dest = u"pre";
  std::size_t n = 0;
  switch (args.size()) {
    case 0:
      n = WideFormat(dest, format);
      break;
    case 1:
      n = WideFormat(dest, format, {args[0]});
      break;
    case 2:
      n = WideFormat(dest, format, {args[0], args[1]});
      break;
    case 3:
      n = WideFormat(dest, format, {args[0], args[1], args[2]});
      break;
    default:
      n = WideFormat(dest, format, {args[0], args[1], args[2], args[3]});
      break;
  }
  FUZZ_CHECK(dest.compare(0, 3, u"pre") == 0);
  FUZZ_CHECK(n == dest.size() - 3);
  if (format.find(u'%') == std::u16string::npos) FUZZ_CHECK(dest.substr(3) == format);
  return 0;
}
