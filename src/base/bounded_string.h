// Fixed-capacity wide strings for data whose size the product defines
// (paths of 260 characters, a reboot message of 511, ...).
//
// Appending never truncates silently: Append/Assign report overflow and leave
// the string as it was. Where cutting is the wanted behaviour, AssignCut says so.
#ifndef BRX_BASE_BOUNDED_STRING_H_
#define BRX_BASE_BOUNDED_STRING_H_

#include <stddef.h>
#include <wchar.h>

namespace brx {

// Length of s, reading at most max characters.
inline size_t BoundedLength(const wchar_t* s, size_t max) {
  size_t n = 0;
  while (n < max && s[n] != L'\0') ++n;
  return n;
}

// Capacity counts characters, not the terminator: a BoundedString<260> holds
// up to 260 characters.
template <size_t Capacity>
class BoundedString {
 public:
  BoundedString() { buffer_[0] = L'\0'; }

  static constexpr size_t capacity() { return Capacity; }
  const wchar_t* get() const { return buffer_; }
  size_t length() const { return length_; }
  bool empty() const { return length_ == 0; }
  wchar_t operator[](size_t i) const { return buffer_[i]; }

  void Clear() {
    length_ = 0;
    buffer_[0] = L'\0';
  }

  // Replaces the contents; false (string unchanged) when it does not fit.
  bool Assign(const wchar_t* s) { return Assign(s, s ? wcslen(s) : 0); }
  bool Assign(const wchar_t* s, size_t n) {
    if (n > Capacity) return false;
    Clear();
    return Append(s, n);
  }

  // Replaces the contents with at most Capacity characters of s. Returns false
  // when s was longer and had to be cut.
  bool AssignCut(const wchar_t* s) {
    Clear();
    if (!s) return true;
    size_t n = BoundedLength(s, Capacity + 1);
    bool fits = n <= Capacity;
    Append(s, fits ? n : Capacity);
    return fits;
  }

  bool Append(const wchar_t* s) { return Append(s, s ? wcslen(s) : 0); }
  bool Append(const wchar_t* s, size_t n) {
    if (n > Capacity - length_) return false;
    for (size_t i = 0; i < n; ++i) buffer_[length_ + i] = s[i];
    length_ += n;
    buffer_[length_] = L'\0';
    return true;
  }
  bool Append(wchar_t c) { return Append(&c, 1); }

  // Shortens to n characters (no-op when already shorter).
  void Truncate(size_t n) {
    if (n < length_) {
      length_ = n;
      buffer_[n] = L'\0';
    }
  }

 private:
  size_t length_ = 0;
  wchar_t buffer_[Capacity + 1];
};

}  // namespace brx

#endif  // BRX_BASE_BOUNDED_STRING_H_
