// The runner's member loop, apart from Windows: a table of members with the
// answers a machine would give, and what the window does with them.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "brxbundle/bundle_window.h"

namespace brxbundle {
namespace {

// One member as the table gives it: its policy, whether it is installed
// already, and the completion code its stub returns (-1: it cannot start).
struct Given {
  bool continue_on_failure;
  bool restart_first;
  bool installed;
  int32_t code;
};

class TableHost : public WindowHost {
 public:
  explicit TableHost(const std::vector<Given>& given) : given_(given) {}
  bool Installed(size_t i) override { return given_[i].installed; }
  MemberRun Run(size_t i) override {
    ran.push_back(i);
    MemberRun r;
    r.started = given_[i].code >= 0;
    r.exit_code = given_[i].code;
    r.session_id = L"S" + std::to_wstring(i);
    return r;
  }
  std::vector<size_t> ran;

 private:
  std::vector<Given> given_;
};

Manifest ManifestOf(const std::vector<Given>& given) {
  Manifest m;
  m.name = "Window";
  m.version = "1.0";
  for (size_t i = 0; i < given.size(); ++i) {
    ManifestMember x;
    x.file = "m" + std::to_string(i) + ".exe";
    x.version = "1.0";
    x.policy.continue_on_failure = given[i].continue_on_failure;
    x.policy.restart_first = given[i].restart_first;
    m.members.push_back(x);
  }
  return m;
}

struct Case {
  const char* what;
  std::vector<Given> given;
  std::vector<size_t> ran;            // members started, in order
  std::vector<std::string> outcomes;  // "outcome/reason"
  int32_t window_code;
  const char* stopped;
};

std::string Describe(const MemberResult& r) {
  return std::string(OutcomeWord(r.outcome)) + (r.reason.empty() ? "" : "/" + r.reason);
}

TEST(BundleWindow, MembersRunInOrderAndTheWindowCodeFollowsTheirs) {
  const Case cases[] = {
      {"all install", {{false, false, false, 1}, {false, false, false, 1}}, {0, 1}, {"installed", "installed"}, 1, ""},
      {"installed member skipped",
       {{false, false, true, 1}, {false, false, false, 1}},
       {1},
       {"skipped/already_installed", "installed"},
       1,
       ""},
      {"everything installed already", {{false, false, true, 1}}, {}, {"skipped/already_installed"}, 3, ""},
      {"failure stops the window",
       {{false, false, false, 1}, {false, false, false, 0}, {false, false, false, 1}},
       {0, 1},
       {"installed", "failed", "not_run/stopped_by_failure"},
       0,
       "failure"},
      {"a later member's :continue does not undo a stop",
       {{false, false, false, 0}, {true, false, false, 0}, {false, false, false, 1}},
       {0},
       {"failed", "not_run/stopped_by_failure", "not_run/stopped_by_failure"},
       0,
       "failure"},
      {"continue member's failure does not stop",
       {{true, false, false, 0}, {false, false, false, 1}},
       {0, 1},
       {"failed", "installed"},
       0,
       ""},
      {"restart deferred to the end",
       {{false, false, false, 2}, {false, false, false, 1}},
       {0, 1},
       {"installed_restart_needed", "installed"},
       2,
       ""},
      {"restart-first ends the window",
       {{false, false, false, 1}, {false, true, false, 2}, {false, false, false, 1}},
       {0, 1},
       {"installed", "installed_restart_needed", "not_run/restart_first"},
       2,
       "restart_first"},
      {"restart-first that installs without restart goes on",
       {{false, true, false, 1}, {false, false, false, 1}},
       {0, 1},
       {"installed", "installed"},
       1,
       ""},
      {"the re-run after restart-first completes",
       {{false, false, true, 1}, {false, true, true, 2}, {false, false, false, 1}},
       {2},
       {"skipped/already_installed", "skipped/already_installed", "installed"},
       1,
       ""},
      {"not attempted only", {{false, false, false, 3}}, {0}, {"not_attempted"}, 3, ""},
      {"unknown code is a failure", {{false, false, false, 5}}, {0}, {"failed/unknown_code"}, 0, "failure"},
      {"member that cannot start", {{true, false, false, -1}}, {0}, {"failed/not_started"}, 0, ""},
  };
  for (const Case& c : cases) {
    TableHost host(c.given);
    Manifest manifest = ManifestOf(c.given);
    WindowResult w = RunWindow(manifest, std::vector<bool>(c.given.size(), true), host);
    EXPECT_EQ(host.ran, c.ran) << c.what;
    std::vector<std::string> outcomes;
    for (const MemberResult& r : w.members) outcomes.push_back(Describe(r));
    EXPECT_EQ(outcomes, c.outcomes) << c.what;
    EXPECT_EQ(w.completion_code, c.window_code) << c.what;
    EXPECT_EQ(w.stopped, c.stopped) << c.what;
    EXPECT_EQ(w.restart_due, c.window_code == 2) << c.what;
  }
}

TEST(BundleWindow, AChangedMemberStopsTheWindowBeforeAnythingRuns) {
  std::vector<Given> given = {{false, false, false, 1}, {true, false, false, 1}, {false, false, false, 1}};
  TableHost host(given);
  WindowResult w = RunWindow(ManifestOf(given), {true, true, false}, host);
  EXPECT_TRUE(host.ran.empty());
  EXPECT_EQ(w.completion_code, 0);
  EXPECT_EQ(w.stopped, "changed_after_bundling");
  EXPECT_EQ(Describe(w.members[0]), "not_run/stopped_by_change");
  EXPECT_EQ(Describe(w.members[2]), "failed/changed_after_bundling");
}

TEST(BundleWindow, RecordNamesEveryMembersOutcomeInOrder) {
  std::vector<Given> given = {{false, false, true, 1}, {false, true, false, 2}, {false, false, false, 1}};
  TableHost host(given);
  Manifest manifest = ManifestOf(given);
  manifest.members[0].name = "Line\nbreak \"quoted\"";
  WindowResult w = RunWindow(manifest, {true, true, true}, host);
  BundleRecordFacts facts;
  facts.session_id = L"{B}";
  facts.start = L"2026-12-09T10:00:00+00:00";
  facts.end = L"2026-12-09T10:05:00+00:00";
  std::string line = BundleRecordLine(manifest, w, facts);
  ASSERT_EQ(line.back(), '\n');
  EXPECT_EQ(line.find('\n'), line.size() - 1) << "one line";
  nlohmann::json r = nlohmann::json::parse(line);
  EXPECT_EQ(r["record"], "bundle");
  EXPECT_EQ(r["session_id"], "{B}");
  EXPECT_EQ(r["completion_code"], 2);
  EXPECT_EQ(r["reboot"], "pending");
  EXPECT_EQ(r["result"], "installed_restart_needed");
  EXPECT_EQ(r["stopped"], "restart_first");
  ASSERT_EQ(r["members"].size(), 3u);
  EXPECT_EQ(r["members"][0]["name"], "Line\nbreak \"quoted\"");
  EXPECT_EQ(r["members"][0]["outcome"], "skipped");
  EXPECT_TRUE(r["members"][0]["session_id"].is_null());
  EXPECT_TRUE(r["members"][0]["completion_code"].is_null());
  EXPECT_EQ(r["members"][1]["outcome"], "installed_restart_needed");
  EXPECT_EQ(r["members"][1]["session_id"], "S1");
  EXPECT_EQ(r["members"][1]["completion_code"], 2);
  EXPECT_EQ(r["members"][2]["reason"], "restart_first");
  EXPECT_EQ(BundleEventId(w.completion_code), 1021u);
  std::vector<std::wstring> strings = BundleEventStrings(manifest, w, L"{B}");
  ASSERT_EQ(strings.size(), 5u);
  EXPECT_EQ(strings[4], L"m0.exe=skipped m1.exe=installed_restart_needed m2.exe=not_run");
}

}  // namespace
}  // namespace brxbundle
