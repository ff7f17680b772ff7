#include "install/disk_space.h"

#include "base/format.h"
#include "log/cmp_log2.h"

namespace brx {
namespace {

const unsigned kWarningBox = 0x30;  // MB_ICONWARNING | MB_OK

}  // namespace

bool CheckDiskSpace(CCmpLog2& log, uint64_t required, uint64_t free_bytes, OwnerWindow owner, bool logging,
                    Presenter& presenter, const wchar_t* message_template) {
  if (logging) {
    log.Write(LOG_BOTH_TAGGED, LEVEL_INFO, L"extract", 1467,
              L"Verifying required disk space for Quellin Component Installation is available...\r\n\r\n");
  }
  if (free_bytes > required) {
    if (logging) {
      log.Write(LOG_BOTH_TAGGED, LEVEL_INFO, L"extract", 1528, L"Required disk space is available. Success.\r\n\r\n");
    }
    return true;
  }
  // The message carries 32-bit numbers, as its "%lu" placeholders always have.
  std::wstring message = Format(message_template ? message_template : L"", static_cast<uint32_t>(required),
                                static_cast<uint32_t>(free_bytes), static_cast<uint32_t>(required - free_bytes));
  presenter.ShowText(owner, message.c_str(), kCaptionPackageSetup, kWarningBox);
  if (logging) {
    // The text has no line end of its own: the halt line continues it.
    log.Write(LOG_BOTH_TAGGED, LEVEL_ERROR, L"extract", 1511, message);
    log.Write(LOG_BOTH_TAGGED, LEVEL_INFO, L"extract", 1516, L"Installation Halted...ERROR CODE (0)...\r\n\r\n");
  }
  return false;
}

StepResult DiskSpaceUnknown(CCmpLog2& log, bool logging, StepResult why) {
  why.ok = false;
  if (logging) {
    log.Write(LOG_BOTH_TAGGED, LEVEL_INFO, L"extract", 1467,
              L"Verifying required disk space for Quellin Component Installation is available...\r\n\r\n");
    log.Write(LOG_BOTH_TAGGED, LEVEL_ERROR, L"extract", 1470,
              L"The required or the free disk space could not be determined (%s, Windows error %lu).\r\n\r\n",
              why.reason, static_cast<unsigned long>(why.error));
    log.Write(LOG_BOTH_TAGGED, LEVEL_INFO, L"extract", 1516, L"Installation Halted...ERROR CODE (0)...\r\n\r\n");
  }
  return why;
}

}  // namespace brx
