// The folder the process-wide component log writes into.
#ifndef BRX_STUB_LOG_FOLDER_WIN_H_
#define BRX_STUB_LOG_FOLDER_WIN_H_

namespace brx {

// The shipped stub's is always the product's, "%systemdrive%\brxsystem\log\",
// whatever the environment, the registry or a file says. The recording test
// build of the stub links a definition that takes the folder from the test
// harness (tests/e2e/log_folder_record_win.cc), so end-to-end tests each log
// into a folder of their own and run side by side.
const wchar_t* StubLogFolder();

}  // namespace brx

#endif  // BRX_STUB_LOG_FOLDER_WIN_H_
