/* A chatty setup program: writes MEGABYTES (default 48) MB of log lines to its
 * standard output, one WriteFile per line as a program that flushes each line
 * does, and exits 0.
 *   chatty.exe [MEGABYTES] */
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

int main(int argc, char** argv) {
  long megabytes = argc > 1 ? atol(argv[1]) : 48;
  long long left = (long long)megabytes * 1000 * 1000;
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  char line[128];
  for (long n = 0; left > 0; ++n) {
    int length = snprintf(line, sizeof line, "setup: step %08ld copying component file part %08ld of the payload ...\r\n", n, n);
    if (length > left) length = (int)left;
    DWORD written = 0;
    if (!WriteFile(out, line, (DWORD)length, &written, NULL) || written != (DWORD)length) return 1;
    left -= length;
  }
  return 0;
}
