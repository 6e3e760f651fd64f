// The main dialog driven like a user would: the DNS boxes follow their automatic-DNS box, Enter
// does nothing, Esc and the close button both close, Tab walks the controls in template order,
// and the count box takes two digits and follows its arrows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver.h"
#include "resource.h"

namespace {

class MainDialog : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(driver::Start(program));
        dialog = driver::WaitForMainDialog(program);
        ASSERT_NE(dialog, nullptr);
    }
    void TearDown() override { driver::Stop(program); }

    // The program must end by itself, with exit code 0.
    void ExpectClosed() {
        DWORD exitCode = 99;
        ASSERT_TRUE(driver::WaitForExit(program, &exitCode));
        EXPECT_EQ(exitCode, 0u);
    }

    driver::Program program;
    HWND dialog = nullptr;
};

struct DnsHalf {
    const char* name;
    int autoDns;
    int dns;
    int dnsAlt;
    int otherDns;
    int otherDnsAlt;
    bool startsAutomatic;
};

const DnsHalf kHalves[] = {
    {"internet", IDC_INET_AUTODNS, IDC_INET_DNS, IDC_INET_DNS_ALT, IDC_LOCAL_DNS, IDC_LOCAL_DNS_ALT,
     true},
    {"local", IDC_LOCAL_AUTODNS, IDC_LOCAL_DNS, IDC_LOCAL_DNS_ALT, IDC_INET_DNS, IDC_INET_DNS_ALT,
     false},
};

TEST_F(MainDialog, AutomaticDnsBoxGovernsOnlyItsHalfsDnsBoxesAndKeepsAddresses) {
    for (const DnsHalf& half : kHalves) {
        SCOPED_TRACE(half.name);
        EXPECT_EQ(driver::IsChecked(dialog, half.autoDns), half.startsAutomatic);
        EXPECT_EQ(driver::IsEnabled(dialog, half.dns), !half.startsAutomatic);
        const std::wstring dns = driver::ControlText(dialog, half.dns);
        const std::wstring dnsAlt = driver::ControlText(dialog, half.dnsAlt);
        const bool otherEnabled = driver::IsEnabled(dialog, half.otherDns);
        for (bool automatic : {!half.startsAutomatic, half.startsAutomatic}) {
            driver::Click(dialog, half.autoDns);
            ASSERT_TRUE(driver::Settle(dialog));
            EXPECT_EQ(driver::IsChecked(dialog, half.autoDns), automatic);
            EXPECT_EQ(driver::IsEnabled(dialog, half.dns), !automatic);
            EXPECT_EQ(driver::IsEnabled(dialog, half.dnsAlt), !automatic);
            EXPECT_EQ(driver::ControlText(dialog, half.dns), dns);
            EXPECT_EQ(driver::ControlText(dialog, half.dnsAlt), dnsAlt);
            EXPECT_EQ(driver::IsEnabled(dialog, half.otherDns), otherEnabled);
            EXPECT_EQ(driver::IsEnabled(dialog, half.otherDnsAlt), otherEnabled);
        }
    }
}

TEST_F(MainDialog, DnsBoxesStartWithDocumentationAddresses) {
    EXPECT_EQ(driver::ControlText(dialog, IDC_INET_DNS), L"192.0.2.53");
    EXPECT_EQ(driver::ControlText(dialog, IDC_INET_DNS_ALT), L"192.0.2.54");
    EXPECT_EQ(driver::ControlText(dialog, IDC_LOCAL_DNS), L"198.51.100.53");
    EXPECT_EQ(driver::ControlText(dialog, IDC_LOCAL_DNS_ALT), L"198.51.100.54");
}

TEST_F(MainDialog, EnterDoesNothing) {
    // The template has no default button: on Windows, Enter outside a push button sends IDOK,
    // which must be idle; Wine sends nothing then, so IDOK is also sent as Windows would.
    for (int focus : {IDC_ENDPOINTS, IDC_LOCAL_AUTODNS}) {
        HWND control = GetDlgItem(dialog, focus);
        PostMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
        ASSERT_TRUE(driver::Settle(dialog));
        ASSERT_EQ(driver::FocusedControl(program), control);
        driver::PressKey(program, VK_RETURN);
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        ASSERT_TRUE(driver::Settle(dialog));
        EXPECT_TRUE(IsWindowVisible(dialog));
        EXPECT_EQ(driver::FocusedControl(program), control);
    }
    EXPECT_EQ(driver::WaitForMessageBox(program, 300), nullptr);
    EXPECT_EQ(WaitForSingleObject(program.process, 0), static_cast<DWORD>(WAIT_TIMEOUT));
}

TEST_F(MainDialog, CommandsWithoutControlsDoNothing) {
    for (int id : {1015, 1016, 1017}) {
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
    }
    ASSERT_TRUE(driver::Settle(dialog));
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_EQ(driver::WaitForMessageBox(program, 300), nullptr);
}

TEST_F(MainDialog, EscapeCloses) {
    driver::PressKey(program, VK_ESCAPE);
    ExpectClosed();
}

TEST_F(MainDialog, CloseButtonCloses) {
    PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    ExpectClosed();
}

// The controls Tab can reach, in template order.
const int kTabStops[] = {
    IDC_INET_DNS_ALT,
    IDC_INET_DNS,
    IDC_INET_USER,
    IDC_INET_PASSWORD,
    IDC_INET_AUTODNS,
    IDC_INET_CREATE,
    IDC_LOCAL_DNS_ALT,
    IDC_LOCAL_DNS,
    IDC_LOCAL_USER,
    IDC_LOCAL_PASSWORD,
    IDC_LOCAL_AUTODNS,
    IDC_LOCAL_CREATE,
    IDC_APPLY,
    IDC_ENDPOINTS,
    IDC_INET_NOIPV6,
    IDC_LOCAL_NOIPV6,
    IDC_LINK_AUTHOR_MAIL,
    IDC_LINK_LOCAL_FORUM,
    IDC_LINK_AUTHOR_FORUM,
    IDC_LINK_FRIEND_MAIL,
};

TEST_F(MainDialog, TabWalksTheEnabledControlsInTemplateOrder) {
    std::vector<int> expected;
    for (int id : kTabStops) {
        if (driver::IsEnabled(dialog, id)) expected.push_back(id);
    }
    // Start from the last reachable control, so that one Tab lands on the first.
    std::vector<int> seen;
    HWND last = GetDlgItem(dialog, expected.back());
    PostMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(last), TRUE);
    ASSERT_TRUE(driver::Settle(dialog));
    ASSERT_EQ(driver::FocusedControl(program), last);
    for (size_t step = 0; step < expected.size(); ++step) {
        driver::PressKey(program, VK_TAB);
        ASSERT_TRUE(driver::Settle(dialog));
        seen.push_back(GetDlgCtrlID(driver::FocusedControl(program)));
    }
    EXPECT_EQ(seen, expected);
}

TEST_F(MainDialog, CountBoxTakesTwoDigitsAndFollowsItsArrows) {
    HWND count = GetDlgItem(dialog, IDC_ENDPOINTS);
    PostMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(count), TRUE);
    driver::SetControlText(dialog, IDC_ENDPOINTS, L"");
    for (wchar_t key : {L'4', L'x', L'2', L'7'}) PostMessageW(count, WM_CHAR, key, 1);
    ASSERT_TRUE(driver::Settle(dialog));
    EXPECT_EQ(driver::ControlText(dialog, IDC_ENDPOINTS), L"42");
    driver::PressKey(program, VK_UP);
    ASSERT_TRUE(driver::Settle(dialog));
    EXPECT_EQ(driver::ControlText(dialog, IDC_ENDPOINTS), L"43");
}

TEST_F(MainDialog, PasswordBoxesMaskTheirText) {
    for (int id : {IDC_INET_PASSWORD, IDC_LOCAL_PASSWORD}) {
        EXPECT_NE(SendDlgItemMessageW(dialog, id, EM_GETPASSWORDCHAR, 0, 0), 0) << id;
    }
}

} // namespace
