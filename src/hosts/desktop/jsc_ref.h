// Helpers shared by the documents that reach the page through
// JavaScriptCore: a scoped reference to a value, and the tag-name case fold.
#pragma once

#include <jsc/jsc.h>

#include <string>

namespace vellumine::desktop {

// Owns one reference to a value for the length of a scope.
class JscRef {
 public:
  explicit JscRef(JSCValue* value) : value_(value) {}
  ~JscRef() {
    if (value_ != nullptr) g_object_unref(value_);
  }
  JscRef(const JscRef&) = delete;
  JscRef& operator=(const JscRef&) = delete;
  JSCValue* get() const { return value_; }
  bool IsObject() const { return value_ != nullptr && jsc_value_is_object(value_); }
  bool IsString() const { return value_ != nullptr && jsc_value_is_string(value_); }

 private:
  JSCValue* value_;
};

// ASCII letters upper-cased, as the page's tag names are compared.
inline std::u16string AsciiUpper(std::u16string text) {
  for (char16_t& c : text) {
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  }
  return text;
}

}  // namespace vellumine::desktop
