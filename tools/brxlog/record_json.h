// A line of brxsetup.jsonl (the stub's session record, fields in
// log/session_record_fields.h) as brxlog's output object: the fields brxlog
// gives every session, taken from the record, followed by the record's own.
#ifndef BRX_TOOLS_BRXLOG_RECORD_JSON_H_
#define BRX_TOOLS_BRXLOG_RECORD_JSON_H_

#include <string>

namespace brxlog {

// False when the line is no session record (not JSON, not an object, no
// schema or session id). *start: the record's start as local time
// "YYYY-MM-DDTHH:MM:SS", for --since.
bool RecordJson(const std::string& line, std::string* json, std::string* start);

}  // namespace brxlog

#endif  // BRX_TOOLS_BRXLOG_RECORD_JSON_H_
