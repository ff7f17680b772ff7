// A log that keeps its entries in memory instead of writing files, for tests
// of code that logs.
#ifndef BRX_TESTS_SUPPORT_RECORDING_LOG_H_
#define BRX_TESTS_SUPPORT_RECORDING_LOG_H_

#include <stddef.h>

#include <string>
#include <vector>

#include "log/cmp_log2.h"

namespace brxtest {

struct LogEntry {
  unsigned target;
  int level;
  std::wstring module;  // "(null)" when the statement names none
  int line;
  std::wstring message;
};

// "line:level:message", the form most expectations are written in.
std::wstring FormatEntry(const LogEntry& entry);
// "target:line:level:module:message", for tests that care where an entry goes.
std::wstring FormatFullEntry(const LogEntry& entry);

class RecordingLog : public CCmpLog2 {
 public:
  using CCmpLog2::Write;
  void Write(unsigned target, int level, const wchar_t* module, int line, const std::wstring& message) override;
  // Nothing is opened: the result is open_result, and Close only notes the call.
  unsigned Open() override { return open_result; }
  void Close() override { closed = true; }
  // There is no verbose file; code that asks gets `verbose`.
  int IsVerboseEnabled() override { return verbose; }

  void Clear() { entries.clear(); }
  // Entry i formatted; a placeholder that matches no expectation when there is none.
  std::wstring Line(size_t i) const;
  std::wstring FullLine(size_t i) const;
  std::vector<std::wstring> Lines() const;
  std::vector<std::wstring> Texts() const;
  // Some entry formatted is exactly `line`.
  bool Has(const std::wstring& line) const;
  // Some entry formatted holds `fragment`.
  bool Contains(const std::wstring& fragment) const;
  // Some entry's message is exactly `message`.
  bool HasMessage(const std::wstring& message) const;
  // Entries written with this line number.
  size_t Count(int line_number) const;

  std::vector<LogEntry> entries;
  unsigned open_result = 0;
  bool closed = false;
  int verbose = 0;
};

}  // namespace brxtest

#endif  // BRX_TESTS_SUPPORT_RECORDING_LOG_H_
