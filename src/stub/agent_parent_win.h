// Whether the stub was started by the deployment agent, whose callers read
// DOS-style exit codes.
#ifndef BRX_STUB_AGENT_PARENT_WIN_H_
#define BRX_STUB_AGENT_PARENT_WIN_H_

namespace brx {

// True when the parent process's executable is "kelagent.exe" (any case).
// False when the process list cannot be read or either process is not in it.
bool IsLaunchedByAgent();

}  // namespace brx

#endif  // BRX_STUB_AGENT_PARENT_WIN_H_
