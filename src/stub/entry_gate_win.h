// Runs before each entry an extraction writes.
#ifndef BRX_STUB_ENTRY_GATE_WIN_H_
#define BRX_STUB_ENTRY_GATE_WIN_H_

namespace brx {

// Does nothing in the shipped stub, whatever the environment, the registry or
// a file says. The recording test build of the stub links a definition that
// can pause here (tests/e2e/entry_gate_record_win.cc), so an end-to-end test
// can change the destination while an extraction is under way.
void BeforeEachEntry(const wchar_t* target_path);

}  // namespace brx

#endif  // BRX_STUB_ENTRY_GATE_WIN_H_
