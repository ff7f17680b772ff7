#include "install/completion_codes.h"

#include "base/format.h"
#include "log/cmp_log2.h"
#include "package/ppkg.h"

namespace brx {
namespace {

const wchar_t kModule[] = L"extract";

struct CodeLine {
  int line;
  const wchar_t* text;
};

CodeLine CompletionCodeLine(int32_t raw_code) {
  switch (raw_code) {
    case kCompletionFailed:
      return {784, L"Completion Code (0x%X) -> The Quellin Component failed to install\r\n\r\n"};
    case kCompletionInstalled:
      return {791, L"Completion Code (0x%X) -> The Quellin Component installed Successfully\r\n\r\n"};
    case kCompletionRebootNeeded:
      return {798,
              L"Completion Code (0x%X) -> The Quellin Component installed Successfully, but the "
              L"system must be restart\r\n\r\n"};
    case kCompletionNotAttempted:
      return {805,
              L"Completion Code (0x%X) -> The Quellin Component installation was not attempted "
              L"because the required hardware was not present,\r\nthe software was current, or "
              L"there was nothing to install\r\n\r\n"};
    default:
      return {812, L"Completion Code (0x%X) -> The Quellin Component returned an unknown completion code.\r\n\r\n"};
  }
}

}  // namespace

std::wstring CompletionCodeText(int32_t raw_code) {
  std::wstring text = Format(CompletionCodeLine(raw_code).text, raw_code);
  std::wstring line;
  for (wchar_t c : text) {
    if (c != L'\r') line += c == L'\n' ? L' ' : c;
  }
  text.swap(line);
  size_t end = text.find_last_not_of(L' ');
  return end == std::wstring::npos ? std::wstring() : text.substr(0, end + 1);
}

void LogDryRun(CCmpLog2& log) {
  log.Write(LOG_BOTH_TAGGED, LEVEL_INFO, kModule, 711, L"Dry Run of Installer Component\r\n");
  log.Write(LOG_BOTH_TAGGED, LEVEL_INFO, kModule, 716,
            L"Dry Run of Installer Component...Returning Completion Code (1)...Success\r\n");
}

void LogSetupFinished(CCmpLog2& log, uint64_t elapsed_seconds, int32_t raw_code) {
  int hours = static_cast<int>((elapsed_seconds / 3600) % 24);
  int minutes = static_cast<int>((elapsed_seconds / 60) % 60);
  int seconds = static_cast<int>(elapsed_seconds % 60);
  log.Write(LOG_BOTH_TAGGED, LEVEL_INFO, kModule, 769, L"Setup utility completed in %02dhh:%02dmm:%02ds\r\n\r\n",
            hours, minutes, seconds);
  log.Write(LOG_BOTH_TAGGED, LEVEL_INFO, kModule, 775, L"Process returned completion code of (0x%X).\r\n\r\n",
            raw_code);
  CodeLine code_line = CompletionCodeLine(raw_code);
  log.Write(LOG_BOTH_TAGGED, LEVEL_INFO, kModule, code_line.line, code_line.text, raw_code);
}

int32_t TranslateReturnCode(CCmpLog2& log, const CPPkg& package, int32_t raw_code) {
  log.Write(LOG_BOTH_TAGGED, LEVEL_INFO, kModule, 899, L"Translating return code... ");
  int32_t translated = package.MapReturnCode(raw_code);
  if (translated == raw_code) {
    log.Write(LOG_BOTH, LEVEL_INFO, kModule, 909, L"No change (0x%X).\r\n\r\n", raw_code);
  } else {
    log.Write(LOG_BOTH, LEVEL_INFO, kModule, 918, L"Changed from 0x%X to 0x%X.\r\n\r\n", raw_code, translated);
  }
  return translated;
}

void LogLastErrorLine(CCmpLog2& log, const wchar_t* what, uint32_t error, const wchar_t* error_text) {
  // The system's texts end in a line end of their own; the line's end is the
  // format's, so the text is logged without it.
  std::wstring text = error_text ? error_text : L"";
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) text.pop_back();
  log.Write(LOG_BOTH, LEVEL_CRITICAL, L"misc", 63, L"%s FAILED with error %d: %s\r\n", what ? what : L"",
            static_cast<int32_t>(error), text);
}

void LogSetupNotStarted(CCmpLog2& log, uint32_t error, const wchar_t* error_text,
                        const wchar_t* install_command) {
  LogLastErrorLine(log, L"CreateProcess", error, error_text);
  log.Write(LOG_BOTH_TAGGED, LEVEL_CRITICAL, nullptr, 0, L"Install Command was - %s\r\n\r\n",
            install_command ? install_command : L"");
  log.Write(LOG_BOTH_TAGGED, LEVEL_CRITICAL, nullptr, 0, L"Installation Issue...FAILURE CODE (0)\r\n");
}

std::wstring RebootQuestionText(const std::wstring& notice, const std::wstring& question) {
  return notice + L"\r\n\r\n" + question;
}

std::wstring FillProgramName(const std::wstring& message, const wchar_t* program) {
  std::wstring result = message;
  size_t at = result.find(L"%s");
  if (at != std::wstring::npos) result.replace(at, 2, program ? program : L"");
  return result;
}

}  // namespace brx
