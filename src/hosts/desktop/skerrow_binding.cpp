#include "hosts/desktop/skerrow_binding.h"

#include <algorithm>
#include <exception>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "control/methods.h"
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
              JSCContext* guard_world, std::uint32_t ticks,
              std::unique_ptr<FolderPreloadTask> ahead)
      : preload(std::move(ahead)),
        platform(channel, ticks),
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
    // Let go of the context last, and through a copy: when this was its last
    // hold, the context frees the script object and with it this control.
    JSCContext* context = std::exchange(page_context, nullptr);
    if (context != nullptr) g_object_unref(context);
  }

  // Loads and redraws the page if the folder changed from outside; a call
  // under way (the watch can't interrupt one) has loaded what it needs.
  void Refresh(const std::vector<std::u16string>& changed);

  // The control, which first takes the folder's preload if one is on its
  // way: waiting for its end costs less than the reading it saves.
  CSkerrow& Control() {
    if (preload != nullptr) {
      if (std::optional<FolderPreload> read = preload->Take()) control.Prime(std::move(*read));
      preload.reset();
    }
    return control;
  }

  // Until the first call; a preload still under way is waited for when
  // this goes.
  std::unique_ptr<FolderPreloadTask> preload;
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

// The script's arguments as a method of the table takes them: the page's
// document first when the method takes one, then its parameters, each
// converted once as the table's kind says. The conversion is done before the
// call, so what a check saw is what the method gets.
class Args : public ArgumentSource {
 public:
  Args(JSCContext* context, GPtrArray* values, JSCContext* guard, JSCWeakValue* writer,
       WrittenMarkup& written)
      : context_(context), values_(values), guard_(guard), writer_(writer), written_(written) {}
  ~Args() override {
    if (fast_ != nullptr) fast_->Finish();
  }
  Args(const Args&) = delete;
  Args& operator=(const Args&) = delete;

  JSCValue* At(guint i) const {
    return values_ != nullptr && i < values_->len ? JSC_VALUE(g_ptr_array_index(values_, i))
                                                  : nullptr;
  }
  // Converts the script's arguments for method's parameters.
  void Convert(const Method& method) {
    first_ = method.takes_document ? 1 : 0;
    ints_.assign(method.params.size(), 0);
    texts_.assign(method.params.size(), std::nullopt);
    for (std::size_t i = 0; i < method.params.size(); ++i) {
      JSCValue* value = At(static_cast<guint>(first_ + i));
      if (method.params[i].kind == ParamKind::kInt) {
        ints_[i] = IntArgument(context_, value);
      } else {
        texts_[i] = TextArgument(context_, value);
      }
    }
  }
  std::int32_t Int(std::size_t i) override { return i < ints_.size() ? ints_[i] : 0; }
  TextArg Text(std::size_t i) override { return i < texts_.size() ? texts_[i] : std::nullopt; }
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
  std::size_t first_ = 0;
  std::vector<std::int32_t> ints_;
  std::vector<TextArg> texts_;
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
      Control().RefreshAfterOutsideChange(converted.Doc(0), changed);
      g_ptr_array_unref(values);
    }
    busy = false;
  }
  if (value != nullptr) g_object_unref(value);
  jsc_context_clear_exception(page_context);
}

// The methods the binding treats apart, by their DISPIDs in the table (the
// interface fixes them). The user's own action is needed by those that
// launch a file, open a picker or a question, or change what a launch opens.
constexpr std::int32_t kOpenFile = 9;
constexpr std::int32_t kUserOnly[] = {
    kOpenFile,  // the file picker
    10,         // OpenFolder: the folder picker
    11,         // AddLink
    12,         // ChangeLink
    13,         // RemoveLink
    14,         // Open: launches
    24,         // RemoveLinkMenu: asks first
};
// The page asks before it removes a memo or a wallpaper, and its question
// can outlast the activation; those removals stay open to every call.

bool UserOnly(const Method& method) {
  return std::find(std::begin(kUserOnly), std::end(kUserOnly), method.dispid) !=
         std::end(kUserOnly);
}

// The option texts whose change opens the font picker.
bool OpensFontPicker(const TextArg& option) {
  return option && (*option == u"MenuFont" || *option == u"CalenderFont" || *option == u"Font");
}

// A method with an option parameter opens the font picker for the font
// options, which then need the user's action.
bool AsksForFont(const Method& method, Args& args) {
  for (std::size_t i = 0; i < method.params.size(); ++i) {
    if (method.params[i].name == "OptionName" && OpensFontPicker(args.Text(i))) return true;
  }
  return false;
}

void Invoke(const Method& method, CSkerrow& control, Args& args) {
  args.Convert(method);
  if ((UserOnly(method) || AsksForFont(method, args)) && !args.FromUser()) return;
  Document* document = method.takes_document ? &args.Doc(0) : nullptr;
  if (method.dispid != kOpenFile) {
    method.invoke(control, document, args);
    return;
  }
  // The control's one call for both pickers; the page marks the field when
  // the file is to be a wallpaper.
  auto& platform = static_cast<DesktopPlatform&>(control.platform());
  platform.set_picture_pick(WantsPicture(args.Context(), args.At(0)));
  method.invoke(control, document, args);
  platform.set_picture_pick(false);
}

void CallMethod(gpointer instance, GPtrArray* args, gpointer user_data) {
  auto* page = static_cast<PageControl*>(instance);
  const auto* method = static_cast<const Method*>(user_data);
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
    Invoke(*method, page->Control(), converted);
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
  for (const Method& method : Methods()) {
    const std::string name(method.name);
    jsc_class_add_method_variadic(klass, name.c_str(), G_CALLBACK(CallMethod),
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
  const Method* found = FindMethod(method);
  return found != nullptr && UserOnly(*found);
}

const char* const* SkerrowMethodNames(std::size_t* count) {
  // The table's names are views into literals; the names are kept as
  // strings of their own so that each ends with a zero.
  static const std::vector<std::string> kept = [] {
    std::vector<std::string> names;
    for (const Method& method : Methods()) names.emplace_back(method.name);
    return names;
  }();
  static const std::vector<const char*> names = [] {
    std::vector<const char*> pointers;
    for (const std::string& name : kept) pointers.push_back(name.c_str());
    return pointers;
  }();
  *count = names.size();
  return names.data();
}

FolderPreloadTask::FolderPreloadTask(const std::u16string& data_folder) {
  files_.set_data_folder(data_folder);
  thread_ = std::thread([this] {
    try {
      result_ = PreloadFolder(files_);
    } catch (const std::exception&) {
      // Without it the first load reads every file itself.
    }
  });
}

FolderPreloadTask::~FolderPreloadTask() {
  if (thread_.joinable()) thread_.join();
}

std::optional<FolderPreload> FolderPreloadTask::Take() {
  if (thread_.joinable()) thread_.join();
  return std::exchange(result_, std::nullopt);
}

void InstallSkerrow(JSCContext* context, const std::u16string& data_folder, ChannelClient* channel,
                    JSCContext* guard, WritePath path, std::uint32_t ticks,
                    std::unique_ptr<FolderPreloadTask> preload) {
  JSCClass* klass = SkerrowClass(context);
  if (g_current != nullptr) g_current->Retire();
  auto* page = new PageControl(data_folder, channel, context, guard, ticks, std::move(preload));
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
