// kelagent.exe: stands in for the deployment agent whose child the stub may be.
// Runs its own command line (everything after the program name) as a child
// process, waits for it and exits with the child's exit code; 255 when the child
// cannot be started. The stub only looks at this program's file name.
#include <windows.h>

#include <cstdio>

namespace {

// The command line after the program name, quoted or not, and the blanks after it.
const wchar_t* ArgumentsOf(const wchar_t* line) {
  if (*line == L'"') {
    ++line;
    while (*line && *line != L'"') ++line;
    if (*line) ++line;
  } else {
    while (*line && *line != L' ' && *line != L'\t') ++line;
  }
  while (*line == L' ' || *line == L'\t') ++line;
  return line;
}

}  // namespace

int wmain() {
  const wchar_t* args = ArgumentsOf(GetCommandLineW());
  if (!*args) {
    fputs("usage: kelagent PROGRAM [ARGS...]\n", stderr);
    return 255;
  }
  // CreateProcessW may write into the command line buffer.
  size_t n = wcslen(args) + 1;
  wchar_t* line = new wchar_t[n];
  wcscpy(line, args);
  STARTUPINFOW si = {};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi = {};
  BOOL started = CreateProcessW(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
  delete[] line;
  if (!started) {
    fprintf(stderr, "kelagent: cannot start the child (error %lu)\n", GetLastError());
    return 255;
  }
  CloseHandle(pi.hThread);
  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = 255;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hProcess);
  return static_cast<int>(code);
}
