// What brxlog does between its arguments and its output, for tests and for
// the tool alike.
#ifndef BRX_TOOLS_BRXLOG_BRXLOG_TOOL_H_
#define BRX_TOOLS_BRXLOG_BRXLOG_TOOL_H_

#include <stddef.h>

#include <string>

#include "brxlog/log_sessions.h"
#include "brxlog/session_json.h"

namespace brxlog {

struct ToolOptions {
  std::string since;  // IsoStart form; empty for every session
  bool has_last = false;
  size_t last = 0;
  DateOrder order = DateOrder::kMonthFirst;
};

// The sessions of the log bytes that pass the filters, one JSON line each.
// False when the bytes hold no session header: they are not a component log.
bool ConvertLog(const std::string& bytes, const ToolOptions& options, std::string* json_lines);

// The same for a file, read shared so running stubs can go on appending.
// Returns 0, or 1 with *error saying why (cannot be read, not a log).
int ConvertLogFile(const std::string& path, const ToolOptions& options, std::string* json_lines,
                   std::string* error);

}  // namespace brxlog

#endif  // BRX_TOOLS_BRXLOG_BRXLOG_TOOL_H_
