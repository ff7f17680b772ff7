// What brxlog does between its arguments and its output, for tests and for
// the tool alike.
#ifndef BRX_TOOLS_BRXLOG_BRXLOG_TOOL_H_
#define BRX_TOOLS_BRXLOG_BRXLOG_TOOL_H_

#include <stddef.h>

#include <functional>
#include <string>

#include "brxlog/log_sessions.h"
#include "brxlog/session_json.h"

namespace brxlog {

struct ToolOptions {
  std::string since;  // IsoStart form; empty for every session
  bool has_last = false;
  size_t last = 0;
  DateOrder order = DateOrder::kMonthFirst;
  bool text_log_only = false;  // read brxsetup.log even when session records lie beside it
};

// Takes each output line (with its line feed).
using LineSink = std::function<void(const std::string&)>;

// The sessions of the log bytes that pass the filters, one JSON line each.
// False when the bytes hold no session header: they are not a component log.
bool ConvertLog(const std::string& bytes, const ToolOptions& options, std::string* json_lines);

// The same for session records (brxsetup.jsonl): each record that passes the
// filters, in brxlog's form. Lines that are no record are skipped and named
// in *skipped. False when no line is a record.
bool ConvertRecords(const std::string& bytes, const ToolOptions& options, std::string* json_lines,
                    std::string* skipped);

// The records file read instead of a component log: the log's name with
// ".jsonl" for its ".log" (brxsetup.log: brxsetup.jsonl beside it). Empty
// when the name does not end in ".log".
std::string RecordsBeside(const std::string& log_path);

// The file's sessions: a ".jsonl" file as records; a log as the records
// beside it when they exist and hold a record (the stub's exact account),
// else as a text log. Read shared, so running stubs can go on appending, and
// streamed: memory does not grow with the file. Returns 0, or 1 with *error
// saying why (cannot be read, holds no session). *note says which file was
// read when it is not the one named, and which lines were skipped.
int ConvertFile(const std::string& path, const ToolOptions& options, const LineSink& out, std::string* error,
                std::string* note);

// ConvertFile into a string.
int ConvertLogFile(const std::string& path, const ToolOptions& options, std::string* json_lines,
                   std::string* error);

}  // namespace brxlog

#endif  // BRX_TOOLS_BRXLOG_BRXLOG_TOOL_H_
