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

const char kUsage[] = "usage: brxlog [--since YYYY-MM-DD[THH:MM[:SS]]] [--last N] [--day-first] [--text-log] FILE\n";

const char kHelp[] =
    "\n"
    "Turns the stub's logs into JSON Lines on standard output, one object per install session, for\n"
    "log shippers and SIEMs. FILE is a brxsetup.log or the session records brxsetup.jsonl; given\n"
    "the log, the records beside it are read when they exist (standard error says so).\n"
    "\n"
    "  --since DATE[THH:MM[:SS]]  only sessions that started then or later\n"
    "  --last N                  only the last N sessions\n"
    "  --day-first               read dates such as 8/12/2026 as 8 December (text log)\n"
    "  --text-log                read the text log even when records exist beside it\n"
    "  --help                    this text\n"
    "\n"
    "Exit status: 0 done, 1 the file cannot be read or holds no session, 2 wrong usage.\n";

int Usage() {
  fputs(kUsage, stderr);
  fputs("(brxlog --help explains the options)\n", stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  brxlog::ToolOptions options;
  std::string path;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      fputs(kUsage, stdout);
      fputs(kHelp, stdout);
      return 0;
    }
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
