#include "hosts/desktop/skerrow_binding.h"

#include <algorithm>
#include <iterator>
#include <memory>
#include <optional>
#include <vector>

#include "control/skerrow.h"
#include "hosts/desktop/desktop_platform.h"
#include "hosts/desktop/fast_document.h"
#include "hosts/desktop/folder_watch.h"
#include "hosts/desktop/js_document.h"

namespace vellumine::desktop {
namespace {

// One control with its platform; owned by the script object and freed when
// the page lets go of it. The page shows what is saved: a call that finds
// the folder changed reloads and redraws the page first, and a change made
// from outside is loaded and drawn shortly after it happens.
struct PageControl {
  PageControl(const std::u16string& data_folder, ChannelClient* channel, JSCContext* context,
              JSCContext* guard_world, std::uint32_t ticks)
      : platform(channel, ticks),
        control((platform.set_data_folder(data_folder), platform)),
        guard(guard_world != nullptr ? JSC_CONTEXT(g_object_ref(guard_world)) : nullptr),
        page_context(JSC_CONTEXT(g_object_ref(context))) {
    control.set_reload_style(ReloadStyle::kRedrawPage);
    watch = std::make_unique<FolderWatch>(
        Utf16ToUtf8(data_folder),
        [this](const std::vector<std::u16string>& changed) { Refresh(changed); });
  }
  ~PageControl() {
    Retire();
    if (guard != nullptr) g_object_unref(guard);
    if (writer != nullptr) g_object_unref(writer);
  }
  PageControl(const PageControl&) = delete;
  PageControl& operator=(const PageControl&) = delete;

  // The page this control draws into is gone (another load of the page has
  // a control of its own): no more watching, and the page's context is let
  // go, so that the page, and with it this control, can be freed.
  void Retire() {
    watch.reset();
    if (page_context != nullptr) g_object_unref(page_context);
    page_context = nullptr;
  }

  // Loads and redraws the page if the folder changed from outside; a call
  // under way (the watch can't interrupt one) has loaded what it needs.
  void Refresh(const std::vector<std::u16string>& changed);

  DesktopPlatform platform;
  CSkerrow control;
  JSCContext* guard;
  bool busy = false;
  // The page writer, kept alive by the script object itself: a strong hold
  // from here would keep the whole page alive through the object.
  JSCWeakValue* writer = nullptr;
  WrittenMarkup written;
  // Held while the page is the current one: the watch draws into it.
  JSCContext* page_context;
  std::unique_ptr<FolderWatch> watch;
};

// The control of the page shown now; the one before it is retired when a new
// load of the page gets its own.
PageControl* g_current = nullptr;

// The script's arguments, converted as the interface takes them.
class Args {
 public:
  Args(JSCContext* context, GPtrArray* values, JSCContext* guard, JSCWeakValue* writer,
       WrittenMarkup& written)
      : context_(context), values_(values), guard_(guard), writer_(writer), written_(written) {}
  ~Args() {
    if (fast_ != nullptr) fast_->Finish();
  }
  Args(const Args&) = delete;
  Args& operator=(const Args&) = delete;

  JSCValue* At(guint i) const {
    return values_ != nullptr && i < values_->len ? JSC_VALUE(g_ptr_array_index(values_, i))
                                                  : nullptr;
  }
  TextArg Text(guint i) const { return TextArgument(context_, At(i)); }
  std::int32_t Int(guint i) const { return IntArgument(context_, At(i)); }
  // The page's own document goes through the writer; anything else the
  // script passes is written as it is.
  Document& Doc(guint i) {
    if (document_) return *document_;
    JSCValue* value = At(i);
    JSCValue* writer = writer_ != nullptr ? jsc_weak_value_get_value(writer_) : nullptr;
    if (writer != nullptr && FastDocument::Owns(context_, writer, value)) {
      auto fast = std::make_unique<FastDocument>(context_, writer, written_);
      fast_ = fast.get();
      document_ = std::move(fast);
    } else {
      document_ = std::make_unique<JsDocument>(context_, value);
    }
    if (writer != nullptr) g_object_unref(writer);
    return *document_;
  }
  bool FromUser() const { return IsUserAction(context_, guard_); }
  JSCContext* Context() const { return context_; }

 private:
  JSCContext* context_;
  GPtrArray* values_;
  JSCContext* guard_;
  JSCWeakValue* writer_;
  WrittenMarkup& written_;
  std::unique_ptr<Document> document_;
  FastDocument* fast_ = nullptr;
};

void PageControl::Refresh(const std::vector<std::u16string>& changed) {
  if (busy || page_context == nullptr) return;
  JSCValue* value = jsc_context_get_value(page_context, "document");
  if (value != nullptr && jsc_value_is_object(value)) {
    busy = true;
    {
      // The page's own document, through the writer as a call's would be.
      GPtrArray* values = g_ptr_array_new();
      g_ptr_array_add(values, value);
      Args converted(page_context, values, guard, writer, written);
      control.RefreshAfterOutsideChange(converted.Doc(0), changed);
      g_ptr_array_unref(values);
    }
    busy = false;
  }
  if (value != nullptr) g_object_unref(value);
  jsc_context_clear_exception(page_context);
}

using Handler = void (*)(CSkerrow&, Args&);

struct Method {
  const char* name;
  Handler handler;
  bool user_only = false;  // needs the user's action
};

// The option texts whose change opens the font picker.
bool OpensFontPicker(const TextArg& option) {
  return option && (*option == u"MenuFont" || *option == u"CalenderFont" || *option == u"Font");
}

const Method kMethods[] = {
    {"SetBG_Random", [](CSkerrow& c, Args& a) { c.SetBG_Random(a.Doc(0)); }},
    {"SetCalender", [](CSkerrow& c, Args& a) { c.SetCalender(a.Doc(0), a.Int(1), a.Int(2)); }},
    {"AddWallPaper", [](CSkerrow& c, Args& a) { c.AddWallPaper(a.Doc(0), a.Text(1)); }},
    {"RemoveWallPaper", [](CSkerrow& c, Args& a) { c.RemoveWallPaper(a.Doc(0), a.Int(1)); }},
    {"SetBG", [](CSkerrow& c, Args& a) { c.SetBG(a.Doc(0), a.Int(1)); }},
    {"SetWndPos",
     [](CSkerrow& c, Args& a) { c.SetWndPos(a.Text(0), a.Int(1), a.Int(2), a.Int(3)); }},
    {"InitPage", [](CSkerrow& c, Args& a) { c.InitPage(a.Doc(0)); }},
    {"ChangeOption",
     [](CSkerrow& c, Args& a) {
       const TextArg option = a.Text(1);
       if (OpensFontPicker(option) && !a.FromUser()) return;
       c.ChangeOption(a.Doc(0), option, a.Int(2));
     }},
    {"OpenFile",
     [](CSkerrow& c, Args& a) {
       // The control's one call for both pickers; the page marks the field
       // when the file is to be a wallpaper.
       auto& platform = static_cast<DesktopPlatform&>(c.platform());
       platform.set_picture_pick(WantsPicture(a.Context(), a.At(0)));
       c.OpenFile(a.Doc(0));
       platform.set_picture_pick(false);
     },
     true},
    {"OpenFolder", [](CSkerrow& c, Args& a) { c.OpenFolder(a.Doc(0)); }, true},
    {"AddLink", [](CSkerrow& c, Args& a) { c.AddLink(a.Doc(0), a.Text(1), a.Int(2)); }, true},
    {"ChangeLink",
     [](CSkerrow& c, Args& a) { c.ChangeLink(a.Doc(0), a.Int(1), a.Text(2), a.Int(3)); }, true},
    {"RemoveLink", [](CSkerrow& c, Args& a) { c.RemoveLink(a.Doc(0), a.Int(1), a.Int(2)); }, true},
    {"Open", [](CSkerrow& c, Args& a) { c.Open(a.Int(0), a.Int(1)); }, true},
    {"ChangeLinkPage",
     [](CSkerrow& c, Args& a) { c.ChangeLinkPage(a.Doc(0), a.Int(1), a.Int(2)); }},
    {"ChangeDate",
     [](CSkerrow& c, Args& a) { c.ChangeDate(a.Doc(0), a.Int(1), a.Int(2), a.Int(3)); }},
    {"ChangeSchedule",
     [](CSkerrow& c, Args& a) {
       c.ChangeSchedule(a.Doc(0), a.Text(1), a.Int(2), a.Int(3), a.Int(4));
     }},
    {"AddMemo", [](CSkerrow& c, Args& a) { c.AddMemo(a.Doc(0), a.Text(1), a.Text(2)); }},
    {"RenewMemo",
     [](CSkerrow& c, Args& a) { c.RenewMemo(a.Doc(0), a.Text(1), a.Text(2), a.Int(3)); }},
    // The page asks before it removes a memo or a wallpaper, and its question
    // can outlast the activation; these two stay open to every call.
    {"RemoveMemo", [](CSkerrow& c, Args& a) { c.RemoveMemo(a.Doc(0), a.Int(1)); }},
    {"EditMemo", [](CSkerrow& c, Args& a) { c.EditMemo(a.Doc(0), a.Int(1)); }},
    {"MakeLinkMenu", [](CSkerrow& c, Args& a) { c.MakeLinkMenu(a.Doc(0), a.Text(1), a.Int(2)); }},
    {"ChangeLinkMenu", [](CSkerrow& c, Args& a) { c.ChangeLinkMenu(a.Doc(0), a.Int(1)); }},
    {"RemoveLinkMenu", [](CSkerrow& c, Args& a) { c.RemoveLinkMenu(a.Doc(0), a.Int(1)); }, true},
    {"PermuteLink",
     [](CSkerrow& c, Args& a) { c.PermuteLink(a.Doc(0), a.Int(1), a.Int(2), a.Int(3)); }},
    {"ChangeWindowOption",
     [](CSkerrow& c, Args& a) {
       const TextArg option = a.Text(2);
       if (OpensFontPicker(option) && !a.FromUser()) return;
       c.ChangeWindowOption(a.Doc(0), a.Text(1), option, a.Int(3));
     }},
    {"ChangeMemoPage", [](CSkerrow& c, Args& a) { c.ChangeMemoPage(a.Doc(0), a.Int(1)); }},
};

constexpr std::size_t kMethodCount = sizeof kMethods / sizeof kMethods[0];
static_assert(kMethodCount == 27);

void CallMethod(gpointer instance, GPtrArray* args, gpointer user_data) {
  auto* page = static_cast<PageControl*>(instance);
  auto* method = static_cast<const Method*>(user_data);
  if (page == nullptr) return;
  // A page handler that runs while the control writes into the page (a
  // mutation listener, say) must not enter the control half-way through a
  // method; such a nested call is dropped.
  if (page->busy) return;
  JSCContext* context = jsc_context_get_current();
  if (context == nullptr) return;
  // Busy already while the call is checked: reading the page's event may
  // run page script, which must not enter the control either.
  page->busy = true;
  {
    Args converted(context, args, page->guard, page->writer, page->written);
    if (!method->user_only || converted.FromUser()) method->handler(page->control, converted);
  }
  page->busy = false;
  jsc_context_clear_exception(context);
}

void DestroyPageControl(gpointer instance) {
  auto* page = static_cast<PageControl*>(instance);
  if (page == g_current) g_current = nullptr;
  delete page;
}

constexpr char kClassKey[] = "vellumine-skerrow-class";

JSCClass* SkerrowClass(JSCContext* context) {
  auto* klass = static_cast<JSCClass*>(g_object_get_data(G_OBJECT(context), kClassKey));
  if (klass != nullptr) return klass;
  klass = jsc_context_register_class(context, "Skerrow", nullptr, nullptr, DestroyPageControl);
  for (const Method& method : kMethods) {
    jsc_class_add_method_variadic(klass, method.name, G_CALLBACK(CallMethod),
                                  const_cast<Method*>(&method), nullptr, G_TYPE_NONE);
  }
  g_object_set_data(G_OBJECT(context), kClassKey, klass);
  return klass;
}

}  // namespace

TextArg TextArgument(JSCContext* context, JSCValue* value) {
  if (value == nullptr || jsc_value_is_null(value) || jsc_value_is_undefined(value)) {
    return std::nullopt;
  }
  std::u16string text = FromJsString(value);
  jsc_context_clear_exception(context);
  return text;
}

std::int32_t IntArgument(JSCContext* context, JSCValue* value) {
  if (value == nullptr) return 0;
  std::int32_t n = jsc_value_to_int32(value);
  jsc_context_clear_exception(context);
  return n;
}

bool IsUserAction(JSCContext* page, JSCContext* guard) {
  if (page == nullptr || guard == nullptr) return false;
  // The activation as the engine keeps it, seen from the isolated world.
  JSCValue* active = jsc_context_evaluate(
      guard, "!!(navigator.userActivation && navigator.userActivation.isActive)", -1);
  const bool activated = active != nullptr && jsc_value_to_boolean(active);
  if (active != nullptr) g_object_unref(active);
  jsc_context_clear_exception(guard);
  if (!activated) return false;
  // A call made while some other event is handled (a load, an error, a
  // timer's event, one made by script) is no user's.
  JSCValue* event = jsc_context_get_value(page, "event");
  bool input = true;
  if (event != nullptr && jsc_value_is_object(event)) {
    JSCValue* trusted = jsc_value_object_get_property(event, "isTrusted");
    JSCValue* type = jsc_value_object_get_property(event, "type");
    gchar* name =
        type != nullptr && jsc_value_is_string(type) ? jsc_value_to_string(type) : nullptr;
    static constexpr std::string_view kInputEvents[] = {"click",   "dblclick",    "mousedown",
                                                        "mouseup", "pointerdown", "pointerup",
                                                        "keydown", "keyup",       "touchend"};
    input =
        trusted != nullptr && jsc_value_is_boolean(trusted) && jsc_value_to_boolean(trusted) &&
        name != nullptr &&
        std::find(std::begin(kInputEvents), std::end(kInputEvents), name) != std::end(kInputEvents);
    g_free(name);
    if (type != nullptr) g_object_unref(type);
    if (trusted != nullptr) g_object_unref(trusted);
  }
  if (event != nullptr) g_object_unref(event);
  jsc_context_clear_exception(page);
  return input;
}

bool WantsPicture(JSCContext* context, JSCValue* document) {
  if (document == nullptr || !jsc_value_is_object(document)) return false;
  bool picture = false;
  JSCValue* field = jsc_value_object_invoke_method(document, "getElementById", G_TYPE_STRING,
                                                   "linkfilename", G_TYPE_NONE);
  if (field != nullptr && jsc_value_is_object(field)) {
    JSCValue* mark = jsc_value_object_invoke_method(field, "getAttribute", G_TYPE_STRING, kPickMark,
                                                    G_TYPE_NONE);
    if (mark != nullptr && jsc_value_is_string(mark)) {
      gchar* text = jsc_value_to_string(mark);
      picture = g_strcmp0(text, "picture") == 0;
      g_free(text);
    }
    if (mark != nullptr) g_object_unref(mark);
  }
  if (field != nullptr) g_object_unref(field);
  jsc_context_clear_exception(context);
  return picture;
}

bool NeedsUserAction(std::string_view method) {
  for (const Method& m : kMethods) {
    if (method == m.name) return m.user_only;
  }
  return false;
}

const char* const* SkerrowMethodNames(std::size_t* count) {
  static const char* names[kMethodCount];
  for (std::size_t i = 0; i < kMethodCount; ++i) names[i] = kMethods[i].name;
  *count = kMethodCount;
  return names;
}

void InstallSkerrow(JSCContext* context, const std::u16string& data_folder, ChannelClient* channel,
                    JSCContext* guard, WritePath path, std::uint32_t ticks) {
  JSCClass* klass = SkerrowClass(context);
  if (g_current != nullptr) g_current->Retire();
  auto* page = new PageControl(data_folder, channel, context, guard, ticks);
  g_current = page;
  JSCValue* object = jsc_value_new_object(context, page, klass);
  if (path == WritePath::kFast) {
    if (JSCValue* writer = MakePageWriter(context)) {
      // Held by the object under a key no name reaches.
      JSCValue* keep = jsc_context_evaluate(
          context, "(function (o, w) { Object.defineProperty(o, Symbol(), { value: w }); })", -1);
      if (keep != nullptr && jsc_value_is_function(keep)) {
        JSCValue* held = jsc_value_function_call(keep, JSC_TYPE_VALUE, object, JSC_TYPE_VALUE,
                                                 writer, G_TYPE_NONE);
        if (held != nullptr) g_object_unref(held);
        if (jsc_context_get_exception(context) == nullptr)
          page->writer = jsc_weak_value_new(writer);
      }
      jsc_context_clear_exception(context);
      if (keep != nullptr) g_object_unref(keep);
      g_object_unref(writer);
    }
  }
  jsc_context_set_value(context, "Skerrow", object);
  g_object_unref(object);
}

}  // namespace vellumine::desktop
