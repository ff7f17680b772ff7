// The one shape of every owner of a Windows resource: one owner, no copies,
// the resource freed when the owner goes. Each kind of resource has a small
// header of its own (scoped_handle_win.h, scoped_registry_key_win.h, ...)
// that names how its resource is told empty and how it is freed:
//
//   struct Traits {
//     using Type = ...;                  // what the API hands out
//     static Type Empty();               // the value an owner starts with
//     static bool IsValid(Type value);   // false for every "none" the API returns
//     static void Free(Type value);      // called only for a valid value
//   };
#ifndef BRX_PLATFORM_SCOPED_RESOURCE_WIN_H_
#define BRX_PLATFORM_SCOPED_RESOURCE_WIN_H_

namespace brx {
namespace platform {

template <typename Traits>
class ScopedResource {
 public:
  using Type = typename Traits::Type;

  explicit ScopedResource(Type value = Traits::Empty()) : value_(value) {}
  ~ScopedResource() { Close(); }
  ScopedResource(const ScopedResource&) = delete;
  ScopedResource& operator=(const ScopedResource&) = delete;

  Type get() const { return value_; }
  bool valid() const { return Traits::IsValid(value_); }
  // For a call that writes a new resource: the one held is freed first.
  Type* receive() {
    Close();
    return &value_;
  }
  // Hands the resource to a new owner; this one is left empty.
  Type release() {
    Type value = value_;
    value_ = Traits::Empty();
    return value;
  }
  void Close() {
    if (Traits::IsValid(value_)) Traits::Free(value_);
    value_ = Traits::Empty();
  }

 private:
  Type value_;
};

}  // namespace platform
}  // namespace brx

#endif  // BRX_PLATFORM_SCOPED_RESOURCE_WIN_H_
