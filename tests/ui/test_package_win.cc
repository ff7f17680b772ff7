#include "test_package_win.h"

#include "brxpack/package_writer.h"

namespace brxtest {

std::string DefinitionXml(const char* name, const char* version, const char* description,
                          const char* command) {
  std::string xml = "<brx_package version='2.0.2.0'><filename>pkg.exe</filename>";
  if (version) xml += std::string("<version value='") + version + "'/>";
  if (name) xml += std::string("<name><name_xlate lang='en'>") + name + "</name_xlate></name>";
  if (description) {
    xml += std::string("<description><description_xlate lang='en'>") + description +
           "</description_xlate></description>";
  }
  if (command) xml += std::string("<installation><install><command>") + command + "</command></install></installation>";
  return xml + "</brx_package>";
}

std::string PackageDataXml(const std::vector<std::pair<std::string, std::string>>& settings,
                           const char* license, const char* config_ui, const char* config_file) {
  std::string xml = "<zt_pkg_data><settings>";
  for (const auto& s : settings) xml += "<value name='" + s.first + "' value='" + s.second + "'/>";
  xml += "</settings>";
  if (license) xml += std::string("<license><filename lang='en'>") + license + "</filename></license>";
  if (config_ui || config_file) {
    xml += "<configuration>";
    if (config_ui) xml += std::string("<configui><filename lang='en'>") + config_ui + "</filename></configui>";
    if (config_file) xml += std::string("<config_file><filename>") + config_file + "</filename></config_file>";
    xml += "</configuration>";
  }
  return xml + "</zt_pkg_data>";
}

TestPackage::~TestPackage() {
  archive.CloseArchive();
  if (!path.empty()) DeleteFileW(path.c_str());
}

bool TestPackage::Build(const std::vector<TestEntry>& entries) {
  static int counter = 0;
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  path = std::wstring(temp) + L"brxui-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
         std::to_wstring(++counter) + L".exe";
  brxpack::PackageWriter writer;
  if (!writer.Begin(path.c_str(), static_cast<const wchar_t*>(nullptr))) return false;
  for (const TestEntry& e : entries) {
    brxpack::EntryOptions options;
    options.dos_date = e.dos_date;
    options.dos_time = e.dos_time;
    bool ok = !e.name.empty() && e.name.back() == '/'
                  ? writer.AddDirectory(e.name.substr(0, e.name.size() - 1), options)
                  : writer.AddData(e.name, std::vector<unsigned char>(e.data.begin(), e.data.end()), options);
    if (!ok) return false;
  }
  if (!writer.Finish()) return false;
  return archive.OpenArchive(path.c_str(), 1) == brxzip::ZIP_OK &&
         package.LoadPackage(path.c_str(), L"pkg.xml", L"en");
}

brx::MainDialogContext TestPackage::DialogContext(int32_t* completion_code, brx::InstallActions* actions) const {
  brx::MainDialogContext context;
  context.package = &package;
  context.archive = &archive;
  context.completion_code = completion_code;
  context.actions = actions;
  return context;
}

}  // namespace brxtest
