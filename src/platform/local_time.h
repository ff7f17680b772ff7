// The current local date and time as texts for the log and the session record.
#ifndef BRX_PLATFORM_LOCAL_TIME_H_
#define BRX_PLATFORM_LOCAL_TIME_H_

#include <stdint.h>

#include <string>

namespace brx {
namespace platform {

// The system default locale's short date (natively "MM/DD/YYYY").
std::wstring LocalDateText();
// The system default locale's time with 24 hours forced and no AM/PM marker,
// seconds included (natively "HH:MM:SS").
std::wstring LocalTimeText();

// A local time and its offset from UTC in minutes (east positive).
struct LocalTimeParts {
  int year, month, day, hour, minute, second;
  int32_t utc_offset_minutes;
};
// ISO 8601 with the offset: "2026-12-08T14:03:05+01:00", "...-03:30".
std::wstring FormatIsoLocalTime(const LocalTimeParts& parts);
// Now, as FormatIsoLocalTime.
std::wstring LocalIsoTimeText();

}  // namespace platform
}  // namespace brx

#endif  // BRX_PLATFORM_LOCAL_TIME_H_
