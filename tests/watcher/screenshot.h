// Saves the whole screen (under Wine: the virtual desktop) as a 24-bit BMP file,
// for the failure output of a test that saw something unexpected.
#ifndef BRX_TOOLS_WATCHER_SCREENSHOT_H_
#define BRX_TOOLS_WATCHER_SCREENSHOT_H_

#include <string>

namespace brxwatch {

bool SaveScreenshot(const std::wstring& bmp_path);

}  // namespace brxwatch

#endif  // BRX_TOOLS_WATCHER_SCREENSHOT_H_
