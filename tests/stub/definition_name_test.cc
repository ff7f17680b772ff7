#include "stub/definition_name.h"

#include <gtest/gtest.h>

#include <string>

namespace brx {
namespace {

TEST(DefinitionNameTest, BaseNameWithoutDirectoryOrExtension) {
  BoundedString<260> name;
  ASSERT_TRUE(DefinitionNameForStub(L"C:\\Downloads\\cp012345.exe", &name));
  EXPECT_STREQ(L"cp012345.xml", name.get());
  ASSERT_TRUE(DefinitionNameForStub(L"C:\\a.b\\pkg.v2.exe", &name));
  EXPECT_STREQ(L"pkg.v2.xml", name.get());
  ASSERT_TRUE(DefinitionNameForStub(L"C:\\dir.x\\noext", &name));
  EXPECT_STREQ(L"noext.xml", name.get());
  EXPECT_FALSE(DefinitionNameForStub((L"C:\\" + std::wstring(300, L'p') + L".exe").c_str(), &name));
}

}  // namespace
}  // namespace brx
