// The error box: the code as a signed number with the system's text, the thread's last error
// when no code is given, and a text of its own when the system has none for a code.
#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

#include "driver.h"
#include "system_error.h"

namespace {

// Shows the box for `code` (or the last error, `lastError`) and reads it from a second thread.
driver::MessageBoxInfo ShowAndRead(const DWORD* code, DWORD lastError) {
    driver::MessageBoxInfo info;
    std::thread reader([&] {
        driver::Program self;
        self.processId = GetCurrentProcessId();
        HWND box = driver::WaitForMessageBox(self);
        if (box == nullptr) return;
        info = driver::ReadMessageBox(box);
        driver::AnswerMessageBox(box, IDOK);
    });
    SetLastError(lastError);
    ShowSystemError(code);
    reader.join();
    return info;
}

struct Case {
    DWORD code;
    const wchar_t* start; // what the text must begin with
    bool systemText;      // whether the system's own text follows
};

const Case kCases[] = {
    {ERROR_FILE_NOT_FOUND, L"Error 2: ", true},
    {ERROR_ACCESS_DENIED, L"Error 5: ", true},
    {0xE0000001, L"Error -536870911: ", false}, // a code with no system text, shown signed
    {0x2000FFFF, L"Error 536936447: ", false},
};

TEST(ShowSystemError, ShowsTheCodeAndTheSystemsTextInAnOwnerlessErrorBox) {
    for (const Case& test : kCases) {
        SCOPED_TRACE(test.start);
        const driver::MessageBoxInfo info = ShowAndRead(&test.code, 0);
        EXPECT_EQ(info.caption, L"Ошибка");
        EXPECT_EQ(info.buttons, std::vector<int>{IDOK});
        ASSERT_EQ(info.text.compare(0, wcslen(test.start), test.start), 0) << info.text.c_str();
        const std::wstring rest = info.text.substr(wcslen(test.start));
        if (test.systemText) {
            EXPECT_GT(rest.size(), 2u);
            EXPECT_NE(rest, L"неизвестная ошибка\r\n");
        } else {
            EXPECT_EQ(rest, L"неизвестная ошибка\r\n");
        }
    }
}

TEST(ShowSystemError, NoCodeMeansTheThreadsLastError) {
    const driver::MessageBoxInfo info = ShowAndRead(nullptr, ERROR_ACCESS_DENIED);
    EXPECT_EQ(info.text.compare(0, 9, L"Error 5: "), 0) << info.text.c_str();
}

} // namespace
