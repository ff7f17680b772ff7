// The checks brxpack build makes on the package it has just written: those of
// inspect (the stub's own start-up and install steps run over it), and what
// the stub would silently lose or get wrong in the definition and the
// package data.
#ifndef BRX_TOOLS_BRXPACK_BUILD_CHECK_H_
#define BRX_TOOLS_BRXPACK_BUILD_CHECK_H_

#include <stdint.h>

#include <functional>
#include <string>
#include <vector>

namespace brxpack {

struct BuildProblem {
  std::string file;     // the entry (with the path it came from) or the package
  std::string field;    // the element or attribute; empty for the file as a whole
  std::string problem;  // what goes wrong on the server
  std::string action;   // what the packager does about it
  bool fatal = true;    // false: a warning, the build stands
};

// "zt_data.xml (from src/zt_data.xml): installation/install/returncode_map/map/@source: ...; ..."
std::string FormatProblem(const BuildProblem& problem);

struct BuiltPackage {
  std::wstring path;
  std::string display;  // the package as the packager named it
  uint32_t code_page = 1252;
  std::string enciphered;  // the entry brxpack enciphered; empty when none
  // How to name an entry in a message: its name and the file it came from.
  std::function<std::string(const std::wstring& entry)> describe_entry;
};

std::vector<BuildProblem> CheckBuiltPackage(const BuiltPackage& built);

// When `stub` already carries a package (a finished package given as the
// stub): what it holds, for the message; empty when it holds none.
std::string DescribePackageInStub(const std::wstring& stub);

}  // namespace brxpack

#endif  // BRX_TOOLS_BRXPACK_BUILD_CHECK_H_
