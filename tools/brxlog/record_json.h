// A line of brxsetup.jsonl (the stub's session record, fields in
// log/session_record_fields.h) as brxlog's output object: the fields brxlog
// gives every session, taken from the record, followed by the record's own.
#ifndef BRX_TOOLS_BRXLOG_RECORD_JSON_H_
#define BRX_TOOLS_BRXLOG_RECORD_JSON_H_

#include <string>

namespace brxlog {

// False when the line is no session record (not JSON, nested deeper than
// kMaxRecordDepth, not an object, no schema or session id, or another kind
// of record: a "record" member). *start: the record's start as local time
// "YYYY-MM-DDTHH:MM:SS", for --since; *source and *end (optional): the stub's
// file name and the end in the same form, empty when the record has none.
bool RecordJson(const std::string& line, std::string* json, std::string* start, std::string* source = nullptr,
                std::string* end = nullptr);

// A record nests two levels; a line nesting deeper than this is refused
// unread, so a hostile line cannot exhaust the reader's stack.
constexpr int kMaxRecordDepth = 32;

// True when no bracket of `text` outside its strings opens deeper than
// max_depth. Counts without recursion.
bool NestingWithin(const std::string& text, int max_depth);

}  // namespace brxlog

#endif  // BRX_TOOLS_BRXLOG_RECORD_JSON_H_
