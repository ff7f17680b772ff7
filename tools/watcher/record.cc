#include "record.h"

#include <cstdio>

namespace brxwatch {

const ControlRecord* DialogRecord::FindControl(int id) const {
  for (const ControlRecord& c : controls) {
    if (c.id == id) return &c;
  }
  return nullptr;
}

namespace {

std::wstring Quote(const std::wstring& s) {
  std::wstring out = L"\"";
  for (wchar_t ch : s) {
    switch (ch) {
      case L'\r': out += L"\\r"; break;
      case L'\n': out += L"\\n"; break;
      case L'\t': out += L"\\t"; break;
      case L'"': out += L"\\\""; break;
      case L'\\': out += L"\\\\"; break;
      default: out += ch;
    }
  }
  return out + L"\"";
}

std::wstring Hex(uint64_t v) {
  wchar_t buf[24];
  swprintf(buf, 24, L"0x%llX", static_cast<unsigned long long>(v));
  return buf;
}

}  // namespace

std::wstring FormatRecord(const DialogRecord& r) {
  std::wstring out = L"dialog at " + std::to_wstring(r.seen_ms) + L" ms, pid " +
                     std::to_wstring(r.process_id) + L", window " + Hex(r.window) +
                     L"\n  caption " + Quote(r.caption) + L"\n";
  if (r.IsMessageBox()) out += L"  text " + Quote(r.text) + L"\n";
  for (const ControlRecord& c : r.controls) {
    out += L"  control " + std::to_wstring(c.id) + L" " + c.window_class + L" " + Quote(c.text) +
           (c.visible ? L" visible" : L" hidden") + (c.enabled ? L" enabled" : L" disabled") +
           L" style " + Hex(c.style) + L"\n";
  }
  if (r.answered_id != 0) {
    out += L"  answered " + std::to_wstring(r.answered_id);
    if (r.answer_count > 1) out += L" (" + std::to_wstring(r.answer_count) + L" times)";
    out += L"\n";
  } else {
    out += L"  left open\n";
  }
  return out;
}

std::string ToUtf8(const std::wstring& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t cp = static_cast<uint32_t>(text[i]);
    // wchar_t is UTF-16 here: join surrogate pairs, replace lone halves.
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() &&
        text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (static_cast<uint32_t>(text[++i]) - 0xDC00);
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

}  // namespace brxwatch
