// brxsample_setup: the sample component's setup program.
//
// It installs nothing: it prints the arguments the stub gave it (the
// definition's parameters, then the stub's own arguments translated by the
// package's argument map), which the stub copies into its verbose log, and
// exits with completion code 1 (installed).
#include <windows.h>

#include <stdio.h>

int wmain(int argc, wchar_t** argv) {
  for (int i = 1; i < argc; ++i) wprintf(L"brxsample_setup: argument %d: %ls\n", i, argv[i]);
  return 1;
}
