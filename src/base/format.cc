#include "base/format.h"

#include <string.h>
#include <wchar.h>

#include "platform/codepage.h"

namespace brx {
namespace format_internal {
namespace {

// Widths come from the product's own format strings; the cap only keeps a
// mistyped one from asking for megabytes of blanks.
constexpr size_t kMaxWidth = 256;
constexpr size_t kUnknownLength = static_cast<size_t>(-1);

// One directive: '%', an optional '0' flag, a width, an optional 'h' or 'l'
// and the conversion.
struct Spec {
  bool zero = false;
  size_t width = 0;
  wchar_t size = 0;  // 'h', 'l' or none
  wchar_t conversion = 0;
};

const wchar_t* KindName(const Arg& a) {
  switch (a.kind) {
    case Arg::kInteger: return L"int";
    case Arg::kWide: return L"wstring";
    case Arg::kNarrow: return L"string";
    case Arg::kNull: return L"null";
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

void PadLeft(std::wstring& out, size_t width, wchar_t fill, size_t used) {
  if (used < width) out.append(width - used, fill);
}

const wchar_t kHexDigits[] = L"0123456789ABCDEF";

void AppendEscaped(const wchar_t* text, size_t length, std::wstring& out) {
  for (size_t i = 0; i < length; ++i) {
    wchar_t c = text[i];
    if (c == L'\r') {
      out += L"\\r";
    } else if (c == L'\n') {
      out += L"\\n";
    } else if (c == L'\t') {
      out += L"\\t";
    } else if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) {
      out += L"\\x";
      out += kHexDigits[(c >> 4) & 0xF];
      out += kHexDigits[c & 0xF];
    } else {
      out += c;
    }
  }
}

void FormatString(std::wstring& out, const Spec& spec, const Arg& a, Strings strings) {
  std::wstring text;
  if (a.kind == Arg::kNarrow && a.narrow) {
    text = platform::AnsiToWide(a.narrow, a.length != kUnknownLength ? a.length : strlen(a.narrow));
  } else if (a.kind == Arg::kWide && a.wide) {
    text.assign(a.wide, a.length != kUnknownLength ? a.length : wcslen(a.wide));
  } else {
    text = L"(null)";
  }
  std::wstring body;
  if (strings == Strings::kEscaped) {
    AppendEscaped(text.data(), text.size(), body);
  } else {
    body.swap(text);
  }
  PadLeft(out, spec.width, L' ', body.size());
  out += body;
}

// The conversions are 32-bit, as the C runtime's are for arguments of int
// size; a wider argument is accepted only when its value survives that
// reduction.
bool FormatInteger(std::wstring& out, const Spec& spec, const Arg& a) {
  if (a.size > 4) {
    int64_t value = static_cast<int64_t>(a.bits);
    bool fits = a.is_signed ? (value >= INT32_MIN && value <= static_cast<int64_t>(UINT32_MAX))
                            : a.bits <= UINT32_MAX;
    if (!fits) return false;
  }
  uint32_t bits = static_cast<uint32_t>(a.bits);
  bool negative = spec.conversion == L'd' && static_cast<int32_t>(bits) < 0;
  uint32_t magnitude = negative ? 0u - bits : bits;
  unsigned base = spec.conversion == L'X' ? 16 : 10;
  wchar_t digits[16];
  size_t n = 0;
  do {
    digits[n++] = kHexDigits[magnitude % base];
    magnitude /= base;
  } while (magnitude);
  size_t used = n + (negative ? 1 : 0);
  // Zeros go between the sign and the digits ("-03"), blanks before the sign.
  if (!spec.zero) PadLeft(out, spec.width, L' ', used);
  if (negative) out += L'-';
  if (spec.zero) PadLeft(out, spec.width, L'0', used);
  while (n) out += digits[--n];
  return true;
}

bool IsKnown(const Spec& spec) {
  switch (spec.conversion) {
    case L's': return !spec.zero && (spec.size == 0 || spec.size == L'h');
    case L'd':
    case L'u':
    case L'X': return spec.size == 0 || spec.size == L'l';
    default: return false;
  }
}

}  // namespace

std::wstring FormatArgs(const wchar_t* fmt, const Arg* args, size_t count, Strings strings) {
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
    while (*p == L'0') {
      spec.zero = true;
      ++p;
    }
    while (*p >= L'0' && *p <= L'9') {
      spec.width = spec.width * 10 + static_cast<size_t>(*p - L'0');
      if (spec.width > kMaxWidth) spec.width = kMaxWidth;
      ++p;
    }
    if (*p == L'h' || *p == L'l') spec.size = *p++;
    spec.conversion = *p;
    if (!*p) {
      Marker(out, std::wstring(), L"incomplete");
      break;
    }
    ++p;
    const std::wstring directive(start + 1, static_cast<size_t>(p - start - 1));
    if (!IsKnown(spec)) {
      Marker(out, directive, L"unsupported");
      continue;
    }
    if (next >= count) {
      Marker(out, directive, L"missing");
      continue;
    }
    const Arg& a = args[next++];
    if (spec.conversion == L's') {
      Arg::Kind wanted = spec.size == L'h' ? Arg::kNarrow : Arg::kWide;
      if (a.kind == wanted || a.kind == Arg::kNull) {
        FormatString(out, spec, a, strings);
      } else {
        Marker(out, directive, KindName(a));
      }
      continue;
    }
    if (a.kind != Arg::kInteger) {
      Marker(out, directive, KindName(a));
    } else if (!FormatInteger(out, spec, a)) {
      Marker(out, directive, L"overflow");
    }
  }
  if (next < count) {
    out += L"%!(extra ";
    // Not std::to_wstring: it would link the C library's printf into the stub.
    Arg extra = MakeArg(count - next);
    Spec plain;
    plain.conversion = L'u';
    FormatInteger(out, plain, extra);
    out += L')';
  }
  return out;
}

}  // namespace format_internal
}  // namespace brx
