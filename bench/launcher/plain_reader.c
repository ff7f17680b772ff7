/* The plain reader: starts COMMAND LINE with its standard output and error on
 * one pipe and reads the pipe in a blocking loop until the program closes it,
 * the fastest a reader can be. Exits with the program's exit code.
 *   plain_reader.exe PROGRAM [ARGS] */
#include <windows.h>

int main(void) {
  /* The command line after this program's own name. */
  const wchar_t* line = GetCommandLineW();
  int quoted = 0;
  while (*line && (quoted || (*line != L' ' && *line != L'\t'))) {
    if (*line == L'"') quoted = !quoted;
    ++line;
  }
  while (*line == L' ' || *line == L'\t') ++line;
  static wchar_t command[32768];
  lstrcpynW(command, line, 32768);

  SECURITY_ATTRIBUTES inherit = {sizeof inherit, NULL, TRUE};
  HANDLE read_end, write_end;
  if (!CreatePipe(&read_end, &write_end, &inherit, 1024 * 1024)) return 2;
  SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup = {sizeof startup};
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = write_end;
  startup.hStdError = write_end;
  PROCESS_INFORMATION info;
  if (!CreateProcessW(NULL, command, NULL, NULL, TRUE, CREATE_NO_WINDOW, NULL, NULL, &startup, &info)) return 3;
  CloseHandle(write_end);
  static char buffer[65536];
  DWORD got;
  unsigned long long total = 0;
  while (ReadFile(read_end, buffer, sizeof buffer, &got, NULL) && got > 0) total += got;
  WaitForSingleObject(info.hProcess, INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(info.hProcess, &code);
  return (int)code;
}
