// brx::Format: a type-checked wide printf for the product's format strings,
// following the Windows wide conventions on every platform. It knows only
// what those strings use:
//
//   %s  wide string           %hs  narrow string (ANSI code page)
//   %d  signed, %u and %lu unsigned, %X upper-case hexadecimal (32-bit)
//   a '0' flag and a width for the integers ("%02d", "%08X"), a width for
//   the strings; "%%" is a percent sign.
//
// Each argument is captured with its type and checked against its conversion
// when the text is built. A mismatch never reads memory the argument does not
// own: it shows as a marker in the output, e.g. "%!d(wstring)" for a string
// given to %d, "%!s(missing)" for an absent argument, "%!(extra 2)" for
// arguments nobody consumed and "%!x(unsupported)" for any other directive
// (it consumes nothing). A 64-bit value that 32 bits cannot hold shows as
// "%!d(overflow)" instead of being cut.
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
    kInteger,  // any integral type, enumerations included
    kWide,     // wide string (may be null)
    kNarrow,   // narrow string (may be null)
    kNull,     // nullptr: an absent string of either width
  };
  Kind kind;
  bool is_signed = false;
  unsigned char size = 0;  // bytes of the original integer type
  uint64_t bits = 0;       // integer value, sign-extended for signed types
  const wchar_t* wide = nullptr;
  const char* narrow = nullptr;
  size_t length = static_cast<size_t>(-1);  // known string length, or -1: up to the terminator
};

template <typename T, typename std::enable_if<std::is_integral<T>::value, int>::type = 0>
Arg MakeArg(T v) {
  Arg a{Arg::kInteger};
  a.is_signed = std::is_signed<T>::value;
  a.size = sizeof(T);
  a.bits = a.is_signed ? static_cast<uint64_t>(static_cast<int64_t>(v)) : static_cast<uint64_t>(v);
  return a;
}
// Enumerations format as their underlying integer.
template <typename T, typename std::enable_if<std::is_enum<T>::value, int>::type = 0>
Arg MakeArg(T v) {
  return MakeArg(static_cast<typename std::underlying_type<T>::type>(v));
}

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
inline Arg MakeArg(std::nullptr_t) { return Arg{Arg::kNull}; }

// Nothing else is formatted: floating point and other pointers do not compile.
Arg MakeArg(double v) = delete;
Arg MakeArg(float v) = delete;
Arg MakeArg(const void* p) = delete;

// How string arguments enter the text.
enum class Strings {
  kAsGiven,
  // Control characters written escaped, so that a value can never end the
  // line it is part of or start another one (see FormatEscaped).
  kEscaped,
};

std::wstring FormatArgs(const wchar_t* fmt, const Arg* args, size_t count, Strings strings);

}  // namespace format_internal

// The formatted text; a null format gives an empty text.
template <typename... Args>
std::wstring Format(const wchar_t* fmt, const Args&... args) {
  // One spare element so the array is never empty.
  const format_internal::Arg list[] = {format_internal::MakeArg(args)..., format_internal::MakeArg(0)};
  return format_internal::FormatArgs(fmt, list, sizeof...(Args), format_internal::Strings::kAsGiven);
}

// The same, with control characters in the string arguments escaped: CR, LF
// and tab as "\r", "\n" and "\t", every other one (U+0000 to U+001F, U+007F to
// U+009F) as "\x" and two upper-case hexadecimal digits ("\x1B"). The format
// string's own line ends stay. The log writes every value this way, so an
// argument carrying "\r\nReturn Code (1)" cannot forge a line of its own.
template <typename... Args>
std::wstring FormatEscaped(const wchar_t* fmt, const Args&... args) {
  const format_internal::Arg list[] = {format_internal::MakeArg(args)..., format_internal::MakeArg(0)};
  return format_internal::FormatArgs(fmt, list, sizeof...(Args), format_internal::Strings::kEscaped);
}

}  // namespace brx

#endif  // BRX_BASE_FORMAT_H_
