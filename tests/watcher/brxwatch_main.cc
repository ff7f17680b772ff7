// brxwatch: records and answers the dialogs of a Wine prefix from the shell side.
//   brxwatch [/pid:N] [/log:FILE] [/rule:CAPTION=ID]... [/seconds:N] [/count:N] [/shots:DIR]
// /pid limits it to process N and its descendants and ends it when N exits;
// ID is a control id to press or "open" to leave the dialog alone.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "record.h"
#include "screenshot.h"
#include "watcher.h"

namespace {

void Usage() {
  fputs("usage: brxwatch [/pid:N] [/log:FILE] [/rule:CAPTION=ID|open]... [/seconds:N] [/count:N]"
        " [/shots:DIR]\n", stderr);
}

bool StartsWith(const std::wstring& s, const wchar_t* prefix, std::wstring* rest) {
  size_t n = wcslen(prefix);
  if (_wcsnicmp(s.c_str(), prefix, n) != 0) return false;
  *rest = s.substr(n);
  return true;
}

bool ParseNumber(const std::wstring& s, unsigned long* out) {
  if (s.empty()) return false;
  wchar_t* end = nullptr;
  *out = wcstoul(s.c_str(), &end, 10);
  return *end == L'\0';
}

struct Handle {
  HANDLE h = nullptr;
  ~Handle() {
    if (h) CloseHandle(h);
  }
};

void Emit(HANDLE log, const brxwatch::DialogRecord& record) {
  std::string text = brxwatch::ToUtf8(brxwatch::FormatRecord(record));
  DWORD written = 0;
  if (log) {
    WriteFile(log, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  } else {
    fwrite(text.data(), 1, text.size(), stdout);
    fflush(stdout);
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  brxwatch::WatchOptions options;
  std::wstring log_path, shots_dir;
  unsigned long seconds = 60, count = 0;
  for (int i = 1; i < argc; ++i) {
    std::wstring arg = argv[i], value;
    unsigned long number = 0;
    if (StartsWith(arg, L"/pid:", &value) && ParseNumber(value, &number)) {
      options.root_process = number;
    } else if (StartsWith(arg, L"/log:", &value) && !value.empty()) {
      log_path = value;
    } else if (StartsWith(arg, L"/seconds:", &value) && ParseNumber(value, &seconds)) {
    } else if (StartsWith(arg, L"/count:", &value) && ParseNumber(value, &count)) {
    } else if (StartsWith(arg, L"/shots:", &value) && !value.empty()) {
      shots_dir = value;
    } else if (StartsWith(arg, L"/rule:", &value) && value.rfind(L'=') != std::wstring::npos) {
      size_t eq = value.rfind(L'=');
      brxwatch::Rule rule;
      rule.caption = value.substr(0, eq);
      std::wstring id = value.substr(eq + 1);
      if (id == L"open") {
        rule.press = brxwatch::kLeaveOpen;
      } else if (ParseNumber(id, &number)) {
        rule.press = static_cast<int>(number);
      } else {
        Usage();
        return 2;
      }
      options.rules.push_back(rule);
    } else {
      Usage();
      return 2;
    }
  }

  Handle log;
  if (!log_path.empty()) {
    log.h = CreateFileW(log_path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log.h == INVALID_HANDLE_VALUE) {
      log.h = nullptr;
      fprintf(stderr, "brxwatch: cannot open the log file (error %lu)\n", GetLastError());
      return 2;
    }
  }
  Handle target;
  if (options.root_process != 0) {
    target.h = OpenProcess(SYNCHRONIZE, FALSE, options.root_process);
    if (!target.h) {
      fprintf(stderr, "brxwatch: no process %lu\n", options.root_process);
      return 2;
    }
  }
  int shot = 0;
  if (!shots_dir.empty()) {
    options.on_record = [&](const brxwatch::DialogRecord&) {
      brxwatch::SaveScreenshot(shots_dir + L"\\dialog-" + std::to_wstring(++shot) + L".bmp");
    };
  }

  brxwatch::Watcher watcher(options);
  DWORD start = GetTickCount();
  size_t emitted = 0;
  for (;;) {
    watcher.Poll();
    for (; emitted < watcher.records().size(); ++emitted) Emit(log.h, watcher.records()[emitted]);
    if (count != 0 && emitted >= count) break;
    if (GetTickCount() - start >= seconds * 1000) break;
    if (target.h && WaitForSingleObject(target.h, 20) == WAIT_OBJECT_0) break;
    if (!target.h) Sleep(20);
  }
  return 0;
}
