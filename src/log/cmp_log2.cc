#include "log/cmp_log2.h"

#include <wchar.h>

#include <string>

#include "log/session_record.h"
#include "platform/codepage.h"
#include "platform/environment.h"
#include "platform/trusted_folder.h"

const wchar_t kProductLogDirectory[] = L"%systemdrive%\\brxsystem\\log\\";

namespace {

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

CCmpLog2::CCmpLog2() { Init(kProductLogDirectory); }

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

unsigned CCmpLog2::Open() {
  // The log's folder is opened level by level, missing levels created with
  // a protected access list, and held until Close; an existing level that is
  // a link, or that someone other than an administrator owns or may change,
  // counts as a log that cannot be opened and leaves an Application event
  // (brx::platform::HoldTrustedFolder).
  if (log_directory_.empty() ||
      !brx::platform::HoldTrustedFolder(log_directory_.get(), brx::platform::kLogFolderSddl,
                                        brx::platform::FolderUse::kPrivateLog, &log_folder_)
           .ok()) {
    return kLogOpenFailed;
  }
  // Without a main log path (the directory did not fit) nothing could be
  // logged; say so instead of reporting an open log.
  if (main_log_path_.empty() || !OpenInLogFolder(kMainLogName, &main_log_)) return kLogOpenFailed;
  if (verbose_enabled_ && !verbose_log_path_.empty()) {
    // In the log's folder (the /verbose_log name) through the held folder;
    // a path handed over in the environment by name.
    const wchar_t* path = verbose_log_path_.get();
    size_t folder = wcslen(log_directory_.get());
    const wchar_t* name = path + folder;
    bool in_folder = wcsncmp(path, log_directory_.get(), folder) == 0 && !wcspbrk(name, L"\\/");
    if (!(in_folder ? OpenInLogFolder(name, &verbose_log_) : verbose_log_.Open(path))) return kLogOpenFailed;
  }
  return 0;
}

bool CCmpLog2::AppendRecordLine(const std::string& line) {
  if (line.empty() || log_directory_.empty()) return false;
  // The record goes into the held log folder; after Close (or when the log
  // was never opened) the folder is held again, with the same checks, only
  // for this write.
  brx::platform::HeldDirectory held;
  const brx::platform::HeldDirectory* folder = &log_folder_;
  if (!log_folder_.valid()) {
    if (!brx::platform::HoldTrustedFolder(log_directory_.get(), brx::platform::kLogFolderSddl,
                                          brx::platform::FolderUse::kPrivateLog, &held)
             .ok()) {
      return false;
    }
    folder = &held;
  }
  // One write of the whole line on an append-only handle: a record of
  // another stub finishing at the same moment lands before or after it,
  // never inside; after a record cut by a power loss it starts a line of its
  // own. The file has the log's protections (no link, no second hard link).
  brx::platform::AppendFile file;
  return folder->OpenAppendFile(brx::record::kRecordFileName, &file) == brx::platform::HoldResult::kOk &&
         file.AppendLine(line.data(), line.size());
}

bool CCmpLog2::OpenInLogFolder(const wchar_t* name, brx::platform::AppendFile* file) {
  return log_folder_.valid() && log_folder_.OpenAppendFile(name, file) == brx::platform::HoldResult::kOk;
}

void CCmpLog2::Close() {
  lock_noted_ = false;
  main_log_.Close();
  verbose_log_.Close();
  log_folder_.Close();
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
  NoteUnlockedWrites();
}

void CCmpLog2::NoteUnlockedWrites() {
  if (lock_noted_) return;
  const wchar_t* path = main_log_.lock_given_up()      ? main_log_path_.get()
                        : verbose_log_.lock_given_up() ? verbose_log_path_.get()
                                                       : nullptr;
  if (!path) return;
  // Once per session, or every line would repeat it.
  lock_noted_ = true;
  Write(LOG_VERBOSE_TAGGED, LEVEL_WARNING, L"misc", 120,
        L"Another process held the lock of the log [%s] for more than %u seconds; lines are written without "
        L"waiting for it.\r\n\r\n",
        path, brx::platform::LockWait::kBudgetMs / 1000);
}
