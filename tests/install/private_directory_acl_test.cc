#include "install/private_directory_acl.h"

#include <gtest/gtest.h>

namespace brx {
namespace {

TEST(PrivateDirectoryAclTest, ProtectedListOfSystemAdministratorsAndOwner) {
  EXPECT_EQ(L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;S-1-5-21-1-2-3-1000)",
            PrivateDirectorySddl(L"S-1-5-21-1-2-3-1000"));
  // Without a usable user SID only the two fixed entries remain; nothing
  // foreign can be smuggled into the descriptor string.
  EXPECT_EQ(L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", PrivateDirectorySddl(L""));
  EXPECT_EQ(L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", PrivateDirectorySddl(L"S-1)(A;;FA;;;WD"));
  // The token owner of an elevated administrator, or of SYSTEM under an
  // agent, adds nothing: both are in the list already.
  EXPECT_EQ(L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", PrivateDirectorySddl(L"S-1-5-32-544"));
  EXPECT_EQ(L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", PrivateDirectorySddl(L"S-1-5-18"));
}

}  // namespace
}  // namespace brx
