// The page operations through the page writer (page_writer.js): the writes of
// one control call reach the live page as what they change, not as the
// markup they carry, and the page holds exactly what the plain writes
// (js_document.h) would have given once the call ends (Finish).
//
// Reads (lookups, tag names, positions, descendant walks) cross into the
// page one by one; a walk's style writes cross together when it ends.
#pragma once

#include <jsc/jsc.h>

#include <deque>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "page/document.h"

namespace vellumine::desktop {

// The writer's script, evaluated once per load of the page in its context.
const char* PageWriterScript();
// Evaluates the script in context: the writer object, or nullptr when it
// could not be made (the plain writes are used then).
JSCValue* MakePageWriter(JSCContext* context);

// What the page writer was last given to write into the element of each id,
// kept by the page's control from call to call: the same markup again is not
// sent to the page, only its number, which the writer holds for the content
// it wrote (and forgets when anything changes it). Likewise the tag names of
// the writer's last element lists, which it numbers.
class WrittenMarkup {
 public:
  struct Entry {
    std::u16string markup;
    double number = 0;  // exact in a script number up to 2^53
  };
  // The entry of id, nullptr when none.
  const Entry* Find(std::u16string_view id) const;
  // Records markup for id under a new number, which it returns.
  double Record(std::u16string_view id, std::u16string_view markup);
  std::size_t size() const { return entries_.size(); }

  // A page at capacity writes some 6,500 ids (windows, lists, option texts).
  static constexpr std::size_t kMaxEntries = 16384;

  // The tag names (upper case, a line each) of the element list the writer
  // gave number (see its descendants()), kept for the writer's next walks
  // over the same elements: copied into tags, false when not kept. (No
  // shared pointers here: the engine's own would be released through them.)
  bool FindTags(double number, std::u16string& tags) const;
  void KeepTags(double number, const std::u16string& tags);
  // A redraw walks the whole page twice, and each window with options of
  // its own on its own: fifty and more at capacity, every call. Kept up to
  // so many lists and so many names in all (the page's own list is some
  // 27,000 names at capacity), the oldest going first.
  static constexpr std::size_t kKeptLists = 256;
  static constexpr std::size_t kKeptUnits = std::size_t{1} << 20;

 private:
  std::unordered_map<std::u16string, Entry> entries_;
  double next_ = 1;
  std::deque<std::pair<double, std::u16string>> lists_;
  std::size_t kept_units_ = 0;
};

class FastDocument : public Document {
 public:
  // writer: made by MakePageWriter for the page whose document this is;
  // written: the page's, outlives the document.
  FastDocument(JSCContext* context, JSCValue* writer, WrittenMarkup& written);
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
  WrittenMarkup& written() { return written_; }
  // Queues a style write on the element at index of the current descendant
  // walk (property: c colour, f font family, s font size); the walk's
  // writes are sent when it ends.
  void QueueStyle(std::int32_t index, char16_t property, std::u16string_view value);
  void SendStyles();

 private:
  JSCContext* context_;
  JSCValue* writer_;
  WrittenMarkup& written_;
  std::u16string pending_styles_;
  // The last value queued for each property (c, f, s) in the pending batch.
  std::optional<std::u16string> last_styles_[3];
  // The index of the last write queued in the pending batch (0 before any).
  std::int32_t last_index_ = 0;
};

}  // namespace vellumine::desktop
