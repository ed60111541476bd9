// The page operations through the page writer (page_writer.js): the writes of
// one control call reach the live page as what they change, not as the
// markup they carry, and the page holds exactly what the plain writes
// (js_document.h) would have given once the call ends (Finish).
//
// Reads (lookups, tag names, positions, descendant walks) cross into the
// page one by one; a walk's style writes cross together when it ends.
#pragma once

#include <jsc/jsc.h>

#include <initializer_list>
#include <string>

#include "page/document.h"

namespace vellumine::desktop {

// The writer's script, evaluated once per load of the page in its context.
const char* PageWriterScript();
// Evaluates the script in context: the writer object, or nullptr when it
// could not be made (the plain writes are used then).
JSCValue* MakePageWriter(JSCContext* context);

class FastDocument : public Document {
 public:
  // writer: made by MakePageWriter for the page whose document this is.
  FastDocument(JSCContext* context, JSCValue* writer);
  ~FastDocument() override;
  FastDocument(const FastDocument&) = delete;
  FastDocument& operator=(const FastDocument&) = delete;

  // Whether document is the page's own, the one writer writes.
  static bool Owns(JSCContext* context, JSCValue* writer, JSCValue* document);

  std::unique_ptr<Element> FindElementById(std::u16string_view id) override;
  std::unique_ptr<Element> Body() override;
  // Ends the call: whatever is still pending reaches the page.
  void Finish();

  // For the elements: a method of the writer with the given arguments; the
  // result is owned by the caller, nullptr when the call threw.
  JSCValue* Call(const char* method, std::initializer_list<JSCValue*> args);
  JSCContext* context() const { return context_; }
  // Style writes of the current descendant walk, sent when it ends.
  std::u16string& pending_styles() { return pending_styles_; }
  void SendStyles();

 private:
  JSCContext* context_;
  JSCValue* writer_;
  std::u16string pending_styles_;
};

}  // namespace vellumine::desktop
