// java_text.h
//
// Texts and local references across JNI.
//
// Text crosses as UTF-16 (NewString, GetStringRegion), converted here from and to the UTF-8
// the rest of the system uses. JNI's own "UTF" calls speak the VM's modified UTF-8, which
// writes characters outside the basic plane as two three-byte surrogates: such text from Java
// is not valid UTF-8, and UTF-8 text with a four-byte character reaches Java cut short.
//
// Local references: on the native threads the bridge attaches, a local reference lives until
// it is deleted (no Java frame returns to free it), so every local reference the bridge makes
// is owned by a LocalRef or deleted by hand.
#pragma once

#include <jni.h>

#include <string>
#include <string_view>
#include <utility>

namespace jni {

// UTF-8 to UTF-16; each byte of an invalid sequence becomes U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);
// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

// A new Java string of UTF-8 text, as a local reference the caller owns. Throws
// jni::JavaException when the VM cannot make it.
jstring NewJavaString(JNIEnv* env, std::string_view text);
// The text of a Java string as UTF-8; empty for null.
std::string JavaStringToUtf8(JNIEnv* env, jstring text);

// Owns one local reference of the calling thread and deletes it when it goes.
template <typename T = jobject>
class LocalRef {
 public:
  LocalRef(JNIEnv* env, T ref) : env_(env), ref_(ref) {}
  LocalRef(LocalRef&& other) noexcept
      : env_(other.env_), ref_(std::exchange(other.ref_, nullptr)) {}
  // Deletes the reference held so far and takes over the other's.
  LocalRef& operator=(LocalRef&& other) noexcept {
    if (this != &other) {
      if (ref_ != nullptr) env_->DeleteLocalRef(ref_);
      env_ = other.env_;
      ref_ = std::exchange(other.ref_, nullptr);
    }
    return *this;
  }
  LocalRef(const LocalRef&) = delete;
  LocalRef& operator=(const LocalRef&) = delete;
  ~LocalRef() {
    if (ref_ != nullptr) env_->DeleteLocalRef(ref_);
  }

  T get() const { return ref_; }
  explicit operator bool() const { return ref_ != nullptr; }

 private:
  JNIEnv* env_;
  T ref_;
};

}  // namespace jni
