#include "base/command_line.h"

namespace brx {
namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

// The program name: up to the first blank outside quotes, quotes removed,
// backslashes taken literally.
const wchar_t* ReadProgramPath(const wchar_t* p, std::wstring* out) {
  bool quoted = false;
  for (; *p; ++p) {
    if (*p == L'"') {
      quoted = !quoted;
      continue;
    }
    if (!quoted && IsBlank(*p)) break;
    out->push_back(*p);
  }
  return p;
}

const wchar_t* ReadArgument(const wchar_t* p, std::wstring* out) {
  bool quoted = false;
  while (*p) {
    if (!quoted && IsBlank(*p)) break;
    if (*p == L'\\') {
      size_t backslashes = 0;
      while (*p == L'\\') {
        ++backslashes;
        ++p;
      }
      if (*p == L'"') {
        out->append(backslashes / 2, L'\\');
        if (backslashes % 2 == 1) {
          out->push_back(L'"');
          ++p;
        }
      } else {
        out->append(backslashes, L'\\');
      }
      continue;
    }
    if (*p == L'"') {
      if (quoted && p[1] == L'"') {
        out->push_back(L'"');
        p += 2;
        continue;
      }
      quoted = !quoted;
      ++p;
      continue;
    }
    out->push_back(*p);
    ++p;
  }
  return p;
}

}  // namespace

std::vector<std::wstring> SplitCommandLine(const wchar_t* command_line, FirstArgument first) {
  std::vector<std::wstring> args;
  if (!command_line) return args;
  const wchar_t* p = command_line;
  if (first == FirstArgument::kProgramPath) {
    std::wstring program;
    p = ReadProgramPath(p, &program);
    args.push_back(program);
  }
  for (;;) {
    while (IsBlank(*p)) ++p;
    if (!*p) break;
    std::wstring arg;
    p = ReadArgument(p, &arg);
    args.push_back(arg);
  }
  return args;
}

}  // namespace brx
