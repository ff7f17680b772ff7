// The current local date and time as texts for the log.
#ifndef BRX_PLATFORM_LOCAL_TIME_H_
#define BRX_PLATFORM_LOCAL_TIME_H_

#include <string>

namespace brx {
namespace platform {

// The system default locale's short date (natively "MM/DD/YYYY").
std::wstring LocalDateText();
// The system default locale's time with 24 hours forced and no AM/PM marker,
// seconds included (natively "HH:MM:SS").
std::wstring LocalTimeText();

}  // namespace platform
}  // namespace brx

#endif  // BRX_PLATFORM_LOCAL_TIME_H_
