// Archive entry times (DOS date and time) as the system default locale shows them.
#ifndef BRX_UI_DOS_TIME_WIN_H_
#define BRX_UI_DOS_TIME_WIN_H_

#include <stdint.h>

#include <string>

namespace brx {
namespace ui {

// The calendar date and time of a DOS stamp, without time-zone conversion,
// in the default date and time formats of the system default locale. False
// (both outputs empty) for a stamp that is no valid date.
bool FormatDosDateTime(uint32_t dos_date, uint32_t dos_time, std::wstring* date, std::wstring* time);

}  // namespace ui
}  // namespace brx

#endif  // BRX_UI_DOS_TIME_WIN_H_
