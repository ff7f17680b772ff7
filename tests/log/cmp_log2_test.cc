#include "log/cmp_log2.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <regex>
#include <string>
#include <vector>

#include "platform/dir.h"
#include "platform/environment.h"
#include "platform/event_log.h"
#include "platform/trusted_folder.h"
#include "support/planted.h"
#include "support/scratch_dir.h"
#include "support/test_files.h"

namespace {

using brxtest::FileBytes;
using brxtest::JoinPath;

const char kTime[] = "[0-9]{1,2}:[0-9]{2}:[0-9]{2}";

class CmpLog2Test : public ::testing::Test {
 protected:
  void SetUp() override {
    brx::platform::SetEnvVar(CMPLOG2_VERBOSE_FILENAME, nullptr);
    // With a trailing separator, as the log keeps its directory.
    dir_ = JoinPath(brxtest::ScratchDir("log"), L"");
  }
  void TearDown() override { brx::platform::SetEnvVar(CMPLOG2_VERBOSE_FILENAME, nullptr); }

  std::string Main() { return FileBytes(dir_ + L"brxsetup.log"); }
  std::string Verbose() { return FileBytes(dir_ + L"v.log"); }

  std::wstring dir_;
};

TEST_F(CmpLog2Test, TargetsLevelsPrefixesAndTags) {
  CCmpLog2 log(dir_.c_str());
  log.SetVerboseFileName(L"v.log");
  ASSERT_EQ(0u, log.Open());

  log.Write(LOG_MAIN, LEVEL_INFO, L"stub", 1, L"main %d\r\n", 0);
  log.Write(LOG_VERBOSE_TAGGED, LEVEL_ERROR, L"C:\\src\\install\\extract", 2, L"vt\r\n");
  log.Write(LOG_VERBOSE, LEVEL_CRITICAL, L"misc", 3, L"v\r\n");
  log.Write(LOG_BOTH_TAGGED, LEVEL_WARNING, L"extract", 412, L"bt %s\r\n", L"w");
  log.Write(LOG_BOTH, 9, L"stub", 5, L"both, unknown level\r\n");
  log.Write(LOG_BOTH_TAGGED, LEVEL_INFO, nullptr, 0, L"no module\r\n");
  log.Write(5, LEVEL_ERROR, L"stub", 6, L"target out of range\r\n");
  // An empty message still gets its prefix.
  log.Write(LOG_MAIN, LEVEL_ERROR, L"stub", 7, L"");
  log.Close();

  EXPECT_EQ("main 0\r\n"
            "**WARNING** - bt w\r\n"
            "both, unknown level\r\n"
            "no module\r\n"
            "**ERROR** - ",
            Main());
  std::string t(kTime);
  std::regex verbose("\\[" + t + "\\]::extract\\[2\\] \\*\\*ERROR\\*\\* - vt\r\n"
                     "\\*\\*CRITICAL\\*\\* - v\r\n"
                     "\\[" + t + "\\]::extract\\[412\\] \\*\\*WARNING\\*\\* - bt w\r\n"
                     "both, unknown level\r\n"
                     "\\[" + t + "\\]::\\[0\\] no module\r\n");
  std::string v = Verbose();
  EXPECT_TRUE(std::regex_match(v, verbose)) << v;
}

TEST_F(CmpLog2Test, SessionHeaderAndFooterBytes) {
  CCmpLog2 log(dir_.c_str());
  ASSERT_EQ(0u, log.Open());
  WriteSessionHeader(log);
  log.Write(LOG_BOTH_TAGGED, LEVEL_INFO, L"extract", 10, L"step\r\n\r\n");
  WriteSessionFooter(log, 2);
  log.Close();

  wchar_t name[260];
  ASSERT_TRUE(GetStubFileName(name, 260));
  std::string exe;
  for (const wchar_t* p = name; *p; ++p) exe += static_cast<char>(*p);
  wchar_t version[32] = L"";
  GetStubFileVersion(version, 32);
  std::string ver;
  for (const wchar_t* p = version; *p; ++p) ver += static_cast<char>(*p);

  std::string rule(75, '=');
  std::string t(kTime);
  std::regex session(rule + "\r\n"
                     "Source:          " + std::regex_replace(exe, std::regex("[.]"), "\\.") + "\r\n"
                     "Version:         " + ver + "\r\n"
                     "Log Date:        [^\r\n]+ " + t + "\r\n"
                     "\r\n"
                     "Log Session Start\\.\\.\\.\r\n"
                     "\r\n"
                     "step\r\n\r\n"
                     "\r\n\r\n"
                     "Log Session End\\. \\[" + t + "\\]\r\n"
                     "Return Code \\(2\\)\r\n" +
                     rule + "\r\n\r\n");
  std::string m = Main();
  EXPECT_TRUE(std::regex_match(m, session)) << m;
}

TEST_F(CmpLog2Test, OpenCreatesLevelsAndNeverTruncates) {
  std::wstring dir = dir_ + L"brxsystem\\log\\";
  {
    CCmpLog2 log(dir.c_str());
    EXPECT_EQ(0, log.IsVerboseEnabled());
    ASSERT_EQ(0u, log.Open());
    log.Write(LOG_BOTH, LEVEL_INFO, nullptr, 0, L"first\r\n");
  }
  {
    CCmpLog2 log(dir.c_str());
    ASSERT_EQ(0u, log.Open());
    log.Write(LOG_BOTH, LEVEL_INFO, nullptr, 0, L"second\r\n");
  }
  EXPECT_EQ("first\r\nsecond\r\n", FileBytes(dir + L"brxsetup.log"));
  // Without a verbose request, no verbose file appears.
  EXPECT_FALSE(brxtest::FileExists(dir + L"brxsetup.verbose.log"));
}

TEST_F(CmpLog2Test, WritesWhileClosedAreDroppedAndOpenFailureIs103) {
  CCmpLog2 log(dir_.c_str());
  log.Write(LOG_BOTH, LEVEL_INFO, nullptr, 0, L"before open\r\n");
  ASSERT_EQ(0u, log.Open());
  log.Close();
  log.Close();
  log.Write(LOG_BOTH, LEVEL_INFO, nullptr, 0, L"after close\r\n");
  EXPECT_EQ("", Main());

  // A directory level that is a file cannot be created: the open fails.
  brxtest::WriteFile(dir_ + L"blocker", "x");
  std::wstring blocked = dir_ + L"blocker\\log\\";
  CCmpLog2 bad(blocked.c_str());
  EXPECT_EQ(kLogOpenFailed, bad.Open());

  // A directory too long for the path buffer is not cut into some other
  // (or a relative) path: the open fails instead.
  std::wstring too_long = dir_ + std::wstring(120, L'd') + L"\\" + std::wstring(120, L'e') + L"\\";
  CCmpLog2 cut(too_long.c_str());
  EXPECT_STREQ(L"", cut.main_log_path());
  EXPECT_EQ(kLogOpenFailed, cut.Open());
  EXPECT_FALSE(brxtest::FileExists(L"brxsetup.log"));
}

// Where the log is written, nothing an ordinary user could have prepared is
// written through: a folder level or log file that is a link, a log file
// with another hard link, a folder owned by somebody else or open to
// everybody. Each makes the open fail and leaves what it points to
// untouched; a refused folder leaves an event naming it.
TEST_F(CmpLog2Test, LinksAndPlantedFoldersAreNeverWrittenThrough) {
  enum Plant { kNothing, kFolderLink, kFileLink, kHardLink, kForeignOwner, kOpenFolder };
  auto ensure = [](const std::wstring& path) {
    brx::platform::HeldDirectory held;
    return brx::platform::HoldTrustedFolder(path.c_str(), brx::platform::kSystemFolderSddl,
                                            brx::platform::FolderUse::kShared, &held)
        .ok();
  };
  // The foreign owner goes last: under Wine a folder given to another Unix
  // user can make later owner lookups in the same run fail.
  for (Plant plant : {kNothing, kFolderLink, kFileLink, kHardLink, kOpenFolder, kForeignOwner}) {
    SCOPED_TRACE(plant);
    std::wstring root = dir_ + L"case" + std::to_wstring(plant);
    std::wstring elsewhere = JoinPath(root, L"elsewhere");
    std::wstring theirs = JoinPath(elsewhere, L"brxsetup.log");
    ASSERT_TRUE(ensure(elsewhere));
    brxtest::WriteFile(theirs, "theirs");
    std::wstring log_dir = JoinPath(JoinPath(root, L"brxsystem"), L"log");
    bool planted = true;
    if (plant == kFolderLink) {
      ASSERT_TRUE(ensure(JoinPath(root, L"brxsystem")));
      planted = brxtest::PlantSymlink(log_dir, elsewhere);
    } else {
      ASSERT_TRUE(ensure(log_dir));
      if (plant == kFileLink) planted = brxtest::PlantSymlink(JoinPath(log_dir, L"brxsetup.log"), theirs);
      if (plant == kHardLink) planted = brxtest::PlantHardLink(JoinPath(log_dir, L"brxsetup.log"), theirs);
      if (plant == kForeignOwner) planted = brxtest::GiveToAnotherUser(log_dir);
      if (plant == kOpenFolder) planted = brxtest::OpenToEverybody(log_dir);
    }
    if (!planted && plant == kForeignOwner) continue;  // only root can give a folder away
#ifdef _WIN32
    // Wine shows a Unix link to a file as the file itself (Windows shows a
    // reparse point, which the log refuses): only a native run can see it.
    if (plant == kFileLink) continue;
#else
    brx::platform::TakeReportedEvents();
#endif
    ASSERT_TRUE(planted);
    CCmpLog2 log(JoinPath(log_dir, L"").c_str());
    EXPECT_EQ(plant == kNothing ? 0u : kLogOpenFailed, log.Open());
    log.Write(LOG_BOTH, LEVEL_INFO, nullptr, 0, L"ours\r\n");
    log.Close();
    EXPECT_EQ("theirs", FileBytes(theirs));
#ifndef _WIN32
    std::vector<brx::platform::ReportedEvent> events = brx::platform::TakeReportedEvents();
    bool folder_refused = plant == kFolderLink || plant == kForeignOwner || plant == kOpenFolder;
    ASSERT_EQ(folder_refused ? 1u : 0u, events.size());
    if (folder_refused) {
      EXPECT_EQ(brx::platform::kFolderRefusedEvent, events[0].id);
      EXPECT_EQ(brxtest::Narrow(log_dir), brxtest::Narrow(events[0].strings.at(0)));
    }
#endif
  }
  // Relative and network paths are never walked.
  for (const wchar_t* path : {L"brxsystem\\log", L"\\\\server\\share\\log"}) {
    brx::platform::HeldDirectory held;
    EXPECT_EQ(brx::platform::FolderRefusal::kNotLocal,
              brx::platform::HoldTrustedFolder(path, brx::platform::kLogFolderSddl,
                                               brx::platform::FolderUse::kPrivateLog, &held)
                  .verdict.refusal);
    EXPECT_FALSE(held.valid());
  }
}

// Session records go beside the log, one whole line per call, through the
// same refusals: a record file that is another file's hard link is not
// appended to.
TEST_F(CmpLog2Test, RecordLinesAreAppendedWholeBesideTheLog) {
  std::wstring dir = dir_ + L"brxsystem\\log\\";
  CCmpLog2 log(dir.c_str());
  EXPECT_TRUE(log.AppendRecordLine("{\"a\":1}\n"));
  EXPECT_TRUE(log.AppendRecordLine("{\"b\":2}\n"));
  EXPECT_EQ("{\"a\":1}\n{\"b\":2}\n", FileBytes(dir + L"brxsetup.jsonl"));
  EXPECT_FALSE(log.AppendRecordLine(""));

  std::wstring theirs = dir_ + L"theirs.jsonl";
  brxtest::WriteFile(theirs, "theirs");
  std::wstring other = dir_ + L"other\\";
  CCmpLog2 planted(other.c_str());
  ASSERT_EQ(0u, planted.Open());  // makes the folder
  planted.Close();
  ASSERT_TRUE(brxtest::PlantHardLink(other + L"brxsetup.jsonl", theirs));
  EXPECT_FALSE(planted.AppendRecordLine("{}\n"));
  EXPECT_EQ("theirs", FileBytes(theirs));
}

// While the log is open its folder is held: nobody can rename it away and
// put a link or a folder of their own in its place. Other files of the
// folder open the way the logs do; after Close the folder is free again.
TEST_F(CmpLog2Test, TheOpenLogHoldsItsFolder) {
  std::wstring log_dir = JoinPath(dir_, L"held");
  CCmpLog2 log(JoinPath(log_dir, L"").c_str());
  brx::platform::AppendFile other;
  EXPECT_FALSE(log.OpenInLogFolder(L"brxsetup.jsonl", &other)) << "no folder is held before Open";
  ASSERT_EQ(0u, log.Open());
  ASSERT_TRUE(log.OpenInLogFolder(L"brxsetup.jsonl", &other));
  ASSERT_TRUE(other.Append("{}", 2));
  other.Close();
  EXPECT_EQ("{}", FileBytes(JoinPath(log_dir, L"brxsetup.jsonl")));
  brxtest::WriteFile(JoinPath(dir_, L"theirs"), "theirs");
  ASSERT_TRUE(brxtest::PlantHardLink(JoinPath(log_dir, L"linked.jsonl"), JoinPath(dir_, L"theirs")));
  EXPECT_FALSE(log.OpenInLogFolder(L"linked.jsonl", &other)) << "a second hard link is written through";
#ifdef _WIN32
  std::wstring moved = JoinPath(dir_, L"moved");
  // Unix has no share modes: natively the held folder only keeps its
  // checked identity.
  EXPECT_FALSE(MoveFileW(log_dir.c_str(), moved.c_str())) << "the held folder was renamed";
  log.Close();
  EXPECT_TRUE(MoveFileW(log_dir.c_str(), moved.c_str()));
#endif
}

TEST_F(CmpLog2Test, LongUnmappableAndEmptyMessages) {
  CCmpLog2 log(dir_.c_str());
  ASSERT_EQ(0u, log.Open());
  std::wstring big(3000, L'x');
  log.Write(LOG_MAIN, LEVEL_INFO, nullptr, 0, L"%s|", big);
  log.Write(LOG_MAIN, LEVEL_INFO, nullptr, 0, L"");
  log.Write(LOG_MAIN, LEVEL_INFO, nullptr, 0, L"%s", L"\x4E2D");
  log.Close();
  std::string m = Main();
  ASSERT_EQ(3002u, m.size());
  EXPECT_EQ("|?", m.substr(3000));
}

// A verbose log asked for but not opened would lose the run's details
// silently: the open fails as a whole, as for the main log.
TEST_F(CmpLog2Test, AVerboseLogThatCannotBeOpenedFailsTheOpen) {
  struct Row {
    const char* what;
    bool inherited;  // the path comes from the environment, else a name in the log folder
    std::wstring verbose;
  };
  const Row rows[] = {
      {"a folder of that name in the log folder", false, L"v.log"},
      {"an inherited path in a folder that does not exist", true, JoinPath(dir_ + L"missing", L"v.log")},
  };
  ASSERT_EQ(brx::platform::MakeDirectoryResult::kCreated, brx::platform::MakeDirectory((dir_ + L"v.log").c_str()));
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    brx::platform::SetEnvVar(CMPLOG2_VERBOSE_FILENAME, row.inherited ? row.verbose.c_str() : nullptr);
    CCmpLog2 log(dir_.c_str());
    if (!row.inherited) log.SetVerboseFileName(row.verbose.c_str());
    EXPECT_EQ(kLogOpenFailed, log.Open());
  }
}

TEST_F(CmpLog2Test, VerboseFileNameTravelsThroughTheEnvironment) {
  std::wstring inherited = dir_ + L"inherited.log";
  brx::platform::SetEnvVar(CMPLOG2_VERBOSE_FILENAME, inherited.c_str());
  {
    // Started with the variable: verbose on, into the named file.
    CCmpLog2 log(dir_.c_str());
    EXPECT_EQ(1, log.IsVerboseEnabled());
    EXPECT_EQ(inherited, log.verbose_log_path());
    ASSERT_EQ(0u, log.Open());
    log.Write(LOG_VERBOSE, LEVEL_INFO, nullptr, 0, L"child\r\n");
  }
  EXPECT_EQ("child\r\n", FileBytes(dir_ + L"inherited.log"));

  // An explicit name wins and is handed on to children.
  CCmpLog2 log(dir_.c_str());
  EXPECT_NE(0, log.SetVerboseFileName(L"pkg.exe.log"));
  std::wstring value;
  ASSERT_TRUE(brx::platform::GetEnvVar(CMPLOG2_VERBOSE_FILENAME, &value));
  EXPECT_EQ(dir_ + L"pkg.exe.log", value);
  EXPECT_EQ(value, log.verbose_log_path());

  // Paths are cut at 259 characters.
  std::wstring longName(400, L'n');
  log.SetVerboseFileName(longName.c_str());
  EXPECT_EQ(259u, std::wstring(log.verbose_log_path()).size());
}

TEST(LogTextTest, VersionNeedsRoomAndResource) {
  wchar_t small[9] = L"keep";
  EXPECT_FALSE(GetStubFileVersion(small, 9));
  EXPECT_EQ(std::wstring(L"keep"), small);
  wchar_t version[32] = L"";
#ifdef _WIN32
  // The test program carries a version resource: high word, then low word.
  ASSERT_TRUE(GetStubFileVersion(version, 32));
  EXPECT_EQ(std::wstring(L"7.65535.0.300"), version);
#else
  EXPECT_FALSE(GetStubFileVersion(version, 32));
#endif
  wchar_t time[4];
  EXPECT_FALSE(GetLogTimeText(time, 4));
}

}  // namespace
