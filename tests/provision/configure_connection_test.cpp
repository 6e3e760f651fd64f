// The wizard and the entry tuning in process, with the stand-in DLLs: the boxes with their
// icons, the wizard's results, an entry written back whole at the size its system reports, and
// odd answers from the system that must never lead to a write. Runs as Windows XP, Vista, 7 and
// 10 (LINKMEND_WINVER), whose entry records differ in size.
// What each button does to the phonebook is tested end to end in create_connection_test.
#include "connection.h"
#include "standin_fixture.h"

#include <gtest/gtest.h>

#include <raserror.h>

namespace {

const wchar_t kCaption[] = L" ";

bool RunsAsVistaOrLater() {
    wchar_t version[16] = {};
    GetEnvironmentVariableW(L"LINKMEND_WINVER", version, 16);
    return wcscmp(version, L"winxp") != 0 && wcscmp(version, L"win2003") != 0;
}

// What the request handed to ConfigureConnection asks for.
struct Request {
    const wchar_t* name;
    bool keepGateway;
    bool disableIpv6;
    bool setDns;
};

const Request kLocal = {L"zet-local", false, false, true};

std::vector<ShownBox> Configure(const Request& request, const wchar_t* wizardScript) {
    SetVariable(L"LINKMEND_RAS_WIZARD", wizardScript);
    WindowWatcher watcher;
    EXPECT_EQ(ConfigureConnection(request.name, L"abonent-zet", L"581302", request.keepGateway,
                                  request.disableIpv6, request.setDns, {192, 0, 2, 53},
                                  {198, 51, 100, 7}),
              0);
    return watcher.Stop();
}

void ExpectBoxes(const std::vector<ShownBox>& boxes, const std::vector<ShownBox>& expected) {
    ASSERT_EQ(boxes.size(), expected.size()) << Describe(boxes);
    for (size_t i = 0; i < boxes.size(); ++i) {
        EXPECT_EQ(boxes[i].caption, expected[i].caption) << i;
        EXPECT_EQ(boxes[i].text, expected[i].text) << i;
        EXPECT_EQ(boxes[i].icon, expected[i].icon) << i;
    }
}

ShownBox Created(const wchar_t* name) {
    return {kCaption, std::wstring(L"Подлючение создано: ") + name, IDI_INFORMATION};
}

// The credentials stored for an entry: the request's before Vista, none from Vista on.
Keys ExpectedCredentials() {
    if (RunsAsVistaOrLater()) return {};
    return {{L"UserName", L"abonent-zet"}, {L"Password", L"581302"}};
}

class ConfigureConnectionTest : public ::testing::Test {
  protected:
    void SetUp() override { ResetStandIn(); }
    void TearDown() override { ResetStandIn(); }
};

TEST_F(ConfigureConnectionTest, RequestWithoutChangesLeavesTheNewEntryAsItWas) {
    const Request unchanged = {L"zet-internet", true, false, false};
    ExpectBoxes(Configure(unchanged, L"accept"), {Created(L"zet-internet")});
    EXPECT_EQ(PhonebookSection(L"zet-internet"), NewEntryKeys());
    EXPECT_EQ(CredentialSection(L"zet-internet"), ExpectedCredentials());
}

TEST_F(ConfigureConnectionTest, ChangedEntryGoesBackWholeAtTheReportedSize) {
    // The stand-in takes only the record size of its version and keeps bytes past the XP layout
    // that differ from a new entry's under Tail: the changes arrive, and no Tail key appears.
    ExpectBoxes(Configure(kLocal, L"accept"), {Created(L"zet-local")});
    Keys expected = NewEntryKeys();
    expected[L"IpPrioritizeRemote"] = L"0";
    expected[L"IpNameAssign"] = L"2";
    expected[L"IpDnsAddress"] = L"192.0.2.53";
    expected[L"IpDns2Address"] = L"198.51.100.7";
    EXPECT_EQ(PhonebookSection(L"zet-local"), expected);
}

TEST_F(ConfigureConnectionTest, CancelledOrFailedWizardChangesNothing) {
    const struct {
        const wchar_t* script;
        ShownBox box;
    } cases[] = {
        {L"cancel", {kCaption, L"Отменено пользователем", IDI_INFORMATION}},
        {L"fail:720", {kCaption, L"RasEntryDlg failed: Код ошибки = 720", IDI_ERROR}},
        {L"fail:623", {kCaption, L"RasEntryDlg failed: Код ошибки = 623", IDI_ERROR}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.script));
        ExpectBoxes(Configure(kLocal, c.script), {c.box});
        EXPECT_TRUE(PhonebookText().empty());
        EXPECT_TRUE(CredentialSection(L"zet-local").empty());
    }
}

TEST_F(ConfigureConnectionTest, EntryThatCannotBeReadWhollyIsNeverWritten) {
    // The system reports no byte count, or one smaller than the entry record: the entry stays
    // as the wizard made it and the user is told that it could not be read.
    const std::wstring counts[] = {L"0", L"100", std::to_wstring(sizeof(RASENTRYW) - 1)};
    for (const std::wstring& count : counts) {
        SCOPED_TRACE(Narrow(count));
        ResetStandIn();
        SetVariable(L"LINKMEND_RAS_ENTRY_SIZE", count.c_str());
        ExpectBoxes(Configure(kLocal, L"accept"),
                    {Created(L"zet-local"),
                     {kCaption, L"RasGetEntryProperties failed: Код ошибки = 632", IDI_ERROR}});
        EXPECT_EQ(PhonebookSection(L"zet-local"), NewEntryKeys());
        EXPECT_EQ(CredentialSection(L"zet-local"), ExpectedCredentials());
    }
}

TEST_F(ConfigureConnectionTest, EntryBufferThatCannotBeHadIsNeverWritten) {
    // A byte count no heap can give: the allocation fails, or (where it succeeds) the system
    // refuses to fill a record of that size. Either way one error box and no write.
    SetVariable(L"LINKMEND_RAS_ENTRY_SIZE", L"4294967295");
    std::vector<ShownBox> boxes = Configure(kLocal, L"accept");
    ASSERT_EQ(boxes.size(), 2u) << Describe(boxes);
    EXPECT_TRUE(boxes[1].text == L"HeapAlloc() failed" ||
                boxes[1].text == L"RasGetEntryProperties failed: Код ошибки = 632")
        << Describe(boxes);
    EXPECT_EQ(boxes[1].icon, IDI_ERROR);
    EXPECT_EQ(PhonebookSection(L"zet-local"), NewEntryKeys());
}

TEST_F(ConfigureConnectionTest, WizardResultSaysWhetherAndUnderWhichNameAnEntryWasCreated) {
    const struct {
        const wchar_t* script;
        DWORD result;
        bool created;
        const wchar_t* name;
    } cases[] = {
        {L"accept", 0, true, L"zet-internet"},
        {L"rename:zet-work", 0, true, L"zet-work"},
        {L"cancel", 0, false, L""},
        {L"fail:720", 720, false, L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.script));
        ResetStandIn();
        SetVariable(L"LINKMEND_RAS_WIZARD", c.script);
        WindowWatcher watcher;
        wchar_t name[RAS_MaxEntryName + 1] = {};
        bool created = !c.created;
        EXPECT_EQ(RunEntryWizard(L"zet-internet", name, &created), c.result);
        watcher.Stop();
        EXPECT_EQ(created, c.created);
        EXPECT_STREQ(name, c.name);
    }
}

} // namespace
