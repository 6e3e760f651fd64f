// The shared pieces of the connection tests: phonebook access and the window watcher.
#include "standin_fixture.h"

#include "box_recorder.h"
#include "driver.h"
#include "phonebook.h"
#include "test_paths.h"
#include "wizard.h"

namespace {

// Window enumeration hands its context as an integer (NOLINTBEGIN(performance-no-int-to-ptr)).

Keys KeysOf(const std::vector<IniSection>& sections, const std::wstring& name) {
    Keys keys;
    for (const IniSection& section : sections)
        if (section.name == name) keys.insert(section.keys.begin(), section.keys.end());
    return keys;
}

struct Search {
    DWORD processId;
    HWND found;
};

// A visible, enabled dialog-class window of the process: a box, or the wizard while no box of
// its own disables it.
BOOL CALLBACK FindAnswerable(HWND window, LPARAM context) {
    Search* search = reinterpret_cast<Search*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (owner != search->processId || !IsWindowVisible(window) || !IsWindowEnabled(window) ||
        wcscmp(name, L"#32770") != 0)
        return TRUE;
    search->found = window;
    return FALSE;
}

HWND FindAnswerable() {
    Search search{GetCurrentProcessId(), nullptr};
    EnumWindows(FindAnswerable, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// NOLINTEND(performance-no-int-to-ptr)

} // namespace

void SetVariable(const wchar_t* name, const wchar_t* value) {
    SetEnvironmentVariableW(name, value);
}

void ResetStandIn() {
    DeleteFileW(DefaultPhonebookPath().c_str());
    DeleteFileW(CredentialStorePath().c_str());
    SetVariable(L"LINKMEND_RAS_WIZARD", nullptr);
    SetVariable(L"LINKMEND_RAS_ENTRY_SIZE", nullptr);
}

Keys PhonebookSection(const std::wstring& name) {
    return KeysOf(ReadIniFile(DefaultPhonebookPath()), name);
}

Keys CredentialSection(const std::wstring& name) {
    return KeysOf(ReadIniFile(CredentialStorePath()), name);
}

std::vector<std::wstring> PhonebookEntries() {
    std::vector<std::wstring> names;
    for (const IniSection& section : ReadIniFile(DefaultPhonebookPath()))
        names.push_back(section.name);
    return names;
}

std::string PhonebookText() {
    return ReadWholeFile(Narrow(DefaultPhonebookPath()));
}

Keys NewEntryKeys() {
    return {{L"Encoding", L"1"},
            {L"Type", L"5"},
            {L"DeviceType", L"PPPoE"},
            {L"Device", L"WAN Miniport (PPPoE)"},
            {L"IpPrioritizeRemote", L"1"},
            {L"IpHeaderCompression", L"1"},
            {L"SwCompression", L"1"},
            {L"PreviewUserPw", L"1"},
            {L"ShowDialingProgress", L"1"},
            {L"ShowMonitorIconInTaskBar", L"1"},
            {L"IpNameAssign", L"1"},
            {L"IpDnsAddress", L"0.0.0.0"},
            {L"IpDns2Address", L"0.0.0.0"},
            {L"ExcludedProtocols", L"3"}};
}

WindowWatcher::WindowWatcher(std::vector<std::wstring> wizardNames)
    : wizardNames_(std::move(wizardNames)), thread_([this] { Watch(); }) {}

WindowWatcher::~WindowWatcher() {
    Stop();
}

std::vector<ShownBox> WindowWatcher::Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    return boxes_;
}

void WindowWatcher::AnswerWizard(HWND wizard) {
    std::wstring name = wizardsSeen_ < wizardNames_.size() ? wizardNames_[wizardsSeen_] : L"";
    ++wizardsSeen_;
    if (name.empty()) {
        driver::AnswerMessageBox(wizard, IDCANCEL);
        return;
    }
    driver::SetControlText(wizard, IDC_WIZARD_NAME, name);
    PostMessageW(GetDlgItem(wizard, IDOK), BM_CLICK, 0, 0);
    // The wizard either closes or warns about the name (which disables it); both end this answer.
    driver::WaitUntil([&] { return !IsWindowVisible(wizard) || !IsWindowEnabled(wizard); });
}

void WindowWatcher::Watch() {
    while (!stop_) {
        HWND window = FindAnswerable();
        if (window == nullptr) {
            Sleep(2);
            continue;
        }
        if (GetDlgItem(window, IDC_WIZARD_NAME) != nullptr) {
            AnswerWizard(window);
            continue;
        }
        SeenBox box = ReadBox(window);
        boxes_.push_back({box.caption, box.text, box.icon});
        driver::AnswerMessageBox(window, IDOK);
    }
}

std::string Narrow(const std::wstring& text) {
    int count = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(count), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &narrow[0], count, nullptr, nullptr);
    narrow.resize(narrow.empty() ? 0 : narrow.size() - 1);
    return narrow;
}

std::string Describe(const std::vector<ShownBox>& boxes) {
    std::string text;
    for (const ShownBox& box : boxes)
        text += "[" + Narrow(box.caption) + "] " + Narrow(box.text) + "\n";
    return text;
}
