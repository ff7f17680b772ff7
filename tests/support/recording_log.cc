#include "support/recording_log.h"

#include "log/session_record.h"

namespace brxtest {

std::wstring FormatEntry(const LogEntry& entry) {
  return std::to_wstring(entry.line) + L":" + std::to_wstring(entry.level) + L":" + entry.message;
}

std::wstring FormatFullEntry(const LogEntry& entry) {
  return std::to_wstring(entry.target) + L":" + std::to_wstring(entry.line) + L":" + std::to_wstring(entry.level) +
         L":" + entry.module + L":" + entry.message;
}

void RecordingLog::Write(unsigned target, int level, const wchar_t* module, int line, const std::wstring& message) {
  entries.push_back({target, level, module ? module : L"(null)", line, message});
  // Like the real log, the run's session record sees every entry.
  if (record()) record()->NoteEntry(target, level, message);
}

std::wstring RecordingLog::Line(size_t i) const {
  return i < entries.size() ? FormatEntry(entries[i]) : L"<no entry " + std::to_wstring(i) + L">";
}

std::wstring RecordingLog::FullLine(size_t i) const {
  return i < entries.size() ? FormatFullEntry(entries[i]) : L"<no entry " + std::to_wstring(i) + L">";
}

std::vector<std::wstring> RecordingLog::Lines() const {
  std::vector<std::wstring> out;
  for (const LogEntry& e : entries) out.push_back(FormatEntry(e));
  return out;
}

std::vector<std::wstring> RecordingLog::Texts() const {
  std::vector<std::wstring> out;
  for (const LogEntry& e : entries) out.push_back(e.message);
  return out;
}

bool RecordingLog::Has(const std::wstring& line) const {
  for (const LogEntry& e : entries) {
    if (FormatEntry(e) == line) return true;
  }
  return false;
}

bool RecordingLog::Contains(const std::wstring& fragment) const {
  for (const LogEntry& e : entries) {
    if (FormatEntry(e).find(fragment) != std::wstring::npos) return true;
  }
  return false;
}

bool RecordingLog::HasMessage(const std::wstring& message) const {
  for (const LogEntry& e : entries) {
    if (e.message == message) return true;
  }
  return false;
}

size_t RecordingLog::Count(int line_number) const {
  size_t n = 0;
  for (const LogEntry& e : entries) n += e.line == line_number;
  return n;
}

}  // namespace brxtest
