#include "log/session_record.h"

#include <string.h>

#include "base/completion_code.h"
#include "base/format.h"
#include "log/cmp_log2.h"
#include "log/json_line.h"

namespace brx {
namespace {

using namespace record;

// Longest texts a record holds, in characters: with each character at most
// six bytes escaped the whole line stays far below kMaxRecordBytes.
constexpr size_t kNameChars = 260;
constexpr size_t kPackageTextChars = 512;
constexpr size_t kTimeChars = 40;
constexpr size_t kCommandLineChars = 2047;
constexpr size_t kErrorChars = 1024;

// The first line of a message that holds more than blanks, without its line
// end: string-table texts are logged between empty lines.
std::wstring FirstLine(const std::wstring& message) {
  size_t at = 0;
  while (at < message.size()) {
    size_t end = message.find_first_of(L"\r\n", at);
    if (end == std::wstring::npos) end = message.size();
    std::wstring line = message.substr(at, end - at);
    size_t text = line.find_first_not_of(L' ');
    if (text != std::wstring::npos) {
      size_t last = line.find_last_not_of(L' ');
      return line.substr(text, last - text + 1);
    }
    at = end + 1;
  }
  return std::wstring();
}


const char* OutcomeName(Outcome outcome) { return kOutcomeNames[static_cast<size_t>(outcome)]; }

std::wstring Widen(const char* ascii) { return std::wstring(ascii, ascii + strlen(ascii)); }

std::wstring ChecksText(const SessionRecord& r) {
  std::wstring text;
  for (size_t i = 0; i < kCheckCount; ++i) {
    if (i > 0) text += L' ';
    text += Widen(kCheckNames[i]) + L'=' + Widen(OutcomeName(r.checks[i]));
  }
  return text;
}

}  // namespace

void SessionRecord::NoteEntry(unsigned target, int level, const std::wstring& message) {
  // Verbose-only entries are the details behind a main-log line (a Windows
  // error, a WMI fallback): they do not caution the run.
  if (target != LOG_MAIN && target != LOG_BOTH_TAGGED && target != LOG_BOTH) return;
  if (level == LEVEL_WARNING && !FirstLine(message).empty()) ++warnings;
}

void SessionRecord::NoteFailure(const char* step, uint32_t code, ErrorKind kind, const std::wstring& reason,
                                const std::wstring& text) {
  if (has_error || !step) return;
  has_error = true;
  error.step = step;
  error.code = code;
  error.kind = kind;
  error.reason = reason;
  error.text = FirstLine(text);
}

void SessionRecord::SetCommandLine(const wchar_t* masked) {
  has_command_line = masked != nullptr;
  command_line = masked ? masked : L"";
}

const char* SessionRecord::Result() const {
  if (mode == Mode::kExtract) return completion_code == kCompletionInstalled ? kResultExtracted : "failed";
  return CompletionCodeName(completion_code);
}

bool SessionRecord::Failed() const {
  if (mode == Mode::kExtract) return completion_code != kCompletionInstalled;
  return completion_code != kCompletionInstalled && completion_code != kCompletionRebootNeeded &&
         completion_code != kCompletionNotAttempted;
}

std::wstring SessionRecord::FirstError() const {
  if (!Failed() || !has_error) return std::wstring();
  if (!error.text.empty()) return error.text;
  std::wstring text = Widen(error.step.c_str()) + L" failed";
  if (!error.reason.empty()) text += L": " + error.reason;
  if (error.code != 0) {
    text += Format(L" (%hs error %lu)", kErrorKindNames[static_cast<size_t>(error.kind)],
                   static_cast<unsigned long>(error.code));
  }
  return text;
}

std::string SessionRecordLine(const SessionRecord& r) {
  JsonLine j(kMaxRecordBytes);
  j.Integer(kSchema, kSchemaVersion);
  j.Text(kSessionId, r.session_id, kTimeChars);
  j.Text(kStubFile, r.stub_file, kNameChars);
  j.TextOrNull(kStubVersion, r.stub_version.c_str(), kNameChars);
  j.TextOrNull(kPackageName, r.package_name.c_str(), kPackageTextChars);
  j.TextOrNull(kPackageVersion, r.package_version.c_str(), kPackageTextChars);
  j.TextOrNull(kSwKey, r.sw_key.c_str(), kPackageTextChars);
  j.TextOrNull(kDefinition, r.definition.c_str(), kNameChars);
  j.Text(kStart, r.start, kTimeChars);
  j.Text(kEnd, r.end, kTimeChars);
  j.Word(kMode, kModeNames[static_cast<size_t>(r.mode)]);
  j.BeginObject(kChecks);
  for (size_t i = 0; i < kCheckCount; ++i) j.Word(kCheckNames[i], OutcomeName(r.checks[i]));
  j.EndObject();
  if (r.has_command_line) {
    j.Text(kCommandLine, r.command_line, kCommandLineChars);
  } else {
    j.Null(kCommandLine);
  }
  if (r.setup_ran) {
    j.Integer(kSetupExitCode, r.setup_exit_code);
  } else {
    j.Null(kSetupExitCode);
  }
  j.Integer(kCompletionCode, r.completion_code);
  j.Integer(kExitCode, r.exit_code);
  j.Word(kReboot, kRebootNames[static_cast<size_t>(r.reboot)]);
  j.Word(kResult, r.Result());
  std::wstring error = r.FirstError();
  j.TextOrNull(kFirstError, error.c_str(), kErrorChars);
  if (r.has_error) {
    j.BeginObject(kError);
    j.Word(kErrorStep, r.error.step.c_str());
    j.Integer(kErrorCode, r.error.code);
    if (r.error.code != 0) {
      j.Word(kErrorWindowsError, kErrorKindNames[static_cast<size_t>(r.error.kind)]);
    } else {
      j.Null(kErrorWindowsError);
    }
    j.TextOrNull(kErrorReason, r.error.reason.c_str(), kErrorChars);
    j.EndObject();
  } else {
    j.Null(kError);
  }
  std::string line;
  // The texts are cut to sizes that always fit; should that ever be wrong,
  // a record of the facts that cannot be cut is written instead of none.
  if (j.Finish(&line)) return line;
  JsonLine minimal(kMaxRecordBytes);
  minimal.Integer(kSchema, kSchemaVersion);
  minimal.Integer(kCompletionCode, r.completion_code);
  minimal.Integer(kExitCode, r.exit_code);
  minimal.Word(kResult, r.Result());
  minimal.Finish(&line);
  return line;
}

uint32_t SessionEventId(const SessionRecord& r) {
  if (r.mode == Mode::kExtract) return r.completion_code == kCompletionInstalled ? kEventInstalled : kEventFailed;
  switch (r.completion_code) {
    case kCompletionInstalled: return kEventInstalled;
    case kCompletionRebootNeeded: return kEventRestartNeeded;
    case kCompletionNotAttempted: return kEventNotAttempted;
    default: return kEventFailed;
  }
}

platform::EventType SessionEventType(const SessionRecord& r) {
  switch (SessionEventId(r)) {
    case kEventRestartNeeded: return platform::EventType::kWarning;
    case kEventFailed: return platform::EventType::kError;
    default: return platform::EventType::kInformation;
  }
}

std::vector<std::wstring> SessionEventStrings(const SessionRecord& r) {
  auto number = [](int32_t v) { return Format(L"%d", v); };
  return {number(kSchemaVersion),
          r.session_id,
          r.stub_file,
          r.stub_version,
          r.package_name,
          r.package_version,
          r.sw_key,
          r.definition,
          r.start,
          r.end,
          Widen(kModeNames[static_cast<size_t>(r.mode)]),
          ChecksText(r),
          r.has_command_line ? r.command_line : std::wstring(),
          r.setup_ran ? number(r.setup_exit_code) : std::wstring(),
          number(r.completion_code),
          number(r.exit_code),
          Widen(kRebootNames[static_cast<size_t>(r.reboot)]),
          Widen(r.Result()),
          r.FirstError(),
          r.has_error ? Widen(r.error.step.c_str()) : std::wstring(),
          r.has_error ? Format(L"%lu", static_cast<unsigned long>(r.error.code)) : std::wstring(),
          r.has_error && r.error.code != 0 ? Widen(kErrorKindNames[static_cast<size_t>(r.error.kind)]) : std::wstring(),
          r.has_error ? r.error.reason : std::wstring()};
}

}  // namespace brx
