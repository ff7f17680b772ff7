#include "base/format.h"

#include <string.h>
#include <wchar.h>

#include "platform/codepage.h"

namespace brx {
namespace format_internal {
namespace {

struct Spec {
  bool left = false;    // '-'
  bool plus = false;    // '+'
  bool space = false;   // ' '
  bool zero = false;    // '0'
  bool alt = false;     // '#'
  int width = 0;
  int precision = -1;   // -1: none
  enum Size { kDefault, kShort, kChar, kLong, kLongLong } size = kDefault;
  bool wide_size = false;    // 'l' or 'w' on s/c
  bool narrow_size = false;  // 'h' on s/c
  wchar_t conversion = 0;
};

const wchar_t* KindName(const Arg& a) {
  switch (a.kind) {
    case Arg::kInteger: return L"int";
    case Arg::kCharacter: return L"char";
    case Arg::kWide: return L"wstring";
    case Arg::kNarrow: return L"string";
    case Arg::kPointer: return L"pointer";
  }
  return L"?";
}

// "%!" + the directive without its '%' + "(what)".
void Marker(std::wstring& out, const std::wstring& directive, const wchar_t* what) {
  out += L"%!";
  out += directive;
  out += L'(';
  out += what;
  out += L')';
}

// Pads body to the field width: blanks on the left (or right with '-').
void Pad(std::wstring& out, const Spec& spec, const std::wstring& body) {
  size_t width = spec.width > 0 ? static_cast<size_t>(spec.width) : 0;
  if (!spec.left && body.size() < width) out.append(width - body.size(), L' ');
  out += body;
  if (spec.left && body.size() < width) out.append(width - body.size(), L' ');
}

void FormatString(std::wstring& out, const Spec& spec, const Arg& a, bool narrow) {
  std::wstring body;
  size_t limit = spec.precision >= 0 ? static_cast<size_t>(spec.precision) : static_cast<size_t>(-1);
  if (narrow) {
    if (!a.narrow) {
      body = L"(null)";
    } else {
      size_t n = 0;
      size_t known = a.length;
      while (n < limit && (known != static_cast<size_t>(-1) ? n < known : a.narrow[n] != '\0')) ++n;
      body = platform::AnsiToWide(a.narrow, n);
    }
  } else {
    if (!a.wide) {
      body = L"(null)";
    } else {
      size_t n = 0;
      size_t known = a.length;
      while (n < limit && (known != static_cast<size_t>(-1) ? n < known : a.wide[n] != L'\0')) ++n;
      body.assign(a.wide, n);
    }
  }
  Pad(out, spec, body);
}

std::wstring Digits(uint64_t v, unsigned base, bool upper) {
  const wchar_t* digits = upper ? L"0123456789ABCDEF" : L"0123456789abcdef";
  wchar_t buf[32];
  size_t n = 0;
  do {
    buf[n++] = digits[v % base];
    v /= base;
  } while (v);
  std::wstring s;
  while (n) s += buf[--n];
  return s;
}

// The integer conversions. A 32-bit conversion sees the argument reduced to
// 32 bits, as the C runtime does for arguments of int size; a wider argument
// is accepted only when its value survives that reduction.
bool FormatInteger(std::wstring& out, const Spec& spec, const Arg& a) {
  wchar_t c = spec.conversion;
  bool is_signed_conv = (c == L'd' || c == L'i');
  bool wide64 = spec.size == Spec::kLongLong;
  uint64_t bits = a.bits;
  if (!wide64) {
    if (a.size > 4) {
      int64_t sv = static_cast<int64_t>(a.bits);
      bool fits = a.is_signed ? (sv >= INT32_MIN && sv <= static_cast<int64_t>(UINT32_MAX))
                              : a.bits <= UINT32_MAX;
      if (!fits) return false;
    }
    uint32_t low = static_cast<uint32_t>(bits);
    if (spec.size == Spec::kShort) low &= 0xFFFFu;
    if (spec.size == Spec::kChar) low &= 0xFFu;
    if (is_signed_conv) {
      int32_t s = static_cast<int32_t>(low);
      if (spec.size == Spec::kShort) s = static_cast<int16_t>(low);
      if (spec.size == Spec::kChar) s = static_cast<int8_t>(low);
      bits = static_cast<uint64_t>(static_cast<int64_t>(s));
    } else {
      bits = low;
    }
  }

  bool negative = is_signed_conv && static_cast<int64_t>(bits) < 0;
  uint64_t magnitude = negative ? (~bits + 1) : bits;
  unsigned base = 10;
  if (c == L'x' || c == L'X') base = 16;
  if (c == L'o') base = 8;
  std::wstring digits = Digits(magnitude, base, c == L'X');
  if (spec.precision >= 0) {
    if (spec.precision == 0 && magnitude == 0) digits.clear();
    if (digits.size() < static_cast<size_t>(spec.precision))
      digits.insert(0, static_cast<size_t>(spec.precision) - digits.size(), L'0');
  }
  std::wstring prefix;
  if (negative) prefix = L"-";
  else if (is_signed_conv && spec.plus) prefix = L"+";
  else if (is_signed_conv && spec.space) prefix = L" ";
  if (spec.alt && magnitude != 0) {
    if (c == L'x') prefix += L"0x";
    if (c == L'X') prefix += L"0X";
    if (c == L'o' && digits[0] != L'0') prefix += L"0";
  }
  if (spec.zero && !spec.left && spec.precision < 0 && spec.width > 0) {
    size_t used = prefix.size() + digits.size();
    if (used < static_cast<size_t>(spec.width))
      digits.insert(0, static_cast<size_t>(spec.width) - used, L'0');
  }
  Pad(out, spec, prefix + digits);
  return true;
}

void FormatPointer(std::wstring& out, const Spec& spec, const Arg& a) {
  // The Windows runtime prints all hexadecimal digits of the address, upper case.
  std::wstring digits = Digits(reinterpret_cast<uintptr_t>(a.pointer), 16, true);
  if (digits.size() < 2 * sizeof(void*)) digits.insert(0, 2 * sizeof(void*) - digits.size(), L'0');
  Pad(out, spec, digits);
}

}  // namespace

std::wstring FormatArgs(const wchar_t* fmt, const Arg* args, size_t count) {
  std::wstring out;
  if (!fmt) return out;
  size_t next = 0;
  const wchar_t* p = fmt;
  while (*p) {
    if (*p != L'%') {
      const wchar_t* run = p;
      while (*p && *p != L'%') ++p;
      out.append(run, static_cast<size_t>(p - run));
      continue;
    }
    const wchar_t* start = p++;
    if (*p == L'%') {
      out += L'%';
      ++p;
      continue;
    }
    Spec spec;
    for (;; ++p) {
      if (*p == L'-') spec.left = true;
      else if (*p == L'+') spec.plus = true;
      else if (*p == L' ') spec.space = true;
      else if (*p == L'0') spec.zero = true;
      else if (*p == L'#') spec.alt = true;
      else break;
    }
    bool bad_star = false;
    // Width and precision: digits (capped well below overflow) or '*' taking an int.
    auto number = [&](int& target) {
      if (*p == L'*') {
        ++p;
        if (next >= count || args[next].kind != Arg::kInteger || args[next].size > 4) {
          bad_star = true;
          if (next < count) ++next;
          return;
        }
        target = static_cast<int>(static_cast<int32_t>(args[next++].bits));
        return;
      }
      target = 0;
      while (*p >= L'0' && *p <= L'9') {
        if (target < 100000) target = target * 10 + (*p - L'0');
        ++p;
      }
    };
    if (*p == L'*' || (*p >= L'0' && *p <= L'9')) {
      number(spec.width);
      if (spec.width < 0) {
        spec.left = true;
        spec.width = spec.width == INT32_MIN ? 0 : -spec.width;
      }
      if (spec.width > 100000) spec.width = 100000;
    }
    if (*p == L'.') {
      ++p;
      spec.precision = 0;
      number(spec.precision);
      if (spec.precision < 0) spec.precision = -1;
      if (spec.precision > 100000) spec.precision = 100000;
    }
    // Length modifiers of the Microsoft runtime and of C99.
    if (*p == L'h') {
      ++p;
      spec.narrow_size = true;
      spec.size = Spec::kShort;
      if (*p == L'h') {
        ++p;
        spec.size = Spec::kChar;
      }
    } else if (*p == L'l') {
      ++p;
      spec.wide_size = true;
      spec.size = Spec::kLong;
      if (*p == L'l') {
        ++p;
        spec.size = Spec::kLongLong;
      }
    } else if (*p == L'w') {
      ++p;
      spec.wide_size = true;
    } else if (p[0] == L'I' && p[1] == L'6' && p[2] == L'4') {
      p += 3;
      spec.size = Spec::kLongLong;
    } else if (p[0] == L'I' && p[1] == L'3' && p[2] == L'2') {
      p += 3;
    } else if (*p == L'I' || *p == L'z' || *p == L'j' || *p == L't') {
      ++p;
      spec.size = sizeof(size_t) == 8 ? Spec::kLongLong : Spec::kDefault;
    } else if (*p == L'L') {
      ++p;
    }
    spec.conversion = *p;
    if (!*p) {
      Marker(out, std::wstring(), L"incomplete");
      break;
    }
    ++p;
    const std::wstring directive(start + 1, static_cast<size_t>(p - start - 1));
    if (bad_star) {
      Marker(out, directive, L"bad width");
      continue;
    }

    wchar_t c = spec.conversion;
    bool is_string = c == L's' || c == L'S';
    bool is_char = c == L'c' || c == L'C';
    bool is_integer = c == L'd' || c == L'i' || c == L'u' || c == L'x' || c == L'X' || c == L'o';
    // No floating point: the product never formats one, and the C library's
    // float formatting would cost the stub some 20 KB.
    if (!is_string && !is_char && !is_integer && c != L'p') {
      Marker(out, directive, L"unsupported");
      continue;
    }
    if (next >= count) {
      Marker(out, directive, L"missing");
      continue;
    }
    const Arg& a = args[next++];
    bool ok = false;
    if (is_string) {
      // Wide printf: %s and %ls/%ws are wide; %S and %hs are narrow.
      bool narrow = spec.narrow_size || (c == L'S' && !spec.wide_size);
      bool null_pointer = a.kind == Arg::kPointer && a.pointer == nullptr;
      if (null_pointer || a.kind == (narrow ? Arg::kNarrow : Arg::kWide)) {
        Arg s = a;
        if (null_pointer) s.wide = nullptr, s.narrow = nullptr;
        FormatString(out, spec, s, narrow);
        ok = true;
      }
    } else if (is_char) {
      if (a.kind == Arg::kCharacter || a.kind == Arg::kInteger) {
        bool narrow = spec.narrow_size || (c == L'C' && !spec.wide_size);
        wchar_t ch;
        if (narrow) {
          char b = static_cast<char>(a.bits);
          std::wstring w = platform::AnsiToWide(&b, 1);
          ch = w.empty() ? L'?' : w[0];
        } else {
          ch = static_cast<wchar_t>(a.bits);
        }
        Pad(out, spec, std::wstring(1, ch));
        ok = true;
      }
    } else if (is_integer) {
      if (a.kind == Arg::kInteger || a.kind == Arg::kCharacter) ok = FormatInteger(out, spec, a);
      if (!ok && (a.kind == Arg::kInteger || a.kind == Arg::kCharacter)) {
        Marker(out, directive, L"overflow");
        continue;
      }
    } else {  // %p
      if (a.kind == Arg::kPointer || a.kind == Arg::kWide || a.kind == Arg::kNarrow) {
        Arg q = a;
        if (a.kind == Arg::kWide) q.pointer = a.wide;
        if (a.kind == Arg::kNarrow) q.pointer = a.narrow;
        FormatPointer(out, spec, q);
        ok = true;
      }
    }
    if (!ok) Marker(out, directive, KindName(a));
  }
  if (next < count) {
    out += L"%!(extra ";
    out += Digits(count - next, 10, false);
    out += L')';
  }
  return out;
}

}  // namespace format_internal
}  // namespace brx
