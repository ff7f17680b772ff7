#include "brxlog/brxlog_tool.h"

#include <string.h>

#include <deque>
#include <vector>

#include "brxlog/record_json.h"
#include "platform/codepage.h"
#include "platform/file.h"
#include "platform/utf8.h"

namespace brxlog {
namespace {

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

// Lines of a records file, each handed to RecordJson.
class RecordReader {
 public:
  explicit RecordReader(Output& output) : output_(output) {}

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
  const std::string& skipped() const { return skipped_; }

 private:
  void Line() {
    ++line_number_;
    if (!pending_.empty() && pending_.back() == '\r') pending_.pop_back();
    std::string json, start;
    if (!too_long_ && RecordJson(pending_, &json, &start)) {
      ++records_;
      output_.Add(start, std::move(json));
    } else if (too_long_ || !pending_.empty()) {
      // A record cut by a power loss, or text that is none: said, not guessed at.
      if (skipped_.size() < 4096) skipped_ += "line " + std::to_string(line_number_) + " is no session record; ";
    }
    pending_.clear();
    too_long_ = false;
  }

  Output& output_;
  std::string pending_;
  bool too_long_ = false;
  size_t line_number_ = 0;
  size_t records_ = 0;
  std::string skipped_;
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
  // well as its lines allow: when they lie beside the log, they are read.
  std::string beside = options.text_log_only ? std::string() : RecordsBeside(path);
  if (!beside.empty()) {
    brx::platform::File probe;
    std::string unused;
    if (probe.Open(PathArgument(beside).c_str(), brx::platform::FileMode::kReadShared)) {
      probe.Close();
      if (ConvertRecordsFile(beside, options, out, &unused, note) == 0) {
        *note = "read the session records in " + beside + " (--text-log for " + path + "); " + *note;
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
