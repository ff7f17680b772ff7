#include "brxbundle/bundle_window.h"

#include <string.h>

#include <nlohmann/json.hpp>

#include "platform/utf8.h"

namespace brxbundle {

using brx::platform::WideToUtf8;

MemberResult ResultOfRun(const MemberRun& run) {
  MemberResult r;
  r.session_id = run.session_id;
  if (!run.started) {
    r.outcome = Outcome::kFailed;
    r.reason = "not_started";
    return r;
  }
  r.ran = true;
  r.completion_code = run.exit_code;
  switch (run.exit_code) {
    case 1: r.outcome = Outcome::kInstalled; break;
    case 2: r.outcome = Outcome::kInstalledRestartNeeded; break;
    case 3: r.outcome = Outcome::kNotAttempted; break;
    case 0: r.outcome = Outcome::kFailed; break;
    default:
      // A setup program's own code passed on unmapped: nothing says it
      // installed, and every deployment tool counts it a failure.
      r.outcome = Outcome::kFailed;
      r.reason = "unknown_code";
      break;
  }
  return r;
}

int32_t WindowCompletionCode(const std::vector<MemberResult>& members) {
  bool failed = false, restart = false, installed = false;
  for (const MemberResult& m : members) {
    failed = failed || m.outcome == Outcome::kFailed;
    restart = restart || m.outcome == Outcome::kInstalledRestartNeeded;
    installed = installed || m.outcome == Outcome::kInstalled || m.outcome == Outcome::kInstalledRestartNeeded;
  }
  return failed ? 0 : restart ? 2 : installed ? 1 : 3;
}

WindowResult RunWindow(const Manifest& manifest, const std::vector<bool>& unchanged, WindowHost& host) {
  WindowResult w;
  const size_t n = manifest.members.size();
  w.members.resize(n);
  // Every member is checked before the first one runs: a window that
  // stopped half-way because a later package was swapped would leave the
  // server between versions, and nothing of a tampered bundle should run.
  bool all_unchanged = unchanged.size() == n;
  for (size_t i = 0; i < unchanged.size(); ++i) all_unchanged = all_unchanged && unchanged[i];
  if (!all_unchanged) {
    for (size_t i = 0; i < n; ++i) {
      bool changed = i >= unchanged.size() || !unchanged[i];
      w.members[i].reason = changed ? "changed_after_bundling" : "stopped_by_change";
      if (changed) w.members[i].outcome = Outcome::kFailed;
    }
    w.stopped = "changed_after_bundling";
    w.completion_code = 0;
    return w;
  }
  for (size_t i = 0; i < n; ++i) {
    MemberResult& r = w.members[i];
    if (!w.stopped.empty()) {
      r.reason = w.stopped == "failure" ? "stopped_by_failure" : "restart_first";
      continue;
    }
    // What an earlier window (or another tool) installed is not redone.
    if (host.Installed(i)) {
      r.outcome = Outcome::kSkipped;
      r.reason = "already_installed";
      continue;
    }
    r = ResultOfRun(host.Run(i));
    const MemberPolicy& policy = manifest.members[i].policy;
    if (r.outcome == Outcome::kFailed && !policy.continue_on_failure) w.stopped = "failure";
    // The member's restart must come before the next member runs: the rest
    // waits for the next run, after the restart.
    if (r.outcome == Outcome::kInstalledRestartNeeded && policy.restart_first && i + 1 < n) {
      w.stopped = "restart_first";
    }
  }
  w.completion_code = WindowCompletionCode(w.members);
  w.restart_due = w.completion_code == 2;
  return w;
}

const char* OutcomeWord(Outcome outcome) {
  switch (outcome) {
    case Outcome::kInstalled: return "installed";
    case Outcome::kInstalledRestartNeeded: return "installed_restart_needed";
    case Outcome::kNotAttempted: return "not_attempted";
    case Outcome::kFailed: return "failed";
    case Outcome::kSkipped: return "skipped";
    case Outcome::kNotRun: return "not_run";
  }
  return "failed";
}

namespace {

const char* ResultWord(int32_t code) {
  switch (code) {
    case 1: return "installed";
    case 2: return "installed_restart_needed";
    case 3: return "not_attempted";
    default: return "failed";
  }
}

nlohmann::ordered_json TextOrNull(const std::string& text) {
  return text.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(text);
}

}  // namespace

std::string BundleRecordLine(const Manifest& manifest, const WindowResult& result,
                             const BundleRecordFacts& facts) {
  using nlohmann::ordered_json;
  ordered_json doc;
  doc["record"] = "bundle";
  doc["schema"] = 1;
  doc["session_id"] = WideToUtf8(facts.session_id);
  doc["bundle_name"] = TextOrNull(manifest.name);
  doc["bundle_version"] = TextOrNull(manifest.version);
  doc["start"] = WideToUtf8(facts.start);
  doc["end"] = WideToUtf8(facts.end);
  doc["completion_code"] = result.completion_code;
  doc["reboot"] = result.restart_due ? "pending" : "not_needed";
  doc["result"] = ResultWord(result.completion_code);
  doc["stopped"] = TextOrNull(result.stopped);
  doc["error"] = TextOrNull(facts.error);
  ordered_json members = ordered_json::array();
  for (size_t i = 0; i < manifest.members.size() && i < result.members.size(); ++i) {
    const ManifestMember& m = manifest.members[i];
    const MemberResult& r = result.members[i];
    ordered_json one;
    one["file"] = m.file;
    one["name"] = TextOrNull(m.name);
    one["version"] = m.version;
    one["sw_key"] = m.sw_key;
    one["continue_on_failure"] = m.policy.continue_on_failure;
    one["restart_first"] = m.policy.restart_first;
    one["outcome"] = OutcomeWord(r.outcome);
    one["session_id"] = TextOrNull(WideToUtf8(r.session_id));
    one["completion_code"] = r.ran ? ordered_json(r.completion_code) : ordered_json(nullptr);
    one["reason"] = TextOrNull(r.reason);
    members.push_back(std::move(one));
  }
  doc["members"] = std::move(members);
  return doc.dump(-1, ' ', false, ordered_json::error_handler_t::replace) + "\n";
}

uint32_t BundleEventId(int32_t completion_code) {
  switch (completion_code) {
    case 1: return 1020;
    case 2: return 1021;
    case 3: return 1023;
    default: return 1022;
  }
}

std::vector<std::wstring> BundleEventStrings(const Manifest& manifest, const WindowResult& result,
                                             const std::wstring& session_id) {
  std::wstring name, version, members;
  brx::platform::Utf8ToWide(manifest.name.data(), manifest.name.size(), &name);
  brx::platform::Utf8ToWide(manifest.version.data(), manifest.version.size(), &version);
  for (size_t i = 0; i < manifest.members.size() && i < result.members.size(); ++i) {
    std::wstring file;
    brx::platform::Utf8ToWide(manifest.members[i].file.data(), manifest.members[i].file.size(), &file);
    const char* word = OutcomeWord(result.members[i].outcome);
    members += (i ? L" " : L"") + file + L"=" + std::wstring(word, word + strlen(word));
  }
  return {session_id, name, version, std::to_wstring(result.completion_code), members};
}

}  // namespace brxbundle
