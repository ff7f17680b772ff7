// A log session as one JSON object on one line (JSON Lines), and the date
// handling behind --since.
#ifndef BRX_TOOLS_BRXLOG_SESSION_JSON_H_
#define BRX_TOOLS_BRXLOG_SESSION_JSON_H_

#include <string>

#include "brxlog/log_sessions.h"

namespace brxlog {

// The order of a short date written with slashes ("8/12/2026"), which the
// text alone cannot tell. A year first, or dots and dashes, decide by themselves.
enum class DateOrder { kMonthFirst, kDayFirst };

// The header's date text as "YYYY-MM-DDTHH:MM:SS" (local time, as logged), or
// empty when it cannot be read.
std::string IsoStart(const std::wstring& log_date, DateOrder order);

// "YYYY-MM-DD" with an optional "THH:MM[:SS]" or " HH:MM[:SS]" as the same
// form as IsoStart; false when it is not one.
bool ParseSince(const std::string& text, std::string* iso);

// The session, UTF-8, without a line end. `origin` (optional) is added as the
// member "origin": where the session was read from when that is not obvious.
std::string SessionJson(const Session& session, DateOrder order, const char* origin = nullptr);

}  // namespace brxlog

#endif  // BRX_TOOLS_BRXLOG_SESSION_JSON_H_
