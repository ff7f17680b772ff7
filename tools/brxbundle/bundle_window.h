// The runner's decisions, apart from Windows: which member of a window runs,
// which is skipped, what a completion code means for the rest of the window,
// the window's own completion code, and the bundle record and event that say
// what happened to each member. The Windows shell (runner_win.cc) only
// answers the questions WindowHost asks.
#ifndef BRX_TOOLS_BRXBUNDLE_BUNDLE_WINDOW_H_
#define BRX_TOOLS_BRXBUNDLE_BUNDLE_WINDOW_H_

#include <stdint.h>

#include <string>
#include <vector>

#include "brxbundle/bundle_manifest.h"

namespace brxbundle {

enum class Outcome {
  kInstalled,               // completion code 1
  kInstalledRestartNeeded,  // 2: the restart waits for the end of the window
  kNotAttempted,            // 3
  kFailed,                  // 0, any other code, or the member could not be started
  kSkipped,                 // installed at its version or a later one before the window
  kNotRun,                  // the window ended before it
};

struct MemberResult {
  Outcome outcome = Outcome::kNotRun;
  bool ran = false;
  int32_t completion_code = 0;  // when ran
  std::wstring session_id;      // the member stub's record's; empty when unknown
  // Why it was skipped, not run or failed without a code of its own:
  // already_installed, stopped_by_failure, restart_first, changed_after_bundling,
  // not_started, unknown_code; empty otherwise.
  std::string reason;
};

// What the runner learns about a member from the machine.
struct MemberRun {
  bool started = false;
  int32_t exit_code = 0;    // the member stub's completion code
  std::wstring session_id;  // its record's, when found
};

class WindowHost {
 public:
  virtual ~WindowHost() = default;
  // The member is installed at its version or a later one.
  virtual bool Installed(size_t member) = 0;
  // Runs the member's stub silently and waits for it.
  virtual MemberRun Run(size_t member) = 0;
};

struct WindowResult {
  std::vector<MemberResult> members;
  int32_t completion_code = 3;
  bool restart_due = false;
  // Why members were left: "failure", "restart_first", "changed_after_bundling"; empty when none was.
  std::string stopped;
};

// The whole window. unchanged[i]: member i's bytes match the manifest; a
// single mismatch stops the window before any member runs.
WindowResult RunWindow(const Manifest& manifest, const std::vector<bool>& unchanged, WindowHost& host);

// The result of a member that ran, from its completion code.
MemberResult ResultOfRun(const MemberRun& run);

// 0 when a member failed, else 2 when a restart is due, else 1 when a
// member installed, else 3.
int32_t WindowCompletionCode(const std::vector<MemberResult>& members);

// "installed", "skipped", ...
const char* OutcomeWord(Outcome outcome);

// The bundle's line of brxsetup.jsonl (ending in "\n"): "record": "bundle",
// the window's facts and each member in order.
struct BundleRecordFacts {
  std::wstring session_id;
  std::wstring start, end;
  std::string error;  // the window could not start (no manifest); empty otherwise
};
std::string BundleRecordLine(const Manifest& manifest, const WindowResult& result,
                             const BundleRecordFacts& facts);

// The Application event of the window (source brxstub): 1020 installed,
// 1021 restart needed, 1022 failed, 1023 not attempted.
uint32_t BundleEventId(int32_t completion_code);
// Its strings: session id, bundle name, version, completion code, and one
// "file=outcome" per member.
std::vector<std::wstring> BundleEventStrings(const Manifest& manifest, const WindowResult& result,
                                             const std::wstring& session_id);

}  // namespace brxbundle

#endif  // BRX_TOOLS_BRXBUNDLE_BUNDLE_WINDOW_H_
