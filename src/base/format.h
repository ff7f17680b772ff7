// brx::Format: a type-checked wide printf that follows the Windows wide
// conventions on every platform.
//
//   %s  wide string       %hs %S  narrow string (ANSI code page)   %ls %ws wide
//   %c  wide character    %hc %C  narrow character
//   %d %i signed, %u unsigned, %x %X hexadecimal, %o octal (32-bit unless
//   l l / I64 / z asks for 64), %p pointer, %%. No floating point: %f, %e,
//   %g and %a show the marker "%!f(unsupported)" and consume nothing.
//   Flags "-+ 0#", width and precision (digits or '*').
//
// Each argument is captured with its type and checked against its conversion
// when the text is built. A mismatch never reads memory the argument does not
// own: it shows as a marker in the output, e.g. "%!d(wstring)" for a string
// given to %d, "%!s(missing)" for an absent argument and "%!(extra 2)" for
// arguments nobody consumed. "%n" is refused ("%!n(unsupported)").
//
// The C library's swprintf is not used because MinGW reads "%s" as narrow
// when __USE_MINGW_ANSI_STDIO is on, and glibc always does; the output here is
// the same byte for byte natively and under MinGW.
#ifndef BRX_BASE_FORMAT_H_
#define BRX_BASE_FORMAT_H_

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <type_traits>

namespace brx {
namespace format_internal {

struct Arg {
  enum Kind : unsigned char {
    kInteger,    // any integral type other than the character types
    kCharacter,  // char, wchar_t and friends: valid for %c and the integer conversions
    kWide,       // wide string (may be null)
    kNarrow,     // narrow string (may be null)
    kPointer,    // any other pointer
  };
  Kind kind;
  bool is_signed = false;
  unsigned char size = 0;  // bytes of the original integer type
  uint64_t bits = 0;       // integer value, sign-extended for signed types
  const wchar_t* wide = nullptr;
  const char* narrow = nullptr;
  size_t length = static_cast<size_t>(-1);  // known string length, or -1: up to the terminator
  const void* pointer = nullptr;
};

template <typename T>
Arg MakeInteger(T v, Arg::Kind kind) {
  Arg a{kind};
  a.is_signed = std::is_signed<T>::value;
  a.size = sizeof(T);
  a.bits = a.is_signed ? static_cast<uint64_t>(static_cast<int64_t>(v)) : static_cast<uint64_t>(v);
  return a;
}

inline Arg MakeArg(char v) { return MakeInteger(v, Arg::kCharacter); }
inline Arg MakeArg(signed char v) { return MakeInteger(v, Arg::kCharacter); }
inline Arg MakeArg(unsigned char v) { return MakeInteger(v, Arg::kCharacter); }
inline Arg MakeArg(wchar_t v) { return MakeInteger(v, Arg::kCharacter); }
inline Arg MakeArg(char16_t v) { return MakeInteger(v, Arg::kCharacter); }
inline Arg MakeArg(bool v) { return MakeInteger(static_cast<int>(v), Arg::kInteger); }
inline Arg MakeArg(short v) { return MakeInteger(v, Arg::kInteger); }
inline Arg MakeArg(unsigned short v) { return MakeInteger(v, Arg::kInteger); }
inline Arg MakeArg(int v) { return MakeInteger(v, Arg::kInteger); }
inline Arg MakeArg(unsigned v) { return MakeInteger(v, Arg::kInteger); }
inline Arg MakeArg(long v) { return MakeInteger(v, Arg::kInteger); }
inline Arg MakeArg(unsigned long v) { return MakeInteger(v, Arg::kInteger); }
inline Arg MakeArg(long long v) { return MakeInteger(v, Arg::kInteger); }
inline Arg MakeArg(unsigned long long v) { return MakeInteger(v, Arg::kInteger); }

// Floating point is not formatted (see %f above): passing one does not compile.
Arg MakeArg(double v) = delete;
Arg MakeArg(float v) = delete;

inline Arg MakeArg(const wchar_t* s) {
  Arg a{Arg::kWide};
  a.wide = s;
  return a;
}
inline Arg MakeArg(const char* s) {
  Arg a{Arg::kNarrow};
  a.narrow = s;
  return a;
}
inline Arg MakeArg(const std::wstring& s) {
  Arg a{Arg::kWide};
  a.wide = s.c_str();
  a.length = s.size();
  return a;
}
inline Arg MakeArg(const std::string& s) {
  Arg a{Arg::kNarrow};
  a.narrow = s.c_str();
  a.length = s.size();
  return a;
}
inline Arg MakeArg(std::nullptr_t) {
  Arg a{Arg::kPointer};
  return a;
}

// Enumerations format as their underlying integer; other pointers as %p.
template <typename T, typename std::enable_if<std::is_enum<T>::value, int>::type = 0>
Arg MakeArg(T v) {
  return MakeArg(static_cast<typename std::underlying_type<T>::type>(v));
}
template <typename T>
Arg MakeArg(T* p) {
  Arg a{Arg::kPointer};
  a.pointer = p;
  return a;
}
inline Arg MakeArg(wchar_t* s) { return MakeArg(static_cast<const wchar_t*>(s)); }
inline Arg MakeArg(char* s) { return MakeArg(static_cast<const char*>(s)); }

std::wstring FormatArgs(const wchar_t* fmt, const Arg* args, size_t count);

}  // namespace format_internal

// The formatted text; a null format gives an empty text.
template <typename... Args>
std::wstring Format(const wchar_t* fmt, const Args&... args) {
  // One spare element so the array is never empty.
  const format_internal::Arg list[] = {format_internal::MakeArg(args)..., format_internal::MakeArg(0)};
  return format_internal::FormatArgs(fmt, list, sizeof...(Args));
}

}  // namespace brx

#endif  // BRX_BASE_FORMAT_H_
