// Two processes append log sessions to the same main and verbose log at
// once; afterwards every entry of both must be there, whole and in its own
// order. Started without arguments it runs two copies of itself with
// "--child DIR LETTER" and checks the files; exit code 0 means pass.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <filesystem>
#include <map>
#include <regex>
#include <string>

#include "log/cmp_log2.h"
#include "support/scratch_dir.h"
#include "support/test_files.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace {

void Sleep1ms() {
#ifdef _WIN32
  Sleep(1);
#else
  usleep(1000);
#endif
}

const int kSessions = 150;
const int kLinesPerSession = 25;

// Lengths vary up to a few kilobytes so that writes span many blocks.
size_t PayloadLength(int seq) { return static_cast<size_t>((seq * 397) % 4000); }

int Child(const char* dir, char letter) {
  std::wstring wdir(dir, dir + strlen(dir));
  wdir += static_cast<wchar_t>(std::filesystem::path::preferred_separator);
  CCmpLog2 log(wdir.c_str());
  log.SetVerboseFileName(L"v.log");
  if (log.Open() != 0) return 2;
  // Start together: wait for the parent's "go" file, so the writes overlap.
  std::filesystem::path go = std::filesystem::path(dir) / "go";
  for (int i = 0; i < 60000 && !std::filesystem::exists(go); ++i) Sleep1ms();
  int seq = 0;
  for (int s = 0; s < kSessions; ++s) {
    WriteSessionHeader(log);
    for (int i = 0; i < kLinesPerSession; ++i, ++seq) {
      std::wstring payload(PayloadLength(seq), L'x');
      const wchar_t who[] = {static_cast<wchar_t>(letter), L'\0'};
      log.Write(LOG_BOTH_TAGGED, LEVEL_INFO, L"two", seq, L"%s:%d:%s\r\n", who, seq, payload);
    }
    WriteSessionFooter(log, 1);
  }
  log.Close();
  return 0;
}

#ifdef _WIN32
bool RunChildren(const std::string& dir, const std::wstring& go) {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  PROCESS_INFORMATION pi[2];
  for (int i = 0; i < 2; ++i) {
    std::wstring cmd = L"\"" + std::wstring(self) + L"\" --child \"" +
                       std::wstring(dir.begin(), dir.end()) + L"\" " + (i ? L"B" : L"A");
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    if (!CreateProcessW(self, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi[i]))
      return false;
  }
  brxtest::WriteFile(go, "go");
  bool ok = true;
  for (auto& p : pi) {
    if (WaitForSingleObject(p.hProcess, 120000) != WAIT_OBJECT_0) TerminateProcess(p.hProcess, 1);
    DWORD code = 1;
    GetExitCodeProcess(p.hProcess, &code);
    ok = ok && code == 0;
    CloseHandle(p.hProcess);
    CloseHandle(p.hThread);
  }
  return ok;
}
#else
bool RunChildren(const std::string& dir, const std::wstring& go, const char* self) {
  pid_t pids[2];
  for (int i = 0; i < 2; ++i) {
    const char* argv[] = {self, "--child", dir.c_str(), i ? "B" : "A", nullptr};
    if (posix_spawn(&pids[i], self, nullptr, nullptr, const_cast<char**>(argv), environ) != 0)
      return false;
  }
  brxtest::WriteFile(go, "go");
  bool ok = true;
  for (pid_t pid : pids) {
    int status = 0;
    waitpid(pid, &status, 0);
    ok = ok && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
  return ok;
}
#endif

// Every line is a known header/footer line or an entry "L:seq:xxx"; each
// writer's entries appear complete and in order.
bool Check(const std::string& text, bool tagged, const char* name) {
  static const std::regex entry("([AB]):([0-9]+):(x*)");
  static const std::regex tag("\\[[0-9:]+\\]::two\\[[0-9]+\\] ");
  static const std::regex other(
      "={75}|Source:          .*|Version:         .*|Log Date:        .*|Log Session Start\\.\\.\\."
      "|Log Session End\\. \\[[0-9:]+\\]|Return Code \\(1\\)|");
  std::map<char, int> next = {{'A', 0}, {'B', 0}};
  int starts = 0, ends = 0, switches = 0;
  char last = 0;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t eol = text.find("\r\n", pos);
    if (eol == std::string::npos) {
      fprintf(stderr, "%s: unterminated tail at %zu\n", name, pos);
      return false;
    }
    std::string line = text.substr(pos, eol - pos);
    pos = eol + 2;
    std::smatch m;
    std::string body = line;
    if (tagged && std::regex_search(line, m, tag) && m.position(0) == 0) body = m.suffix();
    if (std::regex_match(body, m, entry)) {
      char who = m[1].str()[0];
      int seq = atoi(m[2].str().c_str());
      if (seq != next[who] || m[3].length() != static_cast<long>(PayloadLength(seq))) {
        fprintf(stderr, "%s: %c expected %d, got %d (length %ld)\n", name, who, next[who], seq,
                static_cast<long>(m[3].length()));
        return false;
      }
      ++next[who];
      if (last && who != last) ++switches;
      last = who;
    } else if (std::regex_match(line, other)) {
      if (line == "Log Session Start...") ++starts;
      if (line.rfind("Log Session End.", 0) == 0) ++ends;
    } else {
      fprintf(stderr, "%s: torn line: %.80s\n", name, line.c_str());
      return false;
    }
  }
  int total = kSessions * kLinesPerSession;
  if (next['A'] != total || next['B'] != total || starts != 2 * kSessions || ends != 2 * kSessions) {
    fprintf(stderr, "%s: A %d B %d starts %d ends %d\n", name, next['A'], next['B'], starts, ends);
    return false;
  }
  printf("%s: %d entries each, writers alternated %d times\n", name, total, switches);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && strcmp(argv[1], "--child") == 0) return Child(argv[2], argv[3][0]);
  // Anything else but no arguments at all is a broken child command line:
  // never let it start children of its own.
  if (argc != 1) {
    fprintf(stderr, "unexpected arguments\n");
    return 3;
  }

  std::wstring scratch = brxtest::ScratchDir("log", "two_writers");
  // No trailing separator: "dir\" would escape the closing quote on Windows.
  std::string dir = brxtest::Narrow(scratch);
  std::wstring go = brxtest::JoinPath(scratch, L"go");
#ifdef _WIN32
  bool ran = RunChildren(dir, go);
#else
  bool ran = RunChildren(dir, go, argv[0]);
#endif
  if (!ran) {
    fprintf(stderr, "children failed\n");
    return 1;
  }
  bool ok = Check(brxtest::FileBytes(brxtest::JoinPath(scratch, L"brxsetup.log")), false, "main") &&
            Check(brxtest::FileBytes(brxtest::JoinPath(scratch, L"v.log")), true, "verbose");
  printf(ok ? "two writers: no entry lost or torn\n" : "two writers: FAILED\n");
  // Some 30 MB of logs: kept only when they show a fault.
  if (ok) brxtest::RemoveDir(scratch);
  return ok ? 0 : 1;
}
