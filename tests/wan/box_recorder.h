// Records the message boxes this process shows while a piece of dialog code runs, and answers
// them from a watcher thread, so that the code's own modal loops return.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

struct SeenBox {
    std::wstring text;
    std::wstring caption;
    HWND owner;   // null for an ownerless box
    LPCWSTR icon; // IDI_ERROR, IDI_INFORMATION, IDI_QUESTION, IDI_WARNING; null when none or
                  // when the box belongs to another process (icon handles are per process)
};

// A box as the user sees it: text, caption, owner and icon.
SeenBox ReadBox(HWND box);

// Watches from construction to Stop(); every box is answered with the next of `answers` (a
// button id such as IDOK or IDNO), or IDOK once they are used up.
class BoxRecorder {
  public:
    explicit BoxRecorder(std::vector<int> answers = {});
    ~BoxRecorder();
    BoxRecorder(const BoxRecorder&) = delete;
    BoxRecorder& operator=(const BoxRecorder&) = delete;

    // Ends the watch and returns the boxes seen, in order.
    std::vector<SeenBox> Stop();

  private:
    void Watch();

    std::vector<int> answers_;
    std::vector<SeenBox> seen_;
    std::atomic<bool> stop_{false};
    std::thread watcher_;
};
