#include "organiser/memo_windows.h"

#include <algorithm>
#include <string>
#include <vector>

#include "control/context.h"
#include "control/windows.h"
#include "model/messages.h"
#include "organiser/memo_store.h"
#include "page/escape.h"
#include "page/page_ids.h"
#include "page/safe_markup.h"
#include "page/wide_format.h"
#include "store/records.h"

namespace vellumine::memos {
namespace {

// A page size read from a settings file may be below the lower bound that
// ChangeOption keeps; it must never divide.
constexpr std::int32_t kDefaultMemoItemNum = 10;

std::int64_t MemosPerPage(const ControlState& state) {
  const std::int32_t n = state.options.memo_item_num;
  return n < 1 ? kDefaultMemoItemNum : n;
}

std::u16string WindowName(const ItemKey& key) {
  return WideFormatted(u"memo%08x%08x", {key.first, key.second});
}

// Texts longer than a record can hold would be written but never read back.
bool FitsRecord(const std::u16string& text) {
  return text.size() + 8 <= static_cast<std::size_t>(kMaxRecordUnits);
}

// Escapes and checks the typed texts; refuses (subject first) and returns
// false when they can't be stored.
bool PrepareTexts(Context& context, const TextArg& subject, const TextArg& message,
                  std::u16string& escaped_subject, std::u16string& escaped_message) {
  if (!subject) {
    context.Refuse(msg::kNoSubject);
    return false;
  }
  if (!message) {
    context.Refuse(msg::kNoMessage);
    return false;
  }
  escaped_subject = EscapeMarkup(std::u16string_view(*subject));
  escaped_message = EscapeMarkup(std::u16string_view(*message));
  if (!FitsRecord(escaped_subject) || !FitsRecord(escaped_message)) {
    context.Refuse(msg::kSaveFailed);
    return false;
  }
  return true;
}

// New memo windows fan out from the default place.
constexpr std::int32_t kNewWindowStep = 28;

void RedrawAll(Context& context, Document& document) {
  RenderMemos(context, document);
  windows::ApplyWndLayout(context, document);
  // The windows drawn afresh take their styles again.
  std::vector<std::u16string> drawn = {std::u16string(ids::kMemo)};
  drawn.reserve(context.state().memos.size() + 1);
  for (const MemoEntry& memo : context.state().memos) drawn.push_back(WindowName(memo.key));
  windows::RestyleRedrawn(context, document, drawn);
}

}  // namespace

void RenderMemos(Context& context, Document& document) {
  RenderMemoList(context, document);
  RenderMemoWindows(context, document);
}

void RenderMemoList(Context& context, Document& document) {
  std::unique_ptr<Element> list = document.FindElementById(ids::kMemo);
  if (!list) return;
  ControlState& state = context.state();
  const std::int64_t per_page = MemosPerPage(state);
  const std::int64_t count = static_cast<std::int64_t>(state.memos.size());
  const std::int64_t last = count == 0 ? 0 : (count - 1) / per_page;
  const std::int64_t page = std::clamp<std::int64_t>(state.memo_page, 0, last);
  state.memo_page = static_cast<std::int32_t>(page);

  std::u16string html;
  WideFormat(html, u"<pre onmouseup=movewnd(\"memo\")>移動</pre>");
  const std::int64_t end = std::min(count, (page + 1) * per_page);
  for (std::int64_t i = page * per_page; i < end; ++i) {
    const MemoEntry& memo = state.memos[static_cast<std::size_t>(i)];
    // A memo without a subject keeps its place on the page but shows no line.
    if (!memo.subject) continue;
    WideFormat(html, u"<pre onmouseup=change('memo%08x%08x')>%s</pre>",
               {memo.key.first, memo.key.second, StoredTextMarkup(*memo.subject)});
  }
  if (page > 0) {
    WideFormat(html, u"<pre onmouseup=Skerrow.ChangeMemoPage(document,%d)>前のページ</pre>",
               {static_cast<std::int32_t>(page - 1)});
  }
  if (page < last) {
    WideFormat(html, u"<pre onmouseup=Skerrow.ChangeMemoPage(document,%d)>次のページ</pre>",
               {static_cast<std::int32_t>(page + 1)});
  }
  WideFormat(html,
             u"<pre onmouseup=\"memofrm.memonum.value=-1;change('memoinput')\">メモの追加</pre>");
  WideFormat(html, u"<pre onmouseup=change(\"memo\")>閉じる</pre>");
  list->SetInnerHtml(html);
}

void RenderMemoWindows(Context& context, Document& document) {
  std::unique_ptr<Element> field = document.FindElementById(ids::kMemoField);
  if (!field) return;
  const ControlState& state = context.state();
  std::u16string containers;
  for (const MemoEntry& memo : state.memos) {
    WideFormat(containers,
               u"<div id=\"memo%08x%08x\" style=\"position:absolute;left:20%%;top:10%%;"
               u"margin:0px;border:0px;visibility:visible\")></div>",
               {memo.key.first, memo.key.second});
  }
  field->SetInnerHtml(containers);
  field.reset();

  for (std::size_t i = 0; i < state.memos.size(); ++i) {
    const MemoEntry& memo = state.memos[i];
    const std::uint32_t a = memo.key.first;
    const std::uint32_t b = memo.key.second;
    const std::u16string name = WindowName(memo.key);
    // A window that can't be found is skipped; the others are still drawn.
    std::unique_ptr<Element> window = document.FindElementById(name);
    if (!window) continue;
    // A memo whose file could not be read is drawn with empty texts.
    std::u16string body;
    WideFormat(body, u"<pre id=\"subject%08x%08x\" onmouseup=movewnd('memo%08x%08x')>%s</pre>",
               {a, b, a, b, StoredTextMarkup(memo.subject.value_or(u""))});
    WideFormat(body, u"<pre id=\"message%08x%08x\">%s</pre>",
               {a, b, StoredTextMarkup(memo.message.value_or(u""))});
    WideFormat(body,
               u"<pre onmouseup=\"trinputfield('subject%08x%08x','subject');"
               u"trinputfield('message%08x%08x','message');memofrm.memonum.value=%d;"
               u"show('memoinput');\">編集</pre>",
               {a, b, a, b, static_cast<std::int32_t>(i)});
    window->SetInnerHtml(windows::WindowFrame(state, name, body, true));
  }
}

void AddMemo(Context& context, Document& document, const TextArg& subject, const TextArg& message) {
  std::u16string escaped_subject;
  std::u16string escaped_message;
  if (!PrepareTexts(context, subject, message, escaped_subject, escaped_message)) return;
  ControlState& state = context.state();
  if (static_cast<int>(state.memos.size()) >= kMaxMemos) {
    context.Refuse(msg::kTableFull);
    return;
  }
  MemoEntry entry;
  entry.key.first = StringHash(escaped_subject);
  entry.subject = std::move(escaped_subject);
  entry.message = std::move(escaped_message);
  // The memo's file first: the list never names a memo whose file isn't
  // saved. Either failing leaves memory, disk and page as they were.
  if (!SaveMemoFile(context.store(), entry)) return;
  state.memos.push_back(std::move(entry));
  if (!SaveMemoList(context.store(), state)) {
    DeleteMemoFile(context.store(), state.memos.back());
    state.memos.pop_back();
    return;
  }
  RedrawAll(context, document);
  windows::KeepOffOthers(context, document, WindowName(state.memos.back().key), kNewWindowStep);
}

void RenewMemo(Context& context, Document& document, const TextArg& subject, const TextArg& message,
               std::int32_t num) {
  ControlState& state = context.state();
  if (num < 0 || num >= static_cast<std::int32_t>(state.memos.size())) return;
  std::u16string escaped_subject;
  std::u16string escaped_message;
  if (!PrepareTexts(context, subject, message, escaped_subject, escaped_message)) return;
  MemoEntry& memo = state.memos[static_cast<std::size_t>(num)];
  MemoEntry before = memo;
  memo.subject = std::move(escaped_subject);
  memo.message = std::move(escaped_message);
  if (!SaveMemoFile(context.store(), memo)) {
    memo = std::move(before);
    return;
  }
  SaveMemoList(context.store(), state);
  RedrawAll(context, document);
}

void RemoveMemo(Context& context, Document& document, std::int32_t num) {
  ControlState& state = context.state();
  if (num < 0 || num >= static_cast<std::int32_t>(state.memos.size())) return;
  // Out of the list first; the file goes only once the list is saved
  // without it, so that a failure loses nothing.
  MemoEntry removed = std::move(state.memos[static_cast<std::size_t>(num)]);
  state.memos.erase(state.memos.begin() + num);
  if (!SaveMemoList(context.store(), state)) {
    state.memos.insert(state.memos.begin() + num, std::move(removed));
    return;
  }
  windows::ForgetWindow(context, WindowName(removed.key));
  DeleteMemoFile(context.store(), removed);
  RedrawAll(context, document);
}

void EditMemo(Context&, Document&, std::int32_t) {}

void ChangeMemoPage(Context& context, Document& document, std::int32_t page) {
  context.state().memo_page = page;
  RedrawMemoList(context, document);
}

void RedrawMemoList(Context& context, Document& document) {
  RenderMemoList(context, document);
  windows::RestyleRedrawn(context, document, {std::u16string(ids::kMemo)});
}

}  // namespace vellumine::memos
