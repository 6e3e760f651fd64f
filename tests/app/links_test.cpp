// The contact links: a mouse click on each link opens its own address through the shell, and a
// link activated from the keyboard opens nothing. The prefix records what the shell opens.
#include <gtest/gtest.h>

#include <string>

#include "driver.h"
#include "resource.h"
#include "test_paths.h"

namespace {

const char kRecord[] = "C:\\opened.txt";

// Wine's browser launcher escapes an address before handing it on ("%20" for a space).
std::string Unescape(const std::string& text) {
    std::string plain;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            plain += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            plain += text[i];
        }
    }
    return plain;
}

// Lines the shell's browser and mailer were asked to open, so far.
std::string Opened() {
    return Unescape(ReadWholeFile(kRecord));
}

// Where a click hits the link inside a link control: the middle of the link's text, measured
// with the dialog's font.
POINT LinkPoint(HWND link) {
    const std::wstring markup = driver::WindowText(link);
    const size_t open = markup.find(L"<a");
    const size_t textStart = markup.find(L'>', open) + 1;
    const size_t textEnd = markup.find(L"</a>", textStart);
    const std::wstring before = markup.substr(0, open);
    const std::wstring text = markup.substr(textStart, textEnd - textStart);

    HDC dc = CreateCompatibleDC(nullptr);
    const int height = -MulDiv(8, GetDeviceCaps(dc, LOGPIXELSY), 72);
    HFONT font = CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0,
                             0, 0, L"MS Shell Dlg");
    HGDIOBJ old = SelectObject(dc, font);
    SIZE beforeSize = {}, textSize = {};
    GetTextExtentPoint32W(dc, before.c_str(), static_cast<int>(before.size()), &beforeSize);
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &textSize);
    SelectObject(dc, old);
    DeleteObject(font);
    DeleteDC(dc);

    RECT client = {};
    GetClientRect(link, &client);
    return {beforeSize.cx + textSize.cx / 2, client.bottom / 2};
}

struct Link {
    int id;
    const char* address;
};

const Link kLinks[] = {
    {IDC_LINK_AUTHOR_MAIL, "mailto:author@example.com?subject=linkmend v.2.03"},
    {IDC_LINK_LOCAL_FORUM, "http://lan.example/forum/viewtopic.php?f=9&t=15"},
    {IDC_LINK_AUTHOR_FORUM, "http://www.example.net/forum/viewtopic.php?f=9&t=15"},
    {IDC_LINK_FRIEND_MAIL, "mailto:pc@example.org"},
};

class Links : public ::testing::Test {
  protected:
    void SetUp() override {
        DeleteFileA(kRecord);
        ASSERT_TRUE(driver::Start(program));
        dialog = driver::WaitForMainDialog(program);
        ASSERT_NE(dialog, nullptr);
    }
    void TearDown() override { driver::Stop(program); }

    // Clicks the link and waits until the recorder holds one more line than before.
    std::string ClickAndRecord(int id, const std::string& before) {
        HWND link = GetDlgItem(dialog, id);
        const POINT point = LinkPoint(link);
        driver::ClickAt(link, point.x, point.y);
        std::string after;
        driver::WaitUntil([&] {
            after = Opened();
            return after.size() > before.size() && after.back() == '\n';
        });
        return after;
    }

    driver::Program program;
    HWND dialog = nullptr;
};

TEST_F(Links, EachClickOpensItsOwnAddress) {
    std::string expected;
    for (const Link& link : kLinks) {
        SCOPED_TRACE(link.address);
        const std::string opened = ClickAndRecord(link.id, expected);
        expected += std::string(link.address) + "\n";
        ASSERT_EQ(opened, expected);
    }
}

TEST_F(Links, KeyboardActivationOpensNothing) {
    // Enter on each link first; then one click, whose address must be the only one recorded.
    for (const Link& link : kLinks) {
        HWND control = GetDlgItem(dialog, link.id);
        PostMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
        ASSERT_TRUE(driver::Settle(dialog));
        ASSERT_EQ(driver::FocusedControl(program), control);
        driver::PressKey(program, VK_RETURN);
        ASSERT_TRUE(driver::Settle(dialog));
    }
    EXPECT_EQ(ClickAndRecord(IDC_LINK_FRIEND_MAIL, ""), "mailto:pc@example.org\n");
}

} // namespace
