// linkmend.exe on each Windows version the harness can report: Windows 2000 is turned away,
// XP and Server 2003 get the sample credentials, Vista and later the credential boxes disabled.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "driver.h"
#include "resource.h"

namespace {

std::string WindowsVersion() {
    const char* version = std::getenv("LINKMEND_WINVER");
    return version != nullptr ? version : "win7";
}

class Versions : public ::testing::Test {
  protected:
    void TearDown() override { driver::Stop(program); }
    driver::Program program;
};

struct Expected {
    bool vista;
    const wchar_t* internetUser;
    const wchar_t* localUser;
    const wchar_t* password;
};

const Expected kBeforeVista = {false, L"abonent-zet", L"abonent-zet/local", L"581302"};
const Expected kVista = {true, L"Windows Vista or later detected",
                         L"Windows Vista or later detected", L"Windows Vista or later detected"};

TEST_F(Versions, EachVersionGetsItsOwnStart) {
    const std::string version = WindowsVersion();
    ASSERT_TRUE(driver::Start(program));
    if (version == "win2k") {
        // The refusal box and nothing else; the program then ends with 0.
        HWND box = driver::WaitForMessageBox(program);
        ASSERT_NE(box, nullptr);
        const driver::MessageBoxInfo info = driver::ReadMessageBox(box);
        EXPECT_EQ(info.text, L"Программа работает только в Windows XP и выше");
        EXPECT_EQ(info.caption, L"");
        EXPECT_EQ(info.buttons, std::vector<int>{IDOK});
        EXPECT_EQ(FindWindowW(L"#32770", L"linkmend v2.03"), nullptr);
        ASSERT_TRUE(driver::AnswerMessageBox(box, IDOK));
        DWORD exitCode = 99;
        ASSERT_TRUE(driver::WaitForExit(program, &exitCode));
        EXPECT_EQ(exitCode, 0u);
        return;
    }
    const Expected& expected = version == "winxp" || version == "win2003" ? kBeforeVista : kVista;
    HWND dialog = driver::WaitForMainDialog(program);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(driver::ControlText(dialog, IDC_INET_USER), expected.internetUser);
    EXPECT_EQ(driver::ControlText(dialog, IDC_LOCAL_USER), expected.localUser);
    EXPECT_EQ(driver::ControlText(dialog, IDC_INET_PASSWORD), expected.password);
    EXPECT_EQ(driver::ControlText(dialog, IDC_LOCAL_PASSWORD), expected.password);
    for (int id : {IDC_INET_USER, IDC_LOCAL_USER, IDC_INET_PASSWORD, IDC_LOCAL_PASSWORD}) {
        EXPECT_EQ(driver::IsEnabled(dialog, id), !expected.vista) << "control " << id;
    }
    // IPv6 can be switched off from Vista on; the boxes start ticked either way.
    for (int id : {IDC_INET_NOIPV6, IDC_LOCAL_NOIPV6}) {
        EXPECT_EQ(driver::IsEnabled(dialog, id), expected.vista) << "control " << id;
        EXPECT_TRUE(driver::IsChecked(dialog, id)) << "control " << id;
    }
    driver::PressKey(program, VK_ESCAPE);
    DWORD exitCode = 99;
    ASSERT_TRUE(driver::WaitForExit(program, &exitCode));
    EXPECT_EQ(exitCode, 0u);
}

} // namespace
