#include "install/step_result.h"

#include "log/cmp_log2.h"
#include "log/session_record.h"

namespace brx {

void LogStepFailure(CCmpLog2& log, int line, const wchar_t* doing, const wchar_t* subject, const StepResult& result) {
  if (!result.reason.empty()) {
    log.Write(LOG_VERBOSE_TAGGED, LEVEL_ERROR, L"extract", line,
              L"%s [%s]: result %d, Windows error %lu (%hs), %s.\r\n\r\n", doing,
              subject ? subject : result.subject.get(), result.code, static_cast<unsigned long>(result.error),
              record::kErrorKindNames[static_cast<size_t>(result.kind)], result.reason);
    return;
  }
  log.Write(LOG_VERBOSE_TAGGED, LEVEL_ERROR, L"extract", line, L"%s [%s]: result %d, Windows error %lu.\r\n\r\n",
            doing, subject ? subject : result.subject.get(), result.code, static_cast<unsigned long>(result.error));
}

void NoteStepFailure(CCmpLog2& log, const char* step, const StepResult& result, const std::wstring& text) {
  SessionRecord* record = log.record();
  if (!record) return;
  record->NoteFailure(result.step ? result.step : step, result.error, result.kind, result.reason,
                      text.empty() ? result.text : text);
}

}  // namespace brx
