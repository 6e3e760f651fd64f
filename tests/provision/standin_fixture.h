// What the connection tests share: a clean stand-in phonebook, its sections as key maps, and a
// watcher that answers the stand-in wizard and the message boxes this process shows.
#pragma once

#include <windows.h>

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using Keys = std::map<std::wstring, std::wstring>;

// Removes the phonebook and the credential store and clears the stand-in's test variables.
void ResetStandIn();
// Sets (or, with null, clears) an environment variable of this process.
void SetVariable(const wchar_t* name, const wchar_t* value);

// The keys of one section of the phonebook or of the credential store; empty when absent.
Keys PhonebookSection(const std::wstring& name);
Keys CredentialSection(const std::wstring& name);
// The names of the phonebook's sections, in file order.
std::vector<std::wstring> PhonebookEntries();
// The phonebook file as it lies on disk; empty when there is none.
std::string PhonebookText();

// The keys of the entry a broadband wizard creates.
Keys NewEntryKeys();

// A message box as the user saw it.
struct ShownBox {
    std::wstring caption;
    std::wstring text;
    LPCWSTR icon; // IDI_ERROR, IDI_INFORMATION, IDI_WARNING or null
};

// From construction to Stop, answers the windows this process shows: each time the stand-in
// wizard appears it takes the next of `wizardNames` and presses Готово (an empty name, or none
// left, presses Отмена); every other box is recorded and closed with OK.
class WindowWatcher {
  public:
    explicit WindowWatcher(std::vector<std::wstring> wizardNames = {});
    ~WindowWatcher();
    WindowWatcher(const WindowWatcher&) = delete;
    WindowWatcher& operator=(const WindowWatcher&) = delete;

    // Ends the watch; the boxes seen, in order.
    std::vector<ShownBox> Stop();

  private:
    void Watch();
    void AnswerWizard(HWND wizard);

    std::vector<std::wstring> wizardNames_;
    size_t wizardsSeen_ = 0;
    std::vector<ShownBox> boxes_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// Readable output for failed comparisons.
std::string Narrow(const std::wstring& text);
std::string Describe(const std::vector<ShownBox>& boxes);
