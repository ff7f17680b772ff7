#include "record.h"

#include <cstdio>

#include "platform/utf8.h"

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

std::string ToUtf8(const std::wstring& text) { return brx::platform::WideToUtf8(text); }

}  // namespace brxwatch
