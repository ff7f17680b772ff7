// The process-wide objects of the stub, constructed before the entry runs in
// this order (and destroyed in reverse): the component log, the archive and
// the package. Constructing them opens no file.
#ifndef BRX_STUB_PROCESS_OBJECTS_H_
#define BRX_STUB_PROCESS_OBJECTS_H_

#include "archive/zip_file.h"
#include "log/cmp_log2.h"
#include "package/ppkg.h"

namespace brx {

struct ProcessObjects {
  ProcessObjects();  // the log in StubLogFolder() (stub/log_folder_win.h)

  CCmpLog2 log;
  brxzip::ZIP_File archive;
  CPPkg package;
};

ProcessObjects& Process();

}  // namespace brx

#endif  // BRX_STUB_PROCESS_OBJECTS_H_
