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
// detect nothing (no sw_key, filename or version) would report a fleet wrongly.
bool DeployPackageFromReport(const InspectReport& report, const std::string& package_path, DeployPackage* out,
                             std::string* error);

// A PowerShell string literal ('...'); the quote characters PowerShell knows
// (' and U+2018 to U+201B) are doubled.
std::string PowerShellLiteral(const std::string& text);

// A YAML double-quoted scalar, control characters escaped.
std::string YamlLiteral(const std::string& text);

// Text safe inside a one-line comment: line breaks and other control
// characters become blanks, so a package's name cannot end the comment.
std::string CommentText(const std::string& text);

}  // namespace brxpack

#endif  // BRX_TOOLS_BRXPACK_DEPLOY_PACKAGE_H_
