// The stand-in RAS DLLs called directly: the wizard's scripted and interactive answers, the
// size protocol of the entry properties with the record size of the Windows version the prefix
// reports (LINKMEND_WINVER; none is Wine's default, Windows 7), and where entries and
// credentials are kept.
#include "phonebook.h"
#include "standin_fixture.h"

#include <gtest/gtest.h>

#include <ras.h>
#include <rasdlg.h>
#include <raserror.h>

#include <cwchar>
#include <vector>

namespace {

// The RASENTRYW size the real system of the prefix's version reports.
DWORD ExpectedRecordSize() {
    const struct {
        const wchar_t* version;
        DWORD size;
    } sizes[] = {{L"winxp", 5616}, {L"win2003", 5616}, {L"vista", 5656}, {L"win10", 6724}};
    wchar_t version[16] = {};
    GetEnvironmentVariableW(L"LINKMEND_WINVER", version, 16);
    for (const auto& known : sizes)
        if (wcscmp(version, known.version) == 0) return known.size;
    return 5680;
}

// An entry record of the size the system reports: the XP layout and the later versions' tail.
struct EntryRecord {
    EntryRecord() { entry()->dwSize = static_cast<DWORD>(bytes.size()); }
    RASENTRYW* entry() { return reinterpret_cast<RASENTRYW*>(bytes.data()); }
    BYTE* tail() { return bytes.data() + sizeof(RASENTRYW); }
    size_t tailSize() const { return bytes.size() - sizeof(RASENTRYW); }
    std::vector<BYTE> bytes = std::vector<BYTE>(ExpectedRecordSize());
};

class RasStandIn : public ::testing::Test {
  protected:
    void SetUp() override { ResetStandIn(); }
    void TearDown() override { ResetStandIn(); }
};

// Runs the wizard for a new broadband entry with `proposal`.
BOOL RunWizard(const wchar_t* proposal, RASENTRYDLGW* info) {
    ZeroMemory(info, sizeof(RASENTRYDLGW));
    info->dwSize = sizeof(RASENTRYDLGW);
    info->dwFlags = RASEDFLAG_NewBroadbandEntry;
    return RasEntryDlgW(nullptr, const_cast<LPWSTR>(proposal), info);
}

void CreateEntry(const wchar_t* name) {
    SetVariable(L"LINKMEND_RAS_WIZARD", L"accept");
    RASENTRYDLGW info;
    ASSERT_TRUE(RunWizard(name, &info));
}

DWORD ReadEntry(const wchar_t* name, EntryRecord* record) {
    DWORD size = static_cast<DWORD>(record->bytes.size());
    return RasGetEntryPropertiesW(nullptr, name, record->entry(), &size, nullptr, nullptr);
}

DWORD WriteEntry(const wchar_t* name, EntryRecord* record) {
    return RasSetEntryPropertiesW(nullptr, name, record->entry(),
                                  static_cast<DWORD>(record->bytes.size()), nullptr, 0);
}

TEST_F(RasStandIn, ScriptedWizardCreatesRenamesCancelsAndFails) {
    const struct {
        const wchar_t* script;
        BOOL result;
        DWORD error;
        const wchar_t* entry; // the name in szEntry and the phonebook, or null for none
    } cases[] = {
        {L"accept", TRUE, 0, L"zet-internet"},
        {L"rename:zet-home", TRUE, 0, L"zet-home"},
        {L"cancel", FALSE, 0, nullptr},
        {L"fail:720", FALSE, 720, nullptr},
        {L"rename:.hidden", FALSE, ERROR_INVALID_NAME, nullptr},
        {L"rename:", FALSE, ERROR_INVALID_NAME, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.script));
        ResetStandIn();
        SetVariable(L"LINKMEND_RAS_WIZARD", c.script);
        RASENTRYDLGW info;
        EXPECT_EQ(RunWizard(L"zet-internet", &info), c.result);
        EXPECT_EQ(info.dwError, c.error);
        if (c.entry != nullptr) {
            EXPECT_STREQ(info.szEntry, c.entry);
            EXPECT_EQ(PhonebookEntries(), std::vector<std::wstring>{c.entry});
        } else {
            EXPECT_TRUE(PhonebookText().empty());
        }
    }
}

TEST_F(RasStandIn, NewBroadbandEntryGetsTheDefaultsOfARealOne) {
    CreateEntry(L"zet-internet");
    EXPECT_EQ(PhonebookSection(L"zet-internet"), NewEntryKeys());
    EXPECT_EQ(PhonebookText(), "[zet-internet]\r\nEncoding=1\r\nType=5\r\nDeviceType=PPPoE\r\n"
                               "Device=WAN Miniport (PPPoE)\r\nIpPrioritizeRemote=1\r\n"
                               "IpHeaderCompression=1\r\nSwCompression=1\r\nPreviewUserPw=1\r\n"
                               "ShowDialingProgress=1\r\nShowMonitorIconInTaskBar=1\r\n"
                               "IpNameAssign=1\r\nIpDnsAddress=0.0.0.0\r\nIpDns2Address=0.0.0.0\r\n"
                               "ExcludedProtocols=3\r\n");
    EntryRecord record;
    ASSERT_EQ(ReadEntry(L"zet-internet", &record), 0u);
    const RASENTRYW& entry = *record.entry();
    EXPECT_EQ(entry.dwType, static_cast<DWORD>(RASET_Broadband));
    EXPECT_STREQ(entry.szDeviceType, L"PPPoE");
    EXPECT_TRUE(entry.dwfOptions & RASEO_RemoteDefaultGateway);
    EXPECT_FALSE(entry.dwfOptions & RASEO_SpecificNameServers);
    EXPECT_EQ(entry.dwfNetProtocols, static_cast<DWORD>(RASNP_Ip | RASNP_Ipv6));
}

TEST_F(RasStandIn, WizardRefusesATakenNameAndAWrongRecordSize) {
    CreateEntry(L"zet-local");
    RASENTRYDLGW info;
    EXPECT_FALSE(RunWizard(L"ZET-LOCAL", &info));
    EXPECT_EQ(info.dwError, static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    // The 32-bit record's size, 548 bytes, is wrong for a 64-bit caller; any other size too.
    const DWORD sizes[] = {sizeof(RASENTRYDLGW) - 4, sizeof(RASENTRYDLGW) + 8, 548};
    for (DWORD size : sizes) {
        if (size == sizeof(RASENTRYDLGW)) continue;
        ZeroMemory(&info, sizeof info);
        info.dwSize = size;
        info.dwFlags = RASEDFLAG_NewBroadbandEntry;
        EXPECT_FALSE(RasEntryDlgW(nullptr, const_cast<LPWSTR>(L"zet-internet"), &info));
        EXPECT_EQ(info.dwError, static_cast<DWORD>(ERROR_INVALID_SIZE)) << size;
    }
    EXPECT_EQ(PhonebookEntries(), std::vector<std::wstring>{L"zet-local"});
}

TEST_F(RasStandIn, EntryPropertiesFollowTheSizeProtocolOfTheReportedVersion) {
    CreateEntry(L"zet-internet");
    const DWORD needed = ExpectedRecordSize();
    const DWORD otherVersion = needed == 5616 ? 5656 : 5616;
    const struct {
        const char* what;
        const wchar_t* name;
        bool buffer;
        DWORD dwSize;
        DWORD size;
        DWORD result;
        DWORD sizeAfter;
    } cases[] = {
        {"no buffer", L"zet-internet", false, 0, 0, ERROR_BUFFER_TOO_SMALL, needed},
        {"unknown entry", L"zet-nowhere", false, 0, 0, ERROR_CANNOT_FIND_PHONEBOOK_ENTRY, 0},
        {"short buffer", L"zet-internet", true, needed, 100, ERROR_BUFFER_TOO_SMALL, needed},
        {"wrong dwSize", L"zet-internet", true, needed - 4, needed, ERROR_INVALID_SIZE, needed},
        {"another version's dwSize", L"zet-internet", true, otherVersion, needed,
         ERROR_INVALID_SIZE, needed},
        {"right sizes", L"zet-internet", true, needed, needed, 0, needed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EntryRecord record;
        record.entry()->dwSize = c.dwSize;
        DWORD size = c.size;
        EXPECT_EQ(RasGetEntryPropertiesW(nullptr, c.name, c.buffer ? record.entry() : nullptr,
                                         &size, nullptr, nullptr),
                  c.result);
        EXPECT_EQ(size, c.sizeAfter);
    }
}

TEST_F(RasStandIn, ReportedEntrySizeCanBeReplacedForTests) {
    CreateEntry(L"zet-internet");
    SetVariable(L"LINKMEND_RAS_ENTRY_SIZE", L"0");
    DWORD size = 0;
    EXPECT_EQ(RasGetEntryPropertiesW(nullptr, L"zet-internet", nullptr, &size, nullptr, nullptr),
              static_cast<DWORD>(ERROR_BUFFER_TOO_SMALL));
    EXPECT_EQ(size, 0u);
}

TEST_F(RasStandIn, SetEntryPropertiesStoresTheChangedFieldsAndTheTail) {
    CreateEntry(L"zet-local");
    EntryRecord record;
    ASSERT_EQ(ReadEntry(L"zet-local", &record), 0u);
    RASENTRYW& entry = *record.entry();
    entry.dwfOptions &= ~static_cast<DWORD>(RASEO_RemoteDefaultGateway);
    entry.dwfOptions |= RASEO_SpecificNameServers;
    entry.dwfNetProtocols &= ~static_cast<DWORD>(RASNP_Ipv6);
    entry.ipaddrDns = {192, 0, 2, 53};
    entry.ipaddrDnsAlt = {198, 51, 100, 7};
    // The bytes past the XP layout are the system's own: whatever a caller leaves there is kept.
    for (size_t i = 0; i < record.tailSize(); ++i)
        record.tail()[i] = static_cast<BYTE>(0xA0 + i % 16);
    ASSERT_EQ(WriteEntry(L"zet-local", &record), 0u);

    Keys expected = NewEntryKeys();
    expected[L"IpPrioritizeRemote"] = L"0";
    expected[L"IpNameAssign"] = L"2";
    expected[L"IpDnsAddress"] = L"192.0.2.53";
    expected[L"IpDns2Address"] = L"198.51.100.7";
    expected[L"ExcludedProtocols"] = L"11";
    if (record.tailSize() > 0) {
        std::wstring tail;
        for (size_t i = 0; i < record.tailSize(); ++i) {
            tail += L'A';
            tail += L"0123456789ABCDEF"[i % 16];
        }
        expected[L"Tail"] = tail;
    }
    EXPECT_EQ(PhonebookSection(L"zet-local"), expected);
    EntryRecord again;
    ASSERT_EQ(ReadEntry(L"zet-local", &again), 0u);
    // Both records were zero-filled before they were read, padding included.
    EXPECT_EQ(again.bytes, record.bytes);

    entry.dwSize += 4;
    EXPECT_EQ(WriteEntry(L"zet-local", &record), static_cast<DWORD>(ERROR_INVALID_SIZE));
}

TEST_F(RasStandIn, CredentialsAreKeptApartFromTheEntry) {
    CreateEntry(L"zet-internet");
    RASCREDENTIALSW credentials = {};
    credentials.dwSize = sizeof credentials;
    credentials.dwMask = RASCM_UserName | RASCM_Password;
    lstrcpyW(credentials.szUserName, L"abonent-zet");
    lstrcpyW(credentials.szPassword, L"581302");
    EXPECT_EQ(RasSetCredentialsW(nullptr, L"zet-internet", &credentials, FALSE), 0u);
    EXPECT_EQ(CredentialSection(L"zet-internet"),
              (Keys{{L"UserName", L"abonent-zet"}, {L"Password", L"581302"}}));
    EXPECT_EQ(PhonebookSection(L"zet-internet"), NewEntryKeys());

    EXPECT_EQ(RasSetCredentialsW(nullptr, L"zet-nowhere", &credentials, FALSE),
              static_cast<DWORD>(ERROR_CANNOT_FIND_PHONEBOOK_ENTRY));
    credentials.dwSize = sizeof credentials - 2;
    EXPECT_EQ(RasSetCredentialsW(nullptr, L"zet-internet", &credentials, FALSE),
              static_cast<DWORD>(ERROR_INVALID_SIZE));
    credentials.dwSize = sizeof credentials;
    credentials.dwMask = RASCM_Password;
    EXPECT_EQ(RasSetCredentialsW(nullptr, L"zet-internet", &credentials, TRUE), 0u);
    EXPECT_EQ(CredentialSection(L"zet-internet"), (Keys{{L"UserName", L"abonent-zet"}}));
}

TEST_F(RasStandIn, WizardWindowProposesTheNameAndTakesTheUsersOwn) {
    // Готово with the name taken keeps the window open with a warning; the next name is free.
    CreateEntry(L"zet-internet");
    SetVariable(L"LINKMEND_RAS_WIZARD", nullptr);
    WindowWatcher watcher({L"zet-internet", L"zet-home"});
    RASENTRYDLGW info;
    EXPECT_TRUE(RunWizard(L"zet-internet", &info));
    std::vector<ShownBox> boxes = watcher.Stop();
    EXPECT_STREQ(info.szEntry, L"zet-home");
    ASSERT_EQ(boxes.size(), 1u) << Describe(boxes);
    EXPECT_EQ(boxes[0].text, L"Подключение с таким именем уже существует.");
    EXPECT_EQ(PhonebookEntries(), (std::vector<std::wstring>{L"zet-internet", L"zet-home"}));
}

TEST_F(RasStandIn, WizardWindowCancelCreatesNothing) {
    WindowWatcher watcher({L""});
    RASENTRYDLGW info;
    EXPECT_FALSE(RunWizard(L"zet-local", &info));
    EXPECT_EQ(info.dwError, 0u);
    EXPECT_TRUE(watcher.Stop().empty());
    EXPECT_TRUE(PhonebookText().empty());
}

} // namespace
