// The control's methods as one table, which every host adapts to its own
// way of calling (script lines, COM, the page's script, the soak): each
// method's name, its parameters in the interface order (the document not
// counted), whether it takes the document first, its DISPID in the COM
// interface, and an invoker that calls the method with arguments taken from
// an ArgumentSource. Adding a method means adding its row here; the hosts
// follow.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "control/skerrow.h"

namespace vellumine {

enum class ParamKind { kInt, kText };

struct MethodParam {
  std::string_view name;  // as the interface names it ("LinkMenuNo")
  ParamKind kind;
};

// Where an invoker takes its arguments from: the host's own values (JSON,
// VARIANTs, script values), converted as asked. i counts the method's
// parameters from 0, the document not counted; each is asked once, in
// order, and only as the kind the table gives it.
class ArgumentSource {
 public:
  virtual ~ArgumentSource() = default;
  virtual std::int32_t Int(std::size_t i) = 0;
  virtual TextArg Text(std::size_t i) = 0;
};

struct Method {
  std::string_view name;
  std::int32_t dispid;  // 1..27, the table's order
  bool takes_document;
  std::span<const MethodParam> params;
  // document is the page to write into; it must not be null when
  // takes_document is set and is not looked at otherwise.
  HResult (*invoke)(CSkerrow& control, Document* document, ArgumentSource& args);
};

// Every method in DISPID order: the 26 of the interface, then ChangeMemoPage.
std::span<const Method> Methods();
// nullptr when no method has that name (names are case-sensitive).
const Method* FindMethod(std::string_view name);

}  // namespace vellumine
