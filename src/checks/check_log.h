// The checks' log lines: always LOG_BOTH_TAGGED, under the module name "misc"
// and the line numbers that identify each statement in the verbose log.
#ifndef BRX_CHECKS_CHECK_LOG_H_
#define BRX_CHECKS_CHECK_LOG_H_

#include <stdint.h>

#include "log/cmp_log2.h"
#include "log/session_record_fields.h"

namespace brx {
namespace checks {

constexpr const wchar_t* kLogModule = L"misc";

// A WMI query that failed, with its HRESULT (a check then decides as the
// fact were unknown).
constexpr const wchar_t* kWmiFailedLine = L"WMI could not be read (HRESULT 0x%08X).\r\n\r\n";

// Why a check stopped the run (or that it let a caution pass), for the
// session record: the Windows error behind it and a reason word.
struct CheckCause {
  uint32_t code = 0;
  record::ErrorKind kind = record::ErrorKind::kWin32;
  const wchar_t* reason = nullptr;
  bool caution = false;  // passed, after a caution the options let through
};

template <typename... Args>
void LogLine(CCmpLog2& log, LogLevel level, int line, const wchar_t* fmt, const Args&... args) {
  log.Write(LOG_BOTH_TAGGED, level, kLogModule, line, fmt, args...);
}

// A string-table message, logged as "\r\n\r\n%s\r\n\r\n". Some statements
// name no source file and line 0; `module` is then null.
inline void LogMessageText(CCmpLog2& log, LogLevel level, const wchar_t* module, int line, const wchar_t* text) {
  log.Write(LOG_BOTH_TAGGED, level, module, line, L"\r\n\r\n%s\r\n\r\n", text);
}

}  // namespace checks
}  // namespace brx

#endif  // BRX_CHECKS_CHECK_LOG_H_
