#include "brxlog/brxlog_tool.h"

#include <string.h>

#include <vector>

#include "platform/codepage.h"
#include "platform/file.h"

namespace brxlog {
namespace {

std::string Render(const LogReader& reader, const ToolOptions& options) {
  std::vector<const Session*> picked;
  for (const Session& s : reader.sessions()) {
    // A session whose date cannot be read cannot be shown to be recent enough.
    if (!options.since.empty() && IsoStart(s.log_date, options.order) < options.since) continue;
    picked.push_back(&s);
  }
  size_t first = options.has_last && options.last < picked.size() ? picked.size() - options.last : 0;
  std::string out;
  for (size_t i = first; i < picked.size(); ++i) out += SessionJson(*picked[i], options.order) + "\n";
  return out;
}

// Ends the reading; false when no session header came: not a component log.
bool Emit(LogReader& reader, const ToolOptions& options, std::string* json_lines) {
  reader.Finish();
  if (!reader.saw_header()) return false;
  *json_lines = Render(reader, options);
  return true;
}

std::wstring PathArgument(const std::string& path) {
#ifdef _WIN32
  return brx::platform::AnsiToWide(path);
#else
  return brx::platform::WideFromNative(path.c_str());
#endif
}

}  // namespace

bool ConvertLog(const std::string& bytes, const ToolOptions& options, std::string* json_lines) {
  LogReader reader;
  reader.AddBytes(bytes.data(), bytes.size());
  return Emit(reader, options, json_lines);
}

int ConvertLogFile(const std::string& path, const ToolOptions& options, std::string* json_lines,
                   std::string* error) {
  brx::platform::File file;
  if (!file.Open(PathArgument(path).c_str(), brx::platform::FileMode::kReadShared)) {
    *error = "cannot open " + path + " (error " + std::to_string(file.last_error()) + ")";
    return 1;
  }
  LogReader reader;
  std::vector<char> buffer(64 * 1024);
  for (;;) {
    uint32_t read = 0;
    if (!file.Read(buffer.data(), static_cast<uint32_t>(buffer.size()), &read)) {
      *error = "cannot read " + path + " (error " + std::to_string(file.last_error()) + ")";
      return 1;
    }
    if (read == 0) break;
    reader.AddBytes(buffer.data(), read);
  }
  if (!Emit(reader, options, json_lines)) {
    *error = path + " is not a component log: it holds no log session header";
    return 1;
  }
  return 0;
}

}  // namespace brxlog
