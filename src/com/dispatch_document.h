// The page operations over a scripted document reached by late binding: the
// page's document object, or any stand-in that answers the same names
// ("all", "length", "item", "id", "tagName", "innerHTML", "outerHTML",
// "innerText", "setAttribute", "body", "style", and on a style "left",
// "top", "visibility", "pixelLeft", "pixelTop", "color", "fontFamily",
// "fontSize"). A name the object does not answer reads as missing and a
// write it refuses is ignored.
#pragma once

#include <oaidl.h>

#include "com/com_ptr.h"
#include "page/document.h"

namespace vellumine::com {

class DispatchDocument : public Document {
 public:
  // document may be null: then no element is ever found.
  explicit DispatchDocument(IDispatch* document) : document_(ComPtr<IDispatch>::Share(document)) {}

  std::unique_ptr<Element> FindElementById(std::u16string_view id) override;
  std::unique_ptr<Element> Body() override;

 private:
  ComPtr<IDispatch> document_;
};

}  // namespace vellumine::com
