// The component log: the machine-wide main log "brxsetup.log" that every stub
// run appends its sessions to, and an optional verbose companion whose
// entries carry time, source module and line.
//
// Both files are opened shared for reading and writing and every entry is
// appended at the end of the file as it is at that moment, so several stubs
// (or a setup program handed the verbose path through the environment) can
// write to the same files without overwriting each other. Nothing is
// buffered: an entry is on disk as soon as Write returns.
//
// Writes while a file is closed are dropped without error.
#ifndef BRX_LOG_CMP_LOG2_H_
#define BRX_LOG_CMP_LOG2_H_

#include <stddef.h>

#include <string>

#include "base/bounded_string.h"
#include "base/format.h"
#include "platform/append_file.h"
#include "platform/held_directory.h"

enum LogTarget {
  LOG_MAIN = 0,            // main log: prefix + message
  LOG_VERBOSE_TAGGED = 1,  // verbose log: tag + message
  LOG_VERBOSE = 2,         // verbose log: prefix + message
  LOG_BOTH_TAGGED = 3,     // main log: prefix + message; verbose log: tag + message
  LOG_BOTH = 4,            // both logs: prefix + message
};

enum LogLevel {
  LEVEL_INFO = 0,
  LEVEL_WARNING = 1,
  LEVEL_ERROR = 2,
  LEVEL_CRITICAL = 3,
};

// Result of CCmpLog2::Open when a log file cannot be opened.
constexpr unsigned kLogOpenFailed = 103;

// Name of the environment variable that hands the verbose log's full path to
// child processes (and to this process when it was started with it).
#define CMPLOG2_VERBOSE_FILENAME L"CMPLOG2_VERBOSE_FILENAME"

// The product's log folder, "%systemdrive%\brxsystem\log\" (the shipped
// stub's, whatever the environment says).
extern const wchar_t kProductLogDirectory[];

namespace brx {
struct SessionRecord;
}

class CCmpLog2 {
 public:
  static constexpr size_t kPathCapacity = 260;

  // The product's log: "%systemdrive%\brxsystem\log\". Opens nothing.
  CCmpLog2();
  // The same with another directory (environment variables are expanded);
  // tests use it to log into a scratch folder.
  explicit CCmpLog2(const wchar_t* directory_template);

  CCmpLog2(const CCmpLog2&) = delete;
  CCmpLog2& operator=(const CCmpLog2&) = delete;

  virtual ~CCmpLog2();

  // Verbose log := log directory + name (cut at 259 characters), verbose on,
  // and the path is put into CMPLOG2_VERBOSE_FILENAME of this process so the
  // setup program inherits it. Non-zero when the variable was set.
  virtual int SetVerboseFileName(const wchar_t* name);
  // Verbose on when a verbose path is known.
  virtual void EnableVerbose();
  virtual int IsVerboseEnabled();
  // Opens and holds the log directory level by level (missing levels
  // created with a protected access list) and opens the main log in it,
  // then the verbose log when enabled. 0, or kLogOpenFailed, also when a
  // level of the directory or a log file is a link or a level was planted by
  // someone else.
  virtual unsigned Open();
  // Closes what is open, and lets go of the log's folder; safe to repeat.
  virtual void Close();
  // Opens (creating) another file of the log's folder for appending, the
  // way the logs are opened: relative to the folder held while the log is
  // open, never through a link or a file with another hard link. False when
  // the log is not open or the file cannot be opened.
  bool OpenInLogFolder(const wchar_t* name, brx::platform::AppendFile* file);
  // Writes an already formatted message to the files the target selects,
  // each preceded by the level prefix or (tagged targets, verbose log) the tag
  // "[time]::module[line] ". module may be a path (only its last component is
  // shown) or null. An empty message still writes its prefix. The message is
  // written as it stands: it is for the product's own texts, never for one
  // that holds a value.
  virtual void Write(unsigned target, int level, const wchar_t* module, int line,
                     const std::wstring& message);

  // Formats with brx::FormatEscaped (wide printf conventions) and writes the
  // result. Every argument, path or package text is a value: its control
  // characters are written escaped ("\r", "\n", "\x1B"), so a value is always
  // one fragment of the line its format string makes and cannot forge a line
  // such as a session footer. Only the format string's own line ends break
  // lines. A subclass that overrides Write needs `using CCmpLog2::Write;` to
  // keep it.
  template <typename... Args>
  void Write(unsigned target, int level, const wchar_t* module, int line, const wchar_t* fmt,
             const Args&... args) {
    Write(target, level, module, line, brx::FormatEscaped(fmt, args...));
  }

  // The run's session record: shown every entry from now on (also while no
  // file is open), and reachable by the steps that add facts to it. Null
  // detaches; the log does not own it.
  void AttachRecord(brx::SessionRecord* record) { record_ = record; }
  brx::SessionRecord* record() const { return record_; }
  // Appends one finished record line to brxsetup.jsonl in the log's folder,
  // in one write, after the same checks of the folder as Open. False when
  // the folder or the file cannot be used or the write failed.
  bool AppendRecordLine(const std::string& line);

  const wchar_t* log_directory() const { return log_directory_.get(); }
  const wchar_t* main_log_path() const { return main_log_path_.get(); }
  const wchar_t* verbose_log_path() const { return verbose_log_path_.get(); }

 private:
  void Init(const wchar_t* directory_template);
  // Says once in the verbose log that a file's lock was given up on.
  void NoteUnlockedWrites();

  int verbose_enabled_ = 0;
  bool lock_noted_ = false;
  brx::BoundedString<kPathCapacity - 1> log_directory_;
  // Held from Open to Close, so it cannot be renamed or swapped meanwhile.
  brx::platform::HeldDirectory log_folder_;
  brx::platform::AppendFile main_log_;
  brx::BoundedString<kPathCapacity - 1> main_log_path_;
  brx::platform::AppendFile verbose_log_;
  brx::BoundedString<kPathCapacity - 1> verbose_log_path_;
  brx::SessionRecord* record_ = nullptr;
};

// Writes the session header: source file name, file version and date.
void WriteSessionHeader(CCmpLog2& log);
// Writes the session footer with the time and the completion code.
void WriteSessionFooter(CCmpLog2& log, int completion_code);

// The texts below fill buffer (terminated) and answer false when it is too
// small; the log passes 255 characters for date and time, 260 for the name.
//
// Local date in the system's short date format, a blank, then the time.
bool GetLogDateText(wchar_t* buffer, size_t capacity);
// Local time in the system's format with 24 hours forced, no AM/PM, seconds.
bool GetLogTimeText(wchar_t* buffer, size_t capacity);
// File name and extension of the running executable.
bool GetStubFileName(wchar_t* buffer, size_t capacity);
// "%d.%d.%d.%d" from the executable's fixed file version; false (buffer
// untouched) when capacity is 9 or less or there is no version resource.
bool GetStubFileVersion(wchar_t* buffer, size_t capacity);

#endif  // BRX_LOG_CMP_LOG2_H_
