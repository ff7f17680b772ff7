// The session record: one JSON object on one line of brxsetup.jsonl, beside
// brxsetup.log, for every run of the stub that went past its usage help, and
// one Windows Application event with the same facts.
//
// This header is the one definition of the record's fields and words: the
// stub writes them, brxlog reads them, and deployment tools (the Ansible
// role's summary) rely on them, so a name never changes meaning. A new field
// may be added at the end; a change of meaning takes a new schema number.
//
// Types, in the order the stub writes them:
//   schema           integer, kSchemaVersion
//   session_id       text, a new GUID per run ("8-4-4-4-12" hexadecimal, upper case)
//   stub_file        text, the stub's file name
//   stub_version     text, its file version; null without a version resource
//   package_name     text or null (no definition loaded)
//   package_version  text or null
//   sw_key           text or null
//   definition       text or null, the archive entry holding the definition
//   start, end       text, ISO 8601 local time with offset, 2026-12-08T14:03:05+01:00
//   mode             text, one of the mode words
//   checks           object with the four check names, each an outcome word
//   command_line     text or null (never built), secrets masked as logged
//   setup_exit_code  integer or null (the setup program never ran)
//   completion_code  integer
//   exit_code        integer, the process's exit code
//   reboot           text, one of the reboot words
//   result           text, one of the result words
//   first_error      text or null, what stopped the run when it failed (the
//                    error's own text, or its step, reason and Windows error)
//   error            object or null (no step failed): the first step that
//                    failed, {"step": word, "code": integer, "windows_error":
//                    kind word or null (code 0), "reason": text or null}.
//                    A step may fail without failing the run (the inventory,
//                    the restart): error then names it beside a result of
//                    installed.
#ifndef BRX_LOG_SESSION_RECORD_FIELDS_H_
#define BRX_LOG_SESSION_RECORD_FIELDS_H_

#include <stddef.h>
#include <stdint.h>

namespace brx {
namespace record {

constexpr int kSchemaVersion = 2;

// The file beside the component log.
constexpr wchar_t kRecordFileName[] = L"brxsetup.jsonl";

// Field names, in the order they are written.
constexpr char kSchema[] = "schema";
constexpr char kSessionId[] = "session_id";
constexpr char kStubFile[] = "stub_file";
constexpr char kStubVersion[] = "stub_version";
constexpr char kPackageName[] = "package_name";
constexpr char kPackageVersion[] = "package_version";
constexpr char kSwKey[] = "sw_key";
constexpr char kDefinition[] = "definition";
constexpr char kStart[] = "start";
constexpr char kEnd[] = "end";
constexpr char kMode[] = "mode";
constexpr char kChecks[] = "checks";
constexpr char kCommandLine[] = "command_line";
constexpr char kSetupExitCode[] = "setup_exit_code";
constexpr char kCompletionCode[] = "completion_code";
constexpr char kExitCode[] = "exit_code";
constexpr char kReboot[] = "reboot";
constexpr char kResult[] = "result";
constexpr char kFirstError[] = "first_error";
constexpr char kError[] = "error";
// The members of "error", in order.
constexpr char kErrorStep[] = "step";
constexpr char kErrorCode[] = "code";
constexpr char kErrorWindowsError[] = "windows_error";
constexpr char kErrorReason[] = "reason";

// Which kind of Windows error "code" is: a Win32 error (GetLastError, LSTATUS),
// an HRESULT (COM, WMI) or an NTSTATUS (BCrypt, the native API).
enum class ErrorKind { kWin32, kHresult, kNtstatus };
constexpr const char* kErrorKindNames[] = {"win32", "hresult", "ntstatus"};

// Step words of "error.step". Before the driver: the package could not be
// read. The driver's steps in the order they run, then the launcher's, the
// inventory, the restart, and a process that ended on its own.
constexpr char kStepPackage[] = "package";
constexpr char kStepLog[] = "log";
constexpr char kStepPrepare[] = "prepare";
constexpr char kStepChecks[] = "checks";
constexpr char kStepExtractionDirectory[] = "extraction_directory";
constexpr char kStepEnterTarget[] = "enter_target";
constexpr char kStepDiskSpace[] = "disk_space";
constexpr char kStepExtract[] = "extract";
constexpr char kStepConfigurationFile[] = "configuration_file";
constexpr char kStepCommandLine[] = "command_line";
constexpr char kStepLaunch[] = "launch";
constexpr char kStepWait[] = "wait";
constexpr char kStepExitCode[] = "exit_code";
constexpr char kStepSetupProgram[] = "setup_program";
constexpr char kStepInventory[] = "inventory";
constexpr char kStepRestart[] = "restart";
constexpr char kStepCrash[] = "crash";

// Reasons of the package step: why the stub found no package to run.
constexpr char kReasonNoPackage[] = "no_package";
constexpr char kReasonArchiveUnreadable[] = "archive_unreadable";  // followed by ": <the archive's reason>"
constexpr char kReasonSignatureInvalid[] = "signature_invalid";
constexpr char kReasonPathUnreadable[] = "executable_path_unreadable";

// The checks an install runs before it extracts, as keys of "checks", in the
// order they run.
enum class Check { kWmiService, kVirtualGuest, kTpm, kDiskSpace };
constexpr size_t kCheckCount = 4;
constexpr const char* kCheckNames[kCheckCount] = {"wmi_service", "virtual_guest", "tpm", "disk_space"};

// A check's outcome. skipped: the run stopped (or only extracted) before it.
// warning: it logged a caution and let the run go on.
enum class Outcome { kSkipped, kPassed, kFailed, kWarning };
constexpr const char* kOutcomeNames[] = {"skipped", "passed", "failed", "warning"};

// How the stub ran: /extract:, /silent, /noprompt, or the setup dialog.
enum class Mode { kExtract, kSilent, kNoPrompt, kDialog };
constexpr const char* kModeNames[] = {"extract", "silent", "noprompt", "dialog"};

// not_needed: completion code other than 2. pending: 2, and the stub leaves
// the restart to its caller (no /reboot, or the user said no). initiated: the
// stub started the restart.
enum class Reboot { kNotNeeded, kPending, kInitiated };
constexpr const char* kRebootNames[] = {"not_needed", "pending", "initiated"};

// Result words: brx::CompletionCodeName of the completion code ("failed",
// "installed", "installed_restart_needed", "not_attempted", "unknown"), and
// for a /extract: run that succeeded this one.
constexpr char kResultExtracted[] = "extracted";

// The Windows Application event of a run (source "brxstub"), one id per
// result: an extraction counts as installed, an unknown completion code as
// failed. Its insertion strings are the field values in the order above, as
// text: empty for null, checks as "wmi_service=passed virtual_guest=...".
constexpr uint32_t kEventInstalled = 1000;
constexpr uint32_t kEventRestartNeeded = 1001;
constexpr uint32_t kEventFailed = 1002;
constexpr uint32_t kEventNotAttempted = 1003;

}  // namespace record
}  // namespace brx

#endif  // BRX_LOG_SESSION_RECORD_FIELDS_H_
