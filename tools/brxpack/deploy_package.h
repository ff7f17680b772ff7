// What deployment settings need to know of a package, and how its texts are
// written into them: every value comes from the package, which is hostile
// input, so each one is quoted for the language it lands in.
#ifndef BRX_TOOLS_BRXPACK_DEPLOY_PACKAGE_H_
#define BRX_TOOLS_BRXPACK_DEPLOY_PACKAGE_H_

#include <string>
#include <vector>

namespace brxpack {

struct InspectReport;

// UTF-8 texts.
struct DeployPackage {
  std::string package_file;  // the package's file name as deployed, without folder
  std::string definition;    // definition entry: the copy's name in \BRXSYSTEM\ztxml
  std::string file_name;     // the definition's filename: ComponentFileName of the record
  std::string version;       // <version value="..."/>
  std::string sw_key;        // the component key under OVRevisionManagement
  std::string expected_path; // ComponentKeyExpectedPath of the record
  std::string display_name;  // the English name, for comments
  // A bundle's members, in order: the bundle counts as installed when every
  // one of them is at its version or a later one. Empty for a package.
  std::vector<DeployPackage> members;
};

// The package as inspect found it, or false with the reason: settings that
// detect nothing (no sw_key, filename or version) would report a fleet wrongly,
// and a field CheckDeployFields refuses would reach a tool broken.
// package_path is UTF-8.
bool DeployPackageFromReport(const InspectReport& report, const std::string& package_path, DeployPackage* out,
                             std::string* error);

// False, with a message naming the field, when a field that settings use as a
// value (package file name, definition, filename, version, sw_key, expected
// path) holds a control character (C0, DEL, C1 with NEL), U+2028/U+2029 or a
// noncharacter: every tool reads one of those as a line end, refuses the file
// or gets the value changed, and none could match such a name, so no setting
// can carry it.
bool CheckDeployFields(const DeployPackage& package, std::string* error);

// False, naming it, for a package path (UTF-8) that is malformed or holds a
// noncharacter, which no YAML emitter can write unchanged.
bool CheckPackagePath(const std::string& path, std::string* error);

// A PowerShell string literal ('...'); the quote characters PowerShell knows
// (' and U+2018 to U+201B) are doubled.
std::string PowerShellLiteral(const std::string& text);

// Printable one-line text for a comment or a console label: control
// characters, line and paragraph separators and noncharacters become
// blanks, malformed UTF-8 keeps only its printable ASCII, so a package's name can neither end the comment nor
// make a YAML or PowerShell reader refuse the file.
std::string CommentText(const std::string& text);

}  // namespace brxpack

#endif  // BRX_TOOLS_BRXPACK_DEPLOY_PACKAGE_H_
