// The harness runs a test in a prefix that reports the Windows version the test asked for.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

TEST(WineHarness, ReportsTheWindowsVersionTheTestAskedFor) {
    const char* expected = std::getenv("LINKMEND_EXPECT_VERSION");
    ASSERT_NE(expected, nullptr);
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof info;
    ASSERT_TRUE(GetVersionExW(&info));
    std::string seen =
        std::to_string(info.dwMajorVersion) + "." + std::to_string(info.dwMinorVersion);
    EXPECT_EQ(seen, expected);
}
