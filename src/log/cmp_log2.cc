#include "log/cmp_log2.h"

#include <string>

#include "log/session_record.h"
#include "platform/codepage.h"
#include "platform/environment.h"
#include "platform/trusted_folder.h"

namespace {

const wchar_t kLogDirectory[] = L"%systemdrive%\\brxsystem\\log\\";
const wchar_t kMainLogName[] = L"brxsetup.log";
const wchar_t kDefaultVerboseName[] = L"brxsetup.verbose.log";

const wchar_t* LevelPrefix(int level) {
  switch (level) {
    case LEVEL_WARNING: return L"**WARNING** - ";
    case LEVEL_ERROR: return L"**ERROR** - ";
    case LEVEL_CRITICAL: return L"**CRITICAL** - ";
    default: return L"";
  }
}

// Last component of a path given as the source module ("..\\install\\extract"
// shows as "extract").
const wchar_t* ModuleName(const wchar_t* module) {
  if (!module) return L"";
  const wchar_t* name = module;
  for (const wchar_t* p = module; *p; ++p) {
    if (*p == L'\\' || *p == L'/') name = p + 1;
  }
  return name;
}

// One entry is one write: prefix or tag and the message travel together, so
// another process appending at the same moment cannot land between them.
void WriteEntry(brx::platform::AppendFile& file, const std::wstring& head, const std::wstring& message) {
  std::string bytes = brx::platform::WideToAnsi(head + message);
  if (bytes.empty()) return;
  file.Append(bytes.data(), bytes.size());
}

}  // namespace

CCmpLog2::CCmpLog2() { Init(kLogDirectory); }

CCmpLog2::CCmpLog2(const wchar_t* directory_template) { Init(directory_template); }

void CCmpLog2::Init(const wchar_t* directory_template) {
  // A directory that does not fit is left empty rather than cut: a cut path
  // would put the log somewhere nobody looks. Open then reports the failure.
  if (!log_directory_.Assign(brx::platform::ExpandEnvVars(directory_template).c_str())) return;
  main_log_path_.AssignCut(log_directory_.get());
  if (!main_log_path_.Append(kMainLogName)) main_log_path_.Clear();

  std::wstring inherited;
  if (brx::platform::GetEnvVar(CMPLOG2_VERBOSE_FILENAME, &inherited)) {
    verbose_log_path_.AssignCut(inherited.c_str());
    verbose_enabled_ = 1;
  } else {
    verbose_log_path_.AssignCut(log_directory_.get());
    if (!verbose_log_path_.Append(kDefaultVerboseName)) verbose_log_path_.Clear();
  }
}

CCmpLog2::~CCmpLog2() { Close(); }

int CCmpLog2::SetVerboseFileName(const wchar_t* name) {
  verbose_enabled_ = 1;
  std::wstring path = std::wstring(log_directory_.get()) + (name ? name : L"");
  verbose_log_path_.AssignCut(path.c_str());
  return brx::platform::SetEnvVar(CMPLOG2_VERBOSE_FILENAME, verbose_log_path_.get()) ? 1 : 0;
}

void CCmpLog2::EnableVerbose() {
  if (!verbose_log_path_.empty()) verbose_enabled_ = 1;
}

int CCmpLog2::IsVerboseEnabled() { return verbose_enabled_; }

// The log's folder is created level by level with a protected access list;
// an existing level that is a link or was planted by someone else counts as
// a log that cannot be opened (brx::platform::EnsureTrustedFolder).
bool CCmpLog2::EnsureFolder() {
  return !log_directory_.empty() &&
         brx::platform::EnsureTrustedFolder(log_directory_.get(), brx::platform::kSystemFolderSddl);
}

unsigned CCmpLog2::Open() {
  if (!EnsureFolder()) return kLogOpenFailed;
  // Without a main log path (the directory did not fit) nothing could be
  // logged; say so instead of reporting an open log.
  if (main_log_path_.empty() || !main_log_.Open(main_log_path_.get())) return kLogOpenFailed;
  if (verbose_enabled_ && !verbose_log_path_.empty()) {
    if (!verbose_log_.Open(verbose_log_path_.get())) return kLogOpenFailed;
  }
  return 0;
}

bool CCmpLog2::AppendRecordLine(const std::string& line) {
  if (line.empty() || !EnsureFolder()) return false;
  brx::BoundedString<kPathCapacity - 1> path;
  if (!path.Assign(log_directory_.get()) || !path.Append(brx::record::kRecordFileName)) return false;
  // One write of the whole line on an append-only handle: a record of
  // another stub finishing at the same moment lands before or after it,
  // never inside. The file has the log's protections (no link, no second
  // hard link).
  brx::platform::AppendFile file;
  return file.Open(path.get()) && file.Append(line.data(), line.size());
}

void CCmpLog2::Close() {
  main_log_.Close();
  verbose_log_.Close();
}

void CCmpLog2::Write(unsigned target, int level, const wchar_t* module, int line,
                     const std::wstring& message) {
  if (target > LOG_BOTH) return;
  if (record_) record_->NoteEntry(target, level, message);
  if (target != LOG_VERBOSE_TAGGED && target != LOG_VERBOSE && main_log_.IsOpen()) {
    WriteEntry(main_log_, LevelPrefix(level), message);
  }
  if (target != LOG_MAIN && verbose_log_.IsOpen()) {
    std::wstring head;
    if (target == LOG_VERBOSE_TAGGED || target == LOG_BOTH_TAGGED) {
      wchar_t time[255];
      if (!GetLogTimeText(time, 255)) time[0] = L'\0';
      head = brx::Format(L"[%s]::%s[%d] ", time, ModuleName(module), line);
    }
    head += LevelPrefix(level);
    WriteEntry(verbose_log_, head, message);
  }
}
