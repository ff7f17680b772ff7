#include "platform/local_time.h"

namespace brx {
namespace platform {
namespace {

// value as exactly `digits` decimal digits (the stub carries no printf).
void AppendDigits(std::wstring* text, int value, int digits) {
  wchar_t buffer[8];
  for (int i = digits - 1; i >= 0; --i) {
    buffer[i] = static_cast<wchar_t>(L'0' + value % 10);
    value /= 10;
  }
  text->append(buffer, static_cast<size_t>(digits));
}

}  // namespace

std::wstring FormatIsoLocalTime(const LocalTimeParts& p) {
  int32_t offset = p.utc_offset_minutes;
  wchar_t sign = offset < 0 ? L'-' : L'+';
  if (offset < 0) offset = -offset;
  std::wstring text;
  AppendDigits(&text, p.year, 4);
  text += L'-';
  AppendDigits(&text, p.month, 2);
  text += L'-';
  AppendDigits(&text, p.day, 2);
  text += L'T';
  AppendDigits(&text, p.hour, 2);
  text += L':';
  AppendDigits(&text, p.minute, 2);
  text += L':';
  AppendDigits(&text, p.second, 2);
  text += sign;
  AppendDigits(&text, static_cast<int>(offset / 60 % 100), 2);
  text += L':';
  AppendDigits(&text, static_cast<int>(offset % 60), 2);
  return text;
}

}  // namespace platform
}  // namespace brx
