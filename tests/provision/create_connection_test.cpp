// linkmend.exe driven end to end under Wine with the stand-in RAS DLLs beside it: each
// "Создать подключение" button with the dialog's own defaults and with the user's changes, the
// wizard renamed, cancelled and failing, and what lands in the phonebook. Runs once as
// Windows XP and once as Vista (LINKMEND_WINVER).
#include "standin_fixture.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include "driver.h"
#include "resource.h"
#include "wizard.h"

namespace {

// How long the program may stay quiet before a press counts as fully handled.
const DWORD kQuietMs = 700;

bool RunsAsVista() {
    wchar_t version[16] = {};
    GetEnvironmentVariableW(L"LINKMEND_WINVER", version, 16);
    return wcscmp(version, L"vista") == 0;
}

class CreateConnectionE2E : public ::testing::Test {
  protected:
    void SetUp() override { ResetStandIn(); }
    void TearDown() override {
        driver::Stop(program);
        ResetStandIn();
    }

    // Starts the program with the wizard answering `script` (none: the wizard window shows).
    HWND Start(const wchar_t* script = nullptr) {
        std::vector<std::wstring> environment;
        if (script != nullptr)
            environment.push_back(std::wstring(L"LINKMEND_RAS_WIZARD=") + script);
        if (!driver::Start(program, driver::LinkmendPath(), environment)) return nullptr;
        return driver::WaitForMainDialog(program);
    }

    // Presses a create button and answers what follows until the program is quiet: the wizard
    // window takes the next of `wizardNames` (an empty one cancels); boxes are read and closed.
    // Every press ends in a box saying how it went, so that one is waited for as long as a slow
    // machine needs; only what might follow it gets the short quiet time.
    std::vector<ShownBox> Press(HWND dialog, int buttonId,
                                std::vector<std::wstring> wizardNames = {}) {
        std::vector<ShownBox> boxes;
        size_t wizards = 0;
        driver::Click(dialog, buttonId);
        while (HWND window =
                   driver::WaitForMessageBox(program, boxes.empty() ? driver::kWaitMs : kQuietMs)) {
            if (GetDlgItem(window, IDC_WIZARD_NAME) != nullptr) {
                std::wstring name = wizards < wizardNames.size() ? wizardNames[wizards] : L"";
                ++wizards;
                if (!name.empty()) driver::SetControlText(window, IDC_WIZARD_NAME, name);
                EXPECT_TRUE(driver::AnswerMessageBox(window, name.empty() ? IDCANCEL : IDOK));
                continue;
            }
            driver::MessageBoxInfo info = driver::ReadMessageBox(window);
            boxes.push_back({info.caption, info.text, nullptr});
            EXPECT_TRUE(driver::AnswerMessageBox(window, IDOK));
        }
        EXPECT_TRUE(driver::Settle(dialog));
        return boxes;
    }

    void Close() {
        driver::PressKey(program, VK_ESCAPE);
        DWORD exitCode = 99;
        EXPECT_TRUE(driver::WaitForExit(program, &exitCode));
    }

    driver::Program program;
};

void ExpectTexts(const std::vector<ShownBox>& boxes, const std::vector<std::wstring>& texts) {
    ASSERT_EQ(boxes.size(), texts.size()) << Describe(boxes);
    for (size_t i = 0; i < boxes.size(); ++i) {
        EXPECT_EQ(boxes[i].caption, L" ") << i;
        EXPECT_EQ(boxes[i].text, texts[i]) << i;
    }
}

// IPv6 as the half's disable box (ticked by default) leaves it: off from Vista on, untouched
// before.
std::wstring ExcludedProtocolsByDefault() {
    return RunsAsVista() ? L"11" : L"3";
}

Keys Credentials(const std::wstring& user, const std::wstring& password) {
    if (RunsAsVista()) return {};
    return {{L"UserName", user}, {L"Password", password}};
}

TEST_F(CreateConnectionE2E, InternetHalfWithAutomaticDns) {
    HWND dialog = Start(L"accept");
    ASSERT_NE(dialog, nullptr);
    ExpectTexts(Press(dialog, IDC_INET_CREATE), {L"Подлючение создано: zet-internet"});
    Keys expected = NewEntryKeys();
    expected[L"ExcludedProtocols"] = ExcludedProtocolsByDefault();
    EXPECT_EQ(PhonebookSection(L"zet-internet"), expected);
    EXPECT_EQ(CredentialSection(L"zet-internet"), Credentials(L"abonent-zet", L"581302"));
    Close();
}

TEST_F(CreateConnectionE2E, LocalHalfWithItsDefaultFixedDns) {
    HWND dialog = Start(L"accept");
    ASSERT_NE(dialog, nullptr);
    const std::wstring dns = driver::ControlText(dialog, IDC_LOCAL_DNS);
    const std::wstring dnsAlt = driver::ControlText(dialog, IDC_LOCAL_DNS_ALT);
    ExpectTexts(Press(dialog, IDC_LOCAL_CREATE), {L"Подлючение создано: zet-local"});
    Keys expected = NewEntryKeys();
    expected[L"IpPrioritizeRemote"] = L"0";
    expected[L"IpNameAssign"] = L"2";
    expected[L"IpDnsAddress"] = dns;
    expected[L"IpDns2Address"] = dnsAlt;
    expected[L"ExcludedProtocols"] = ExcludedProtocolsByDefault();
    EXPECT_EQ(PhonebookSection(L"zet-local"), expected);
    EXPECT_EQ(CredentialSection(L"zet-local"), Credentials(L"abonent-zet/local", L"581302"));
    Close();
}

TEST_F(CreateConnectionE2E, EntryRenamedInTheWizardGetsEveryChange) {
    HWND dialog = Start();
    ASSERT_NE(dialog, nullptr);
    driver::Click(dialog, IDC_LOCAL_NOIPV6); // IPv6 stays on wherever the box counts
    ASSERT_TRUE(driver::Settle(dialog));
    ExpectTexts(Press(dialog, IDC_LOCAL_CREATE, {L"zet-home"}), {L"Подлючение создано: zet-home"});
    EXPECT_EQ(PhonebookEntries(), std::vector<std::wstring>{L"zet-home"});
    Keys entry = PhonebookSection(L"zet-home");
    EXPECT_EQ(entry[L"IpPrioritizeRemote"], L"0");
    EXPECT_EQ(entry[L"IpNameAssign"], L"2");
    EXPECT_EQ(entry[L"IpDnsAddress"], driver::ControlText(dialog, IDC_LOCAL_DNS));
    EXPECT_EQ(entry[L"ExcludedProtocols"], L"3");
    EXPECT_EQ(CredentialSection(L"zet-home"), Credentials(L"abonent-zet/local", L"581302"));
    Close();
}

TEST_F(CreateConnectionE2E, CancelledWizardLeavesThePhonebookAsItWas) {
    HWND dialog = Start();
    ASSERT_NE(dialog, nullptr);
    ExpectTexts(Press(dialog, IDC_INET_CREATE, {L"zet-internet"}),
                {L"Подлючение создано: zet-internet"});
    const std::string before = PhonebookText();
    ExpectTexts(Press(dialog, IDC_LOCAL_CREATE, {L""}), {L"Отменено пользователем"});
    EXPECT_EQ(PhonebookText(), before);
    EXPECT_TRUE(CredentialSection(L"zet-local").empty());
    Close();
}

TEST_F(CreateConnectionE2E, FailingWizardShowsItsCodeAndChangesNothing) {
    HWND dialog = Start(L"fail:720");
    ASSERT_NE(dialog, nullptr);
    ExpectTexts(Press(dialog, IDC_INET_CREATE), {L"RasEntryDlg failed: Код ошибки = 720"});
    ExpectTexts(Press(dialog, IDC_LOCAL_CREATE), {L"RasEntryDlg failed: Код ошибки = 720"});
    EXPECT_TRUE(PhonebookText().empty());
    EXPECT_TRUE(CredentialSection(L"zet-internet").empty());
    Close();
}

TEST_F(CreateConnectionE2E, BlankDnsBoxGivesNoAddressButStillFixedServers) {
    HWND dialog = Start(L"accept");
    ASSERT_NE(dialog, nullptr);
    driver::Click(dialog, IDC_INET_AUTODNS); // clears the internet half's automatic DNS
    ASSERT_TRUE(driver::Settle(dialog));
    SendMessageW(GetDlgItem(dialog, IDC_INET_DNS), IPM_CLEARADDRESS, 0, 0);
    const std::wstring dnsAlt = driver::ControlText(dialog, IDC_INET_DNS_ALT);
    ExpectTexts(Press(dialog, IDC_INET_CREATE), {L"Подлючение создано: zet-internet"});
    Keys entry = PhonebookSection(L"zet-internet");
    EXPECT_EQ(entry[L"IpNameAssign"], L"2");
    EXPECT_EQ(entry[L"IpDnsAddress"], L"0.0.0.0");
    EXPECT_EQ(entry[L"IpDns2Address"], dnsAlt);
    EXPECT_EQ(entry[L"IpPrioritizeRemote"], L"1");
    Close();
}

TEST_F(CreateConnectionE2E, LongUserNameAndPasswordAreCutTo254Characters) {
    HWND dialog = Start(L"accept");
    ASSERT_NE(dialog, nullptr);
    driver::SetControlText(dialog, IDC_INET_USER, std::wstring(300, L'u'));
    driver::SetControlText(dialog, IDC_INET_PASSWORD, std::wstring(300, L'p'));
    ExpectTexts(Press(dialog, IDC_INET_CREATE), {L"Подлючение создано: zet-internet"});
    EXPECT_EQ(CredentialSection(L"zet-internet"),
              Credentials(std::wstring(254, L'u'), std::wstring(254, L'p')));
    Close();
}

} // namespace
