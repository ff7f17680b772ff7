// brxpack init DIR: a commented skeleton package (definition, package data,
// a sample setup command) that builds and installs as it stands.
#ifndef BRX_TOOLS_BRXPACK_INIT_COMMAND_H_
#define BRX_TOOLS_BRXPACK_INIT_COMMAND_H_

#include <string>
#include <vector>

namespace brxpack {

extern const char kInitHelp[];

// The arguments after "init". Exit status: 0 written, 1 refused, 2 a wrong command line.
int RunInit(const std::vector<std::wstring>& args);

}  // namespace brxpack

#endif  // BRX_TOOLS_BRXPACK_INIT_COMMAND_H_
