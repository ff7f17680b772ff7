// brxlog: turns a brxsetup.log (or the session records of brxsetup.jsonl)
// into JSON Lines, one object per session, for log shippers and SIEMs.
//
//   brxlog [--since YYYY-MM-DD[THH:MM[:SS]]] [--last N] [--day-first] [--text-log] FILE
//
// The log is read in the ANSI code page (natively: Windows-1252). Exit codes: 0 done, 1 the file cannot be read or holds no session,
// 2 wrong usage.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include <string>

#include "brxlog/brxlog_tool.h"

namespace {

int Usage() {
  fprintf(stderr, "usage: brxlog [--since YYYY-MM-DD[THH:MM[:SS]]] [--last N] [--day-first] [--text-log] FILE\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  brxlog::ToolOptions options;
  std::string path;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--since" && i + 1 < argc) {
      if (!brxlog::ParseSince(argv[++i], &options.since)) {
        fprintf(stderr, "brxlog: --since wants YYYY-MM-DD or YYYY-MM-DDTHH:MM[:SS], not \"%s\"\n", argv[i]);
        return 2;
      }
    } else if (a == "--last" && i + 1 < argc) {
      char* end = nullptr;
      unsigned long n = strtoul(argv[++i], &end, 10);
      if (!*argv[i] || *end || argv[i][0] == '-') return Usage();
      options.last = n;
      options.has_last = true;
    } else if (a == "--text-log") {
      options.text_log_only = true;
    } else if (a == "--day-first") {
      options.order = brxlog::DateOrder::kDayFirst;
    } else if (a.empty() || a[0] == '-' || !path.empty()) {
      return Usage();
    } else {
      path = a;
    }
  }
  if (path.empty()) return Usage();
#ifdef _WIN32
  _setmode(_fileno(stdout), _O_BINARY);  // JSON Lines end with a bare line feed
#endif
  std::string error, note;
  bool written = true;
  int code = brxlog::ConvertFile(
      path, options,
      [&](const std::string& line) { written = fwrite(line.data(), 1, line.size(), stdout) == line.size() && written; },
      &error, &note);
  if (!note.empty()) fprintf(stderr, "brxlog: %s\n", note.c_str());
  if (code != 0) {
    fprintf(stderr, "brxlog: %s\n", error.c_str());
    return code;
  }
  return fflush(stdout) == 0 && written ? 0 : 1;
}
