#include "install/step_result.h"

#include "log/cmp_log2.h"

namespace brx {

void LogStepFailure(CCmpLog2& log, int line, const wchar_t* doing, const wchar_t* subject, const StepResult& result) {
  log.Write(LOG_VERBOSE_TAGGED, LEVEL_ERROR, L"extract", line, L"%s [%s]: result %d, Windows error %lu.\r\n\r\n",
            doing, subject ? subject : result.subject.get(), result.code, static_cast<unsigned long>(result.error));
}

}  // namespace brx
