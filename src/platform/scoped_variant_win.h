// An automation VARIANT with one owner, cleared when the owner goes. A
// VARIANT is a value, not a handle: the owner holds it, and get() gives the
// address a call fills (after clearing what was held before).
#ifndef BRX_PLATFORM_SCOPED_VARIANT_WIN_H_
#define BRX_PLATFORM_SCOPED_VARIANT_WIN_H_

#include <windows.h>
#include <oleauto.h>

namespace brx {
namespace platform {

class ScopedVariant {
 public:
  ScopedVariant() { VariantInit(&value_); }
  ~ScopedVariant() { Close(); }
  ScopedVariant(const ScopedVariant&) = delete;
  ScopedVariant& operator=(const ScopedVariant&) = delete;

  const VARIANT* get() const { return &value_; }
  // For a call that writes a new value: the one held is cleared first.
  VARIANT* receive() {
    Close();
    return &value_;
  }
  void Close() { VariantClear(&value_); }

 private:
  VARIANT value_;
};

}  // namespace platform
}  // namespace brx

#endif  // BRX_PLATFORM_SCOPED_VARIANT_WIN_H_
