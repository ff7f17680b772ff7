#include "brxlog/brxlog_tool.h"

#include <string.h>

#include <algorithm>
#include <deque>
#include <map>
#include <utility>
#include <vector>

#include "base/terminal_text.h"
#include "brxlog/record_json.h"
#include "platform/codepage.h"
#include "platform/file.h"
#include "platform/utf8.h"

namespace brxlog {
namespace {

// Text-log sessions without a record held for the merge at most: a log that
// long before any record is read with --text-log.
constexpr size_t kMaxTextOnlySessions = 100000;

// A record line longer than this is no record the stub wrote (its records
// are at most 64 KiB); it is skipped without being held.
constexpr size_t kMaxRecordLineBytes = 128 * 1024;

// Applies --since and --last to the sessions as they come: only the last N
// lines are ever held.
class Output {
 public:
  Output(const ToolOptions& options, const LineSink& sink) : options_(options), sink_(sink) {}

  void Add(const std::string& start, std::string json) {
    // A session whose date cannot be read cannot be shown to be recent enough.
    if (!options_.since.empty() && start < options_.since) return;
    // Log text is the servers' and the packages': what a JSON writer leaves
    // as it is (C1 controls, line separators, bidirectional controls) could
    // still drive the terminal brxlog is read in, so it is escaped.
    json = brx::TerminalJson(json);
    json += "\n";
    if (!options_.has_last) {
      sink_(json);
      return;
    }
    if (options_.last == 0) return;
    held_.push_back(std::move(json));
    if (held_.size() > options_.last) held_.pop_front();
  }
  void Finish() {
    for (const std::string& line : held_) sink_(line);
    held_.clear();
  }

 private:
  const ToolOptions& options_;
  const LineSink& sink_;
  std::deque<std::string> held_;
};

// A record as RecordJson reads it: its start, its brxlog object, and the
// run's stub file and end for matching text-log sessions.
struct ReadRecord {
  std::string start, json, source, end;
};
using RecordSink = std::function<void(ReadRecord&)>;

// Lines of a records file, each handed to RecordJson.
class RecordReader {
 public:
  explicit RecordReader(RecordSink sink) : sink_(std::move(sink)) {}
  explicit RecordReader(Output& output)
      : sink_([&output](ReadRecord& r) { output.Add(r.start, std::move(r.json)); }) {}

  void AddBytes(const char* data, size_t length) {
    while (length > 0) {
      const char* end = static_cast<const char*>(memchr(data, '\n', length));
      size_t piece = end ? static_cast<size_t>(end - data) : length;
      if (!too_long_ && pending_.size() + piece <= kMaxRecordLineBytes) {
        pending_.append(data, piece);
      } else {
        too_long_ = true;
        pending_.clear();
      }
      if (!end) return;
      Line();
      data = end + 1;
      length -= piece + 1;
    }
  }
  void Finish() {
    if (!pending_.empty() || too_long_) Line();
  }
  size_t records() const { return records_; }
  // "N lines are no session record (lines 2, 4): skipped"; empty when none.
  std::string skipped() const {
    if (skipped_count_ == 0) return std::string();
    return std::to_string(skipped_count_) + (skipped_count_ == 1 ? " line is" : " lines are") +
           " no session record (line" + (skipped_count_ == 1 ? " " : "s ") + skipped_lines_ +
           (skipped_count_ > kNamedLines ? ", ..." : "") + "): skipped";
  }

 private:
  void Line() {
    ++line_number_;
    if (!pending_.empty() && pending_.back() == '\r') pending_.pop_back();
    ReadRecord r;
    if (!too_long_ && RecordJson(pending_, &r.json, &r.start, &r.source, &r.end)) {
      ++records_;
      sink_(r);
    } else if (too_long_ || !pending_.empty()) {
      // A record cut by a power loss, another writer's line, or text that is
      // none: counted and said, never guessed at, never fatal.
      if (++skipped_count_ <= kNamedLines) {
        skipped_lines_ += (skipped_lines_.empty() ? "" : ", ") + std::to_string(line_number_);
      }
    }
    pending_.clear();
    too_long_ = false;
  }

  static constexpr size_t kNamedLines = 10;
  RecordSink sink_;
  std::string pending_;
  bool too_long_ = false;
  size_t line_number_ = 0;
  size_t records_ = 0;
  size_t skipped_count_ = 0;
  std::string skipped_lines_;
};

std::wstring PathArgument(const std::string& path) {
#ifdef _WIN32
  return brx::platform::AnsiToWide(path);
#else
  return brx::platform::WideFromNative(path.c_str());
#endif
}

bool EndsWithNoCase(const std::string& text, const char* suffix) {
  size_t n = strlen(suffix);
  if (text.size() < n) return false;
  for (size_t i = 0; i < n; ++i) {
    char a = text[text.size() - n + i];
    if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
    if (a != suffix[i]) return false;
  }
  return true;
}

// Reads the whole file through `feed` in pieces; false with *error set when
// it cannot be opened or read.
template <typename Feed>
bool ReadFile(const std::string& path, Feed feed, std::string* error) {
  brx::platform::File file;
  if (!file.Open(PathArgument(path).c_str(), brx::platform::FileMode::kReadShared)) {
    *error = "cannot open " + path + " (error " + std::to_string(file.last_error()) + ")";
    return false;
  }
  std::vector<char> buffer(64 * 1024);
  for (;;) {
    uint32_t read = 0;
    if (!file.Read(buffer.data(), static_cast<uint32_t>(buffer.size()), &read)) {
      *error = "cannot read " + path + " (error " + std::to_string(file.last_error()) + ")";
      return false;
    }
    if (read == 0) return true;
    feed(buffer.data(), read);
  }
}

void Render(const Session& s, const ToolOptions& options, Output& output) {
  output.Add(IsoStart(s.log_date, options.order), SessionJson(s, options.order));
}

// A records file; 0 with at least one record, else 1.
int ConvertRecordsFile(const std::string& path, const ToolOptions& options, const LineSink& out,
                       std::string* error, std::string* note) {
  Output output(options, out);
  RecordReader reader(output);
  if (!ReadFile(path, [&](const char* data, size_t n) { reader.AddBytes(data, n); }, error)) return 1;
  reader.Finish();
  if (reader.records() == 0) {
    *error = path + " holds no session record";
    return 1;
  }
  output.Finish();
  if (!reader.skipped().empty()) *note += path + ": " + reader.skipped();
  return 0;
}

// The runs the records account for, by stub file, for matching the text
// log's sessions to them.
class RecordSpans {
 public:
  void Add(const ReadRecord& r) {
    if (r.start.empty()) return;
    spans_[r.source].push_back({r.start, r.end.empty() ? r.start : r.end, false});
  }
  void Sort() {
    for (auto& source : spans_) {
      std::sort(source.second.begin(), source.second.end(),
                [](const Span& a, const Span& b) { return a.start < b.start; });
    }
  }
  // Takes the record of the run whose header the text log wrote at `time`:
  // one of `source` whose start and end enclose it (the header is written
  // after the run began and before it ended), not taken before, the one
  // ending first. False when there is none.
  bool Take(const std::string& source, const std::string& time) {
    auto found = spans_.find(source);
    if (found == spans_.end() || time.empty()) return false;
    std::vector<Span>& spans = found->second;
    auto after = std::upper_bound(spans.begin(), spans.end(), time,
                                  [](const std::string& t, const Span& s) { return t < s.start; });
    Span* best = nullptr;
    // Runs of one package seldom overlap: a few steps back reach every
    // record that can enclose the time.
    size_t looked = 0;
    for (auto it = after; it != spans.begin() && looked < 256; ++looked) {
      --it;
      if (!it->taken && time <= it->end && (!best || it->end < best->end)) best = &*it;
    }
    if (!best) return false;
    best->taken = true;
    return true;
  }

 private:
  struct Span {
    std::string start, end;
    bool taken;
  };
  std::map<std::string, std::vector<Span>> spans_;
};

// A log with records beside it: the records, and among them, in the order
// of their starts, the text log's sessions that no record accounts for (a
// run killed, or cut off by a power loss, writes its header and never its
// record): reported from the text, never dropped. 0, or 1 when the records
// file holds no record.
int ConvertLogWithRecords(const std::string& log_path, const std::string& records_path, const ToolOptions& options,
                          const LineSink& out, std::string* error, std::string* note) {
  RecordSpans spans;
  RecordReader counter([&spans](ReadRecord& r) { spans.Add(r); });
  if (!ReadFile(records_path, [&](const char* data, size_t n) { counter.AddBytes(data, n); }, error)) return 1;
  counter.Finish();
  if (counter.records() == 0) {
    *error = records_path + " holds no session record";
    return 1;
  }
  spans.Sort();

  // A date like 8/12/2026 reads two ways; the record's own time decides.
  std::vector<std::pair<std::string, std::string>> text_only;
  size_t not_held = 0;
  LogReader text([&](const Session& s) {
    std::string source = brx::platform::WideToUtf8(s.source);
    std::string month_first = IsoStart(s.log_date, DateOrder::kMonthFirst);
    std::string day_first = IsoStart(s.log_date, DateOrder::kDayFirst);
    if (spans.Take(source, month_first) || (day_first != month_first && spans.Take(source, day_first))) return;
    Session shown = s;
    // A date that cannot be read cannot be matched: the run may have a record.
    if (month_first.empty() && day_first.empty()) shown.status = SessionStatus::kAmbiguous;
    if (text_only.size() < kMaxTextOnlySessions) {
      text_only.emplace_back(IsoStart(s.log_date, options.order), SessionJson(shown, options.order, "text_log"));
    } else {
      ++not_held;
    }
  });
  std::string text_error;
  bool text_read = ReadFile(log_path, [&](const char* data, size_t n) { text.AddBytes(data, n); }, &text_error);
  if (text_read) text.Finish();
  std::stable_sort(text_only.begin(), text_only.end(),
                   [](const std::pair<std::string, std::string>& a, const std::pair<std::string, std::string>& b) {
                     return a.first < b.first;
                   });

  Output output(options, out);
  size_t next = 0, seen = 0;
  // Records appended since the first reading belong to runs whose text was
  // read while they ran: they are left for the next reading, not told twice.
  RecordReader records([&](ReadRecord& r) {
    if (++seen > counter.records()) return;
    while (next < text_only.size() && !r.start.empty() && text_only[next].first < r.start) {
      output.Add(text_only[next].first, std::move(text_only[next].second));
      ++next;
    }
    output.Add(r.start, std::move(r.json));
  });
  if (!ReadFile(records_path, [&](const char* data, size_t n) { records.AddBytes(data, n); }, error)) return 1;
  records.Finish();
  for (; next < text_only.size(); ++next) output.Add(text_only[next].first, std::move(text_only[next].second));
  output.Finish();
  *note = "read the session records in " + records_path + " and the runs of " + log_path + " that left none (" +
          std::to_string(text_only.size()) + "; --text-log for the text log alone)";
  if (not_held > 0) *note += "; " + std::to_string(not_held) + " more such runs not shown: read with --text-log";
  if (!text_read) *note += "; " + text_error;
  if (!records.skipped().empty()) *note += "; " + records_path + ": " + records.skipped();
  return 0;
}

}  // namespace

bool ConvertLog(const std::string& bytes, const ToolOptions& options, std::string* json_lines) {
  json_lines->clear();
  LineSink sink = [&](const std::string& line) { *json_lines += line; };
  Output output(options, sink);
  LogReader reader([&](const Session& s) { Render(s, options, output); });
  reader.AddBytes(bytes.data(), bytes.size());
  reader.Finish();
  output.Finish();
  return reader.saw_header();
}

bool ConvertRecords(const std::string& bytes, const ToolOptions& options, std::string* json_lines,
                    std::string* skipped) {
  json_lines->clear();
  LineSink sink = [&](const std::string& line) { *json_lines += line; };
  Output output(options, sink);
  RecordReader reader(output);
  reader.AddBytes(bytes.data(), bytes.size());
  reader.Finish();
  output.Finish();
  *skipped = reader.skipped();
  return reader.records() > 0;
}

std::string RecordsBeside(const std::string& log_path) {
  if (!EndsWithNoCase(log_path, ".log")) return std::string();
  return log_path.substr(0, log_path.size() - 4) + ".jsonl";
}

int ConvertFile(const std::string& path, const ToolOptions& options, const LineSink& out, std::string* error,
                std::string* note) {
  if (EndsWithNoCase(path, ".jsonl")) return ConvertRecordsFile(path, options, out, error, note);

  // The stub's records are exact where the text log can only be read as
  // well as its lines allow: when they lie beside the log, they are read,
  // with the runs that left only text.
  std::string beside = options.text_log_only ? std::string() : RecordsBeside(path);
  if (!beside.empty()) {
    brx::platform::File probe;
    std::string unused;
    if (probe.Open(PathArgument(beside).c_str(), brx::platform::FileMode::kReadShared)) {
      probe.Close();
      std::string merged_note;
      if (ConvertLogWithRecords(path, beside, options, out, &unused, &merged_note) == 0) {
        *note = merged_note;
        return 0;
      }
    }
  }

  Output output(options, out);
  LogReader reader([&](const Session& s) { Render(s, options, output); });
  if (!ReadFile(path, [&](const char* data, size_t n) { reader.AddBytes(data, n); }, error)) return 1;
  reader.Finish();
  if (!reader.saw_header()) {
    *error = path + " is not a component log: it holds no log session header";
    return 1;
  }
  output.Finish();
  return 0;
}

int ConvertLogFile(const std::string& path, const ToolOptions& options, std::string* json_lines,
                   std::string* error) {
  json_lines->clear();
  std::string note;
  return ConvertFile(path, options, [&](const std::string& line) { *json_lines += line; }, error, &note);
}

}  // namespace brxlog
