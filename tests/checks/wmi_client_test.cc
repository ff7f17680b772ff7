// The client against Wine's (or Windows') real WMI.
#include "checks/wmi_client.h"

#include <gtest/gtest.h>

#include <string.h>

namespace brx {
namespace checks {
namespace {

TEST(WmiClient, ReadsATextPropertyAndTwoClientsRunInARow) {
  for (int round = 0; round < 2; ++round) {
    WmiClient client;
    ASSERT_EQ(0, client.last_error());
    ASSERT_EQ(1, client.ConnectNamespace(L"ROOT\\CIMV2"));
    ASSERT_EQ(1, client.QueryClass(L"Win32_ComputerSystem"));
    wchar_t text[256] = L"";
    EXPECT_EQ(1, client.ReadProperty(L"Manufacturer", text, sizeof text));
    EXPECT_NE(L'\0', text[0]);
    client.ReleaseResults();
    ASSERT_EQ(1, client.QueryClass(L"Win32_BIOS"));
    wchar_t bios[256] = L"";
    EXPECT_EQ(1, client.ReadProperty(L"Manufacturer", bios, sizeof bios));
    EXPECT_NE(L'\0', bios[0]);
  }
}

TEST(WmiClient, TextIsCutToTheBuffer) {
  WmiClient client;
  ASSERT_EQ(1, client.ConnectNamespace(L"ROOT\\CIMV2"));
  ASSERT_EQ(1, client.QueryClass(L"Win32_ComputerSystem"));
  wchar_t text[4];
  wmemset(text, L'#', 4);
  EXPECT_EQ(1, client.ReadProperty(L"Manufacturer", text, 3 * sizeof(wchar_t)));
  EXPECT_EQ(2u, wcslen(text));
  EXPECT_EQ(L'#', text[3]);
}

TEST(WmiClient, ClassWithoutInstancesLeavesTheBuffer) {
  WmiClient client;
  ASSERT_EQ(1, client.ConnectNamespace(L"ROOT\\CIMV2"));
  ASSERT_EQ(1, client.QueryClass(L"Win32_TapeDrive"));
  wchar_t text[256] = L"unchanged";
  EXPECT_EQ(1, client.ReadProperty(L"Manufacturer", text, sizeof text));
  EXPECT_STREQ(L"unchanged", text);

  // A property the class does not have fails the read and drops the results.
  ASSERT_EQ(1, client.QueryClass(L"Win32_BIOS"));
  EXPECT_EQ(0, client.ReadProperty(L"NoSuchProperty", text, sizeof text));
  EXPECT_EQ(0, client.ReadProperty(L"Manufacturer", text, sizeof text));
  EXPECT_STREQ(L"unchanged", text);
}

TEST(WmiClient, MissingNamespaceFailsEveryLaterCall) {
  WmiClient client;
  EXPECT_EQ(0, client.ConnectNamespace(L"ROOT\\NoSuchNamespace"));
  EXPECT_EQ(WmiClient::WMI_ERROR_COM_INIT, client.last_error());
  EXPECT_STREQ(L"An error occurred initializing the COM environment.", client.last_error_text());
  EXPECT_EQ(0, client.ConnectNamespace(L"ROOT\\CIMV2"));
  EXPECT_EQ(0, client.QueryClass(L"Win32_BIOS"));
  wchar_t text[256] = L"unchanged";
  EXPECT_EQ(0, client.ReadProperty(L"Manufacturer", text, sizeof text));
  EXPECT_STREQ(L"unchanged", text);
}

}  // namespace
}  // namespace checks
}  // namespace brx
