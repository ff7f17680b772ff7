// The package's files read out of an open payload archive: what LoadPackage
// reads from, and what tools hand to LoadPackageFrom when they need the same
// loading steps over an archive they hold open already.
#ifndef BRX_PACKAGE_ZIP_ENTRY_SOURCE_H_
#define BRX_PACKAGE_ZIP_ENTRY_SOURCE_H_

#include "package/entry_source.h"

namespace brxzip {
class ZIP_File;
}  // namespace brxzip

namespace brx {

class ZipEntrySource : public PackageEntrySource {
 public:
  explicit ZipEntrySource(const brxzip::ZIP_File* archive) : archive_(archive) {}
  bool FindEntry(const wchar_t* name, uint64_t* size) override;
  bool ReadEntry(const wchar_t* name, void* destination, uint64_t size) override;

 private:
  const brxzip::ZIP_File* archive_;
};

}  // namespace brx

#endif  // BRX_PACKAGE_ZIP_ENTRY_SOURCE_H_
