#include "stub/options.h"

#include <gtest/gtest.h>

#include <string>

namespace brx {
namespace {

bool NothingExists(const wchar_t*) { return false; }
bool EverythingExists(const wchar_t*) { return true; }
bool OnlyCfgExists(const wchar_t* name) { return std::wstring(name) == L"c:\\a.cfg"; }

StubOptions Parse(const wchar_t* command_line, FileSearch search = NothingExists) {
  StubOptions options;
  ParseCommandLine(command_line, search, &options);
  return options;
}

TEST(OptionsTest, FlagFormsInAnyCaseAndNothingElse) {
  EXPECT_TRUE(Parse(L"/SILENT").silent);
  EXPECT_TRUE(Parse(L"/S").silent);
  EXPECT_FALSE(Parse(L"-silent -s").silent);
  EXPECT_FALSE(Parse(L"/silent:").silent);
  for (const wchar_t* help : {L"/?", L"-?", L"/H", L"-h", L"/help", L"-HELP", L"--help"}) {
    EXPECT_TRUE(Parse(help).help) << help;
  }
  EXPECT_FALSE(Parse(L"--h").help);
  EXPECT_TRUE(Parse(L"/DosRetCode").dosRetCode);
  EXPECT_TRUE(Parse(L"/noprompt").noPrompt);
  for (const wchar_t* dry : {L"/dryrun", L"-DRYRUN", L"--dryrun"}) EXPECT_TRUE(Parse(dry).dryRun);
  EXPECT_TRUE(Parse(L"/tpmbypass").tpmBypass);
  EXPECT_TRUE(Parse(L"/Ignore_TPM").tpmBypass);
  EXPECT_TRUE(Parse(L"/verbose_log").verboseLog);
  for (const wchar_t* r : {L"/reboot", L"-reboot", L"--REBOOT", L"/r", L"-R"}) EXPECT_TRUE(Parse(r).reboot);
  EXPECT_FALSE(Parse(L"--r").reboot);

  // Unknown arguments change nothing.
  StubOptions unknown = Parse(L"/f /user:admin stray");
  StubOptions defaults;
  EXPECT_EQ(defaults.silent, unknown.silent);
  EXPECT_FALSE(unknown.help || unknown.extract || unknown.instPath || unknown.reboot);
  EXPECT_TRUE(unknown.configFile.empty());
}

TEST(OptionsTest, PrefixOptionsTakeTheRestAsWritten) {
  StubOptions o = Parse(L"/EXTRACT:C:\\Temp\\Out \"/instpath:D:\\Program Files\\X\"");
  EXPECT_TRUE(o.extract);
  EXPECT_STREQ(L"C:\\Temp\\Out", o.extractDir.get());
  EXPECT_TRUE(o.instPath);
  EXPECT_STREQ(L"D:\\Program Files\\X", o.instPathDir.get());

  EXPECT_FALSE(Parse(L"/extract C:\\x").extract);
  StubOptions empty = Parse(L"/extract:");
  EXPECT_TRUE(empty.extract);
  EXPECT_TRUE(empty.extractDir.empty());
  // A later occurrence replaces the earlier one.
  EXPECT_STREQ(L"b", Parse(L"/extract:a /extract:b").extractDir.get());
}

TEST(OptionsTest, NextArgumentValuesAreExaminedAgain) {
  StubOptions o = Parse(L"/reboot_message /r");
  EXPECT_STREQ(L"/r", o.rebootMessage.get());
  EXPECT_TRUE(o.reboot);

  EXPECT_STREQ(L"Going down now", Parse(L"/reboot_message \"Going down now\"").rebootMessage.get());
  EXPECT_EQ(30, Parse(L"/t 30").rebootTimeout);
  EXPECT_EQ(0, Parse(L"/t soon").rebootTimeout);
  EXPECT_EQ(-5, Parse(L"/T -5").rebootTimeout);
  EXPECT_EQ(12, Parse(L"/t \"  +12s\"").rebootTimeout);
  EXPECT_EQ(7, Parse(L"/t 3 /t 7").rebootTimeout);

  // "/t /s": the value is "/s", which is also an option of its own.
  StubOptions both = Parse(L"/t /s");
  EXPECT_EQ(0, both.rebootTimeout);
  EXPECT_TRUE(both.silent);
}

TEST(OptionsTest, NextArgumentOptionGivenLastTakesNothing) {
  StubOptions o = Parse(L"/reboot_message hello /reboot_message");
  EXPECT_STREQ(L"hello", o.rebootMessage.get());
  EXPECT_EQ(4, Parse(L"/t 4 /t").rebootTimeout);
  EXPECT_TRUE(Parse(L"/config_file").configFile.empty());
}

TEST(OptionsTest, ConfigFileFoundOnlyForAnExistingFile) {
  StubOptions missing = Parse(L"/config_file c:\\none.cfg", NothingExists);
  EXPECT_STREQ(L"c:\\none.cfg", missing.configFile.get());
  EXPECT_FALSE(missing.configFileFound);

  EXPECT_TRUE(Parse(L"-config_file c:\\a.cfg", OnlyCfgExists).configFileFound);
  // An empty value never counts as found, even where the search would match.
  EXPECT_FALSE(Parse(L"/config_file \"\"", EverythingExists).configFileFound);
  // Nor does a wildcard pattern, which a file search would happily match.
  EXPECT_FALSE(Parse(L"/config_file c:\\*.cfg", EverythingExists).configFileFound);
  EXPECT_FALSE(Parse(L"/config_file c:\\a?cfg", EverythingExists).configFileFound);
  // The later value decides, and so does whether it exists.
  StubOptions replaced = Parse(L"/config_file c:\\a.cfg /config_file c:\\b.cfg", OnlyCfgExists);
  EXPECT_STREQ(L"c:\\b.cfg", replaced.configFile.get());
  EXPECT_FALSE(replaced.configFileFound);
}

// A cut path would name another folder or file; only the message is cut.
TEST(OptionsTest, OverlongPathsAreRefusedAndOnlyTheMessageIsCut) {
  std::wstring fits(260, L'd');
  std::wstring over(261, L'd');
  StubOptions o = Parse((L"/extract:" + over + L" /instpath:" + over + L" /config_file " + over).c_str(),
                        EverythingExists);
  EXPECT_TRUE(o.extract && o.instPath && o.instPathTooLong && o.configFileTooLong);
  EXPECT_TRUE(o.extractDir.empty() && o.instPathDir.empty() && o.configFile.empty());
  EXPECT_FALSE(o.configFileFound);

  StubOptions full = Parse((L"/extract:" + fits + L" /instpath:" + fits).c_str());
  EXPECT_EQ(fits, full.extractDir.get());
  EXPECT_EQ(fits, full.instPathDir.get());
  EXPECT_FALSE(full.instPathTooLong || full.configFileTooLong);

  std::wstring message(600, L'm');
  EXPECT_EQ(511u, Parse((L"/reboot_message " + message).c_str()).rebootMessage.length());
}

// Each option reaches its own install setting and no other: a field left out
// or copied from the wrong option fails its row.
TEST(OptionsTest, EachOptionReachesOnlyItsInstallSetting) {
  using Setting = bool (*)(const InstallSettings&);
  const std::wstring over(261, L'd');
  struct Row {
    const char* name;
    std::wstring line;
    Setting setting;
  };
  const Row rows[] = {
      {"silent", L"/silent", [](const InstallSettings& s) { return s.silent; }},
      {"dry run", L"/dryrun", [](const InstallSettings& s) { return s.dry_run; }},
      {"tpm bypass", L"/tpmbypass", [](const InstallSettings& s) { return s.tpm_bypass; }},
      {"verbose log", L"/verbose_log", [](const InstallSettings& s) { return s.verbose_log; }},
      {"instpath", L"/instpath:c:\\t",
       [](const InstallSettings& s) { return s.inst_path && s.inst_path_dir.get() == std::wstring(L"c:\\t"); }},
      {"instpath too long", L"/instpath:" + over, [](const InstallSettings& s) { return s.inst_path_too_long; }},
      {"config file", L"/config_file c:\\a.cfg",
       [](const InstallSettings& s) { return s.config_file_found && s.config_file.get() == std::wstring(L"c:\\a.cfg"); }},
      {"config file too long", L"/config_file " + over,
       [](const InstallSettings& s) { return s.config_file_too_long; }},
      {"reboot", L"/reboot", [](const InstallSettings& s) { return s.reboot && *s.reboot; }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    StubOptions options = Parse(row.line.c_str(), OnlyCfgExists);
    InstallSettings settings = InstallSettingsFrom(&options);
    for (const Row& other : rows) EXPECT_EQ(&other == &row, other.setting(settings)) << other.name;
    // The restart question rewrites the caller's wish through the settings.
    EXPECT_EQ(&options.reboot, settings.reboot);
  }
}

TEST(OptionsTest, LeadingIntegerSaturates) {
  EXPECT_EQ(2147483647, ParseLeadingInt(L"99999999999"));
  EXPECT_EQ(-2147483647 - 1, ParseLeadingInt(L"-99999999999"));
  EXPECT_EQ(0, ParseLeadingInt(L"+-3"));
  EXPECT_EQ(0, ParseLeadingInt(L""));
}

}  // namespace
}  // namespace brx
