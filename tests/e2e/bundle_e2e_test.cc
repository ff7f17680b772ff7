// A maintenance-window bundle run by the real stub under Wine: members
// applied in order by the runner, installed ones skipped, a failure that
// stops the window or not, restarts left to the end or ending the window,
// re-runs that pick up, one bundle record naming every outcome, and a
// member changed after bundling refused before anything runs.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <wctype.h>

#include <sstream>

#include "archive/zip_file.h"
#include "brxpack/bundle_build.h"
#include "install_runs.h"
#include "platform/guid.h"

namespace brxe2e {
namespace {

// Component keys no earlier run of the tests in this prefix has recorded.
std::string Unique() {
  std::wstring guid = brx::platform::NewGuidText();
  std::string out;
  for (wchar_t c : guid) {
    if (iswalnum(c)) out += static_cast<char>(c);
  }
  return out.substr(0, 12);
}

std::string MemberDefinition(const std::string& file, const std::string& key, int code) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<brx_package version=\"2.0.2.0\">\n  <filename>" + file +
         "</filename>\n  <version value=\"1.0.0.0\"/>\n  <name><name_xlate lang=\"en\">Member " + file +
         "</name_xlate></name>\n  <sw_keys><sw_keys_and><sw_key name=\"" + key +
         "\"><sw_key_expectedpath>e2e:" + key +
         "</sw_key_expectedpath></sw_key></sw_keys_and></sw_keys>\n"
         "  <installation><install><command>setup.exe</command><command_params>/exitcode:" +
         std::to_string(code) + "</command_params></install></installation>\n</brx_package>\n";
}

class E2eBundle : public ::testing::Test {
 protected:
  // A member package whose setup program exits with `code`.
  std::string Member(const std::string& file, int code) {
    std::string stem = file.substr(0, file.rfind('.'));
    std::wstring path =
        run_.Package({{stem + ".xml", MemberDefinition(file, "E2EB_" + Unique(), code)},
                      {"setup.exe", ReadBinary(BinPath(L"brxtest_setup.exe"))}},
                     std::wstring(file.begin(), file.end()));
    return Narrow(path);
  }

  std::wstring Bundle(const std::string& name, const std::vector<std::string>& members) {
    brxpack::BundleSpec spec;
    spec.output = Narrow(run_.dir().File(std::wstring(name.begin(), name.end())));
    spec.stub = Narrow(BinPath(L"brxstub.exe"));
    spec.runner = Narrow(BinPath(L"brxbundle.exe"));
    for (const std::string& m : members) {
      brxpack::BundleMemberSpec member;
      std::string error;
      EXPECT_TRUE(brxpack::ParseBundleMember(m, &member, &error)) << error;
      spec.members.push_back(member);
    }
    std::string error;
    EXPECT_TRUE(brxpack::BuildBundle(spec, &error)) << error;
    return std::wstring(spec.output.begin(), spec.output.end());
  }

  // Runs the bundle silently; the records its run appended: the members'
  // (by file name) and the bundle's own.
  DWORD RunBundle(const std::wstring& bundle, std::vector<nlohmann::json>* members, nlohmann::json* record) {
    // The shipped stub and the runner log where a server's do; other tests'
    // runs may append there too, so only this test's members count.
    LogTail tail(MachineLogDirectory() + L"brxsetup.jsonl");
    run_.set_time_limit_ms(240000);
    RunResult r = run_.Start(bundle, {L"/silent"});
    EXPECT_TRUE(r.started && !r.timed_out) << r.Describe();
    members->clear();
    *record = nlohmann::json();
    std::istringstream lines(tail.Appended());
    std::string bundle_file = Narrow(bundle.substr(bundle.rfind(L'\\') + 1));
    for (std::string line; std::getline(lines, line);) {
      nlohmann::json j = nlohmann::json::parse(line, nullptr, false);
      if (!j.is_object()) continue;
      if (j.value("record", "") == "bundle") {
        // Bundles of other tests name other members.
        const nlohmann::json& m = j["members"];
        if (m.is_array() && !m.empty() && m[0].value("file", "").compare(0, prefix_.size() + 1, "m" + prefix_) == 0) {
          *record = j;
        }
        continue;
      }
      std::string file = j.value("stub_file", "");
      if (file.compare(0, prefix_.size() + 1, "m" + prefix_) == 0) members->push_back(j);
    }
    return r.exit_code;
  }

  static std::vector<std::string> Outcomes(const nlohmann::json& record) {
    std::vector<std::string> out;
    for (const nlohmann::json& m : record["members"]) {
      std::string reason = m["reason"].is_string() ? "/" + m["reason"].get<std::string>() : "";
      out.push_back(m["file"].get<std::string>() + "=" + m["outcome"].get<std::string>() + reason);
    }
    return out;
  }

  static std::vector<std::string> Files(const std::vector<nlohmann::json>& records) {
    std::vector<std::string> out;
    for (const nlohmann::json& r : records) out.push_back(r["stub_file"]);
    return out;
  }

  std::string prefix_ = Unique().substr(0, 4);
  StubRun run_{kShippedStub};
};

TEST_F(E2eBundle, InstalledMemberSkippedRestartFirstEndsTheWindowAndReRunsComplete) {
  std::string a = Member("m" + prefix_ + "a.exe", 1);
  std::string b = Member("m" + prefix_ + "b.exe", 2);
  std::string c = Member("m" + prefix_ + "c.exe", 1);
  // The first member is on the server already.
  EXPECT_EQ(run_.Start(std::wstring(a.begin(), a.end()), {L"/silent"}).exit_code, 1u);
  std::wstring bundle = Bundle("window1.exe", {a, b + ":restart-first", c});
  std::string fa = "m" + prefix_ + "a.exe", fb = "m" + prefix_ + "b.exe", fc = "m" + prefix_ + "c.exe";

  std::vector<nlohmann::json> members;
  nlohmann::json record;
  EXPECT_EQ(RunBundle(bundle, &members, &record), 2u);
  EXPECT_EQ(Files(members), std::vector<std::string>({fb}));
  EXPECT_EQ(Outcomes(record), std::vector<std::string>({fa + "=skipped/already_installed",
                                                         fb + "=installed_restart_needed",
                                                         fc + "=not_run/restart_first"}));
  EXPECT_EQ(record["completion_code"], 2);
  EXPECT_EQ(record["stopped"], "restart_first");
  ASSERT_EQ(members.size(), 1u);
  EXPECT_EQ(record["members"][1]["session_id"], members[0]["session_id"]);
  // The member ran silently and never restarted the server itself.
  EXPECT_EQ(members[0]["reboot"], "pending");
  EXPECT_EQ(members[0]["mode"], "silent");

  // After the restart the window picks up where it stopped.
  EXPECT_EQ(RunBundle(bundle, &members, &record), 1u);
  EXPECT_EQ(Files(members), std::vector<std::string>({fc}));
  EXPECT_EQ(Outcomes(record), std::vector<std::string>({fa + "=skipped/already_installed",
                                                         fb + "=skipped/already_installed", fc + "=installed"}));
  // And once everything is there, nothing is left to do.
  EXPECT_EQ(RunBundle(bundle, &members, &record), 3u);
  EXPECT_TRUE(members.empty());
}

TEST_F(E2eBundle, FailureStopsTheWindowUnlessTheMemberMayContinueAndRestartsWaitForTheEnd) {
  std::string d = Member("m" + prefix_ + "d.exe", 2);
  std::string e = Member("m" + prefix_ + "e.exe", 0);
  std::string f = Member("m" + prefix_ + "f.exe", 1);
  std::string fd = "m" + prefix_ + "d.exe", fe = "m" + prefix_ + "e.exe", ff = "m" + prefix_ + "f.exe";
  std::vector<nlohmann::json> members;
  nlohmann::json record;

  EXPECT_EQ(RunBundle(Bundle("stops.exe", {d, e, f}), &members, &record), 0u);
  EXPECT_EQ(Files(members), std::vector<std::string>({fd, fe}));
  EXPECT_EQ(Outcomes(record), std::vector<std::string>({fd + "=installed_restart_needed", fe + "=failed",
                                                         ff + "=not_run/stopped_by_failure"}));
  EXPECT_EQ(record["stopped"], "failure");

  // With :continue the failure is reported and the rest still runs, in
  // order, after a member whose restart waits for the end of the window.
  EXPECT_EQ(RunBundle(Bundle("goes_on.exe", {d, e + ":continue", f}), &members, &record), 0u);
  EXPECT_EQ(Files(members), std::vector<std::string>({fe, ff}));
  EXPECT_EQ(Outcomes(record), std::vector<std::string>({fd + "=skipped/already_installed", fe + "=failed",
                                                         ff + "=installed"}));
  EXPECT_EQ(record["members"][1]["completion_code"], 0);
}

TEST_F(E2eBundle, MemberChangedAfterBundlingIsRefusedBeforeAnythingRuns) {
  std::string g = Member("m" + prefix_ + "g.exe", 1);
  std::string h = Member("m" + prefix_ + "h.exe", 1);
  std::wstring bundle = Bundle("changed.exe", {g, h});
  // The same bundle with the second member's bytes swapped: its manifest no
  // longer describes what would run.
  std::string other = Member("m" + prefix_ + "h.exe", 3);
  brxzip::ZIP_File archive;
  ASSERT_EQ(archive.OpenArchive(bundle.c_str(), 1), brxzip::ZIP_OK);
  brxpack::PackageWriter writer;
  std::wstring changed = run_.dir().File(L"changed2.exe");
  ASSERT_TRUE(writer.Begin(changed.c_str(), BinPath(L"brxstub.exe").c_str()));
  for (uint64_t i = 0; i < archive.GetEntryCount(); ++i) {
    brxzip::ZIP_FileEntry* entry = archive.GetEntryAt(i);
    std::vector<unsigned char> bytes(entry->GetUncompressedSize());
    ASSERT_EQ(entry->ReadToMemory(bytes.data(), bytes.size()), brxzip::ZIP_OK);
    std::string name = entry->GetName();
    if (name == "m" + prefix_ + "h.exe") {
      std::string o = ReadBinary(std::wstring(other.begin(), other.end()));
      bytes.assign(o.begin(), o.end());
    }
    ASSERT_TRUE(writer.AddData(name, bytes));
  }
  ASSERT_TRUE(writer.Finish());
  archive.CloseArchive();

  std::vector<nlohmann::json> members;
  nlohmann::json record;
  EXPECT_EQ(RunBundle(changed, &members, &record), 0u);
  EXPECT_TRUE(members.empty()) << members.size() << " members ran";
  EXPECT_EQ(record["stopped"], "changed_after_bundling");
  std::string fg = "m" + prefix_ + "g.exe", fh = "m" + prefix_ + "h.exe";
  EXPECT_EQ(Outcomes(record), std::vector<std::string>({fg + "=not_run/stopped_by_change",
                                                         fh + "=failed/changed_after_bundling"}));
}

}  // namespace
}  // namespace brxe2e
