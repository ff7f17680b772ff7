#include "run_watched.h"

#include <tlhelp32.h>

#include <cstdio>
#include <vector>

#include "screenshot.h"
#include "support/scratch_dir.h"

namespace brxe2e {

namespace {

struct Handle {
  HANDLE h = nullptr;
  Handle() = default;
  explicit Handle(HANDLE handle) : h(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
  ~Handle() {
    if (h) CloseHandle(h);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
};

// Children before parents, so no survivor starts new processes. Backs up the job
// object for processes that left it.
void KillTree(DWORD root) {
  Handle snap(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snap.h) return;
  std::vector<std::pair<DWORD, DWORD>> all;  // id, parent
  PROCESSENTRY32W entry;
  entry.dwSize = sizeof(entry);
  for (BOOL ok = Process32FirstW(snap.h, &entry); ok; ok = Process32NextW(snap.h, &entry)) {
    all.emplace_back(entry.th32ProcessID, entry.th32ParentProcessID);
  }
  std::vector<DWORD> tree{root};
  for (size_t i = 0; i < tree.size() && tree.size() < 256; ++i) {
    for (const auto& p : all) {
      if (p.second == tree[i] && p.first != root) tree.push_back(p.first);
    }
  }
  for (size_t i = tree.size(); i-- > 0;) {
    Handle process(OpenProcess(PROCESS_TERMINATE, FALSE, tree[i]));
    if (process.h) TerminateProcess(process.h, 0xDEAD);
  }
}

std::wstring Timestamped(const std::wstring& stem) {
  static LONG counter = 0;
  return stem + std::to_wstring(GetCurrentProcessId()) + L"-" +
         std::to_wstring(InterlockedIncrement(&counter)) + L"-" + std::to_wstring(GetTickCount());
}

}  // namespace

std::wstring BinDir() {
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring dir(path, n);
  size_t slash = dir.find_last_of(L"\\/");
  return slash == std::wstring::npos ? L"." : dir.substr(0, slash);
}

std::wstring BinPath(const std::wstring& name) { return BinDir() + L"\\" + name; }

ScratchDir::ScratchDir() {
  wchar_t temp[MAX_PATH + 1];
  DWORD n = GetTempPathW(MAX_PATH + 1, temp);
  path_ = Timestamped(std::wstring(temp, n) + L"brxe2e-");
  CreateDirectoryW(path_.c_str(), nullptr);
}

ScratchDir::~ScratchDir() {
  if (!GetEnvironmentVariableW(L"BRX_E2E_KEEP", nullptr, 0)) brxtest::RemoveDir(path_);
}

std::wstring CopyProgram(const ScratchDir& dir, const std::wstring& program,
                         const std::wstring& new_name) {
  std::wstring target = dir.File(new_name);
  if (!CopyFileW(BinPath(program).c_str(), target.c_str(), FALSE)) return std::wstring();
  return target;
}

std::wstring MakePackage(const ScratchDir& dir, const std::wstring& name, const std::string& appended,
                         const std::wstring& stub) {
  std::wstring target = CopyProgram(dir, stub, name);
  if (target.empty() || appended.empty()) return target;
  Handle file(CreateFileW(target.c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  if (!file.h || !WriteFile(file.h, appended.data(), static_cast<DWORD>(appended.size()), &written,
                            nullptr) ||
      written != appended.size()) {
    return std::wstring();
  }
  return target;
}

std::wstring QuoteArgument(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
  std::wstring out = L"\"";
  size_t backslashes = 0;
  for (wchar_t ch : arg) {
    if (ch == L'\\') {
      ++backslashes;
      continue;
    }
    // Backslashes double only where a quote follows them.
    out.append(ch == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    out += ch;
  }
  out.append(backslashes * 2, L'\\');
  return out + L"\"";
}

namespace {

std::wstring CommandLine(const RunOptions& options) {
  std::wstring line;
  if (!options.launcher.empty()) line = QuoteArgument(options.launcher) + L" ";
  line += QuoteArgument(options.program);
  for (const std::wstring& arg : options.args) line += L" " + QuoteArgument(arg);
  return line;
}

}  // namespace

RunResult RunWatched(const RunOptions& options) {
  RunResult result;
  std::wstring line = CommandLine(options);
  result.command = line;

  // Kill-on-close: whatever the run started dies with the job, even when this
  // test process itself is killed.
  Handle job(CreateJobObjectW(nullptr, nullptr));
  if (job.h) {
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(job.h, JobObjectExtendedLimitInformation, &limits, sizeof(limits));
  }

  STARTUPINFOW si = {};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi = {};
  std::vector<wchar_t> buffer(line.begin(), line.end());
  buffer.push_back(L'\0');
  DWORD start = GetTickCount();
  // Wine on a loaded machine now and then fails to create a process at all
  // (ERROR_INTERNAL_ERROR, nothing started): a fault of the host, asked again.
  BOOL created = FALSE;
  for (int attempt = 0; attempt < 3 && !created; ++attempt) {
    if (attempt) Sleep(250);
    created = CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                             options.work_dir.empty() ? nullptr : options.work_dir.c_str(), &si, &pi);
    if (!created && GetLastError() != ERROR_INTERNAL_ERROR) break;
  }
  if (!created) {
    result.error = L"cannot start " + line + L" (error " + std::to_wstring(GetLastError()) + L")";
    return result;
  }
  result.started = true;
  Handle process(pi.hProcess), thread(pi.hThread);
  if (job.h) AssignProcessToJobObject(job.h, process.h);
  ResumeThread(thread.h);

  brxwatch::WatchOptions watch;
  watch.root_process = pi.dwProcessId;
  watch.rules = options.rules;
  brxwatch::Watcher watcher(watch);
  for (;;) {
    watcher.Poll();
    if (WaitForSingleObject(process.h, 15) == WAIT_OBJECT_0) break;
    if (GetTickCount() - start >= options.time_limit_ms) {
      result.timed_out = true;
      std::wstring shots = BinDir() + L"\\..\\e2e-failures";
      CreateDirectoryW(shots.c_str(), nullptr);
      result.screenshot = Timestamped(shots + L"\\timeout-") + L".bmp";
      if (!brxwatch::SaveScreenshot(result.screenshot)) result.screenshot.clear();
      if (job.h) TerminateJobObject(job.h, 0xDEAD);
      KillTree(pi.dwProcessId);
      WaitForSingleObject(process.h, 5000);
      break;
    }
  }
  result.elapsed_ms = GetTickCount() - start;
  GetExitCodeProcess(process.h, &result.exit_code);
  result.dialogs = watcher.records();
  // One line per run in the test output: where the time of a slow test goes.
  printf("[run] %lu ms, %s, %u dialog(s): %s\n", static_cast<unsigned long>(result.elapsed_ms),
         result.timed_out ? "killed at the time limit"
                          : ("exit " + std::to_string(result.exit_code)).c_str(),
         static_cast<unsigned>(result.dialogs.size()), brxwatch::ToUtf8(line).c_str());
  fflush(stdout);
  return result;
}

std::string RunResult::Describe() const {
  std::wstring out = L"run: " + command + L"\n";
  if (!started) {
    out += error + L"\n";
  } else {
    out += timed_out ? std::wstring(L"killed at the time limit, ")
                     : L"exit code " + std::to_wstring(exit_code) + L", ";
    out += std::to_wstring(elapsed_ms) + L" ms, " + std::to_wstring(dialogs.size()) + L" dialog(s)\n";
    if (!screenshot.empty()) out += L"screenshot: " + screenshot + L"\n";
  }
  for (const brxwatch::DialogRecord& d : dialogs) out += brxwatch::FormatRecord(d);
  return brxwatch::ToUtf8(out);
}

}  // namespace brxe2e
