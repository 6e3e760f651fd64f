// linkmend.exe driven as a user would under Wine, against the registry this test prepares: the
// count the dialog shows, what "Применить" writes and reports, and the restart question on
// closing (answered "No" here; the real restart has its own throwaway prefix and script).
// The boxes' icons are checked in process by the registry test: icon handles are per process.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "adapter_registry.h"
#include "box_recorder.h"
#include "driver.h"
#include "expectations.h"
#include "resource.h"

namespace {

const wchar_t kCaption[] = L"linkmend v2.03";
const wchar_t kRunOnce[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

bool IsAdministratorBox(const SeenBox& box, HWND dialog) {
    return box.text == kAdministratorText && box.caption == L"Ошибка" && box.owner == dialog;
}

class WanDialog : public ::testing::Test {
  protected:
    void SetUp() override { ResetAdapterClass(); }

    void TearDown() override {
        driver::Stop(program_);
        RemoveAdapterClass();
    }

    // A visible box of the program other than its dialog, or null.
    HWND ShownBox() const { return driver::WaitForMessageBox(program_, 0); }

    // Starts the program; the boxes shown before its dialog appears are recorded and closed.
    std::vector<SeenBox> Start() {
        std::vector<SeenBox> boxes;
        if (!driver::Start(program_)) return boxes;
        while (program_.dialog == nullptr) {
            HWND window = driver::WaitForMessageBox(program_);
            if (window == nullptr) break;
            if (driver::WindowText(window) == kCaption) {
                program_.dialog = window;
            } else {
                boxes.push_back(ReadBox(window));
                driver::AnswerMessageBox(window, IDOK);
            }
        }
        EXPECT_NE(program_.dialog, nullptr) << "no dialog";
        return boxes;
    }

    // Records and answers (OK) the boxes the program shows until it has nothing left to do.
    std::vector<SeenBox> AnswerBoxes() {
        std::vector<SeenBox> boxes;
        while (driver::Settle(program_.dialog)) {
            HWND box = ShownBox();
            if (box == nullptr) break;
            boxes.push_back(ReadBox(box));
            driver::AnswerMessageBox(box, IDOK);
        }
        return boxes;
    }

    // Types `text` into the count box and presses "Применить".
    std::vector<SeenBox> Apply(const wchar_t* text) {
        driver::SetControlText(program_.dialog, IDC_ENDPOINTS, text);
        driver::Click(program_.dialog, IDC_APPLY);
        return AnswerBoxes();
    }

    void ExpectSuccess(const std::vector<SeenBox>& boxes) const {
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, kSuccessText);
        EXPECT_EQ(boxes[0].caption, L"");
        EXPECT_EQ(boxes[0].owner, program_.dialog);
    }

    // Presses Esc; a restart question is answered with `answer` and returned. The program must
    // then end by itself with exit code 0.
    std::vector<SeenBox> Close(int answer) {
        std::vector<SeenBox> boxes;
        driver::PressKey(program_, VK_ESCAPE);
        HWND box = nullptr;
        driver::WaitUntil([&] {
            box = ShownBox();
            return box != nullptr || WaitForSingleObject(program_.process, 0) == WAIT_OBJECT_0;
        });
        if (box != nullptr) {
            boxes.push_back(ReadBox(box));
            driver::AnswerMessageBox(box, answer);
        }
        DWORD exitCode = 1;
        EXPECT_TRUE(driver::WaitForExit(program_, &exitCode));
        EXPECT_EQ(exitCode, 0u);
        return boxes;
    }

    std::wstring Count() const { return driver::ControlText(program_.dialog, IDC_ENDPOINTS); }

    driver::Program program_;
};

// ---- What the dialog shows when it opens

TEST_F(WanDialog, AdapterAfterThreeOtherAdaptersIsShownWithoutABox) {
    AddOtherAdapters(3);
    AddPppoeMiniport(3, 2, 3);
    EXPECT_TRUE(Start().empty());
    EXPECT_EQ(Count(), L"2");
    EXPECT_EQ(ShownBox(), nullptr);
    EXPECT_TRUE(Close(IDNO).empty());
}

TEST_F(WanDialog, WithoutTheAdapterOneSystemErrorBoxThenZero) {
    AddOtherAdapters(3);
    const std::vector<SeenBox> boxes = Start();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(IsSystemErrorBox(boxes[0], ERROR_FILE_NOT_FOUND)) << boxes[0].text.size();
    EXPECT_EQ(Count(), L"0");
}

TEST_F(WanDialog, UpperCaseComponentIdIsNotTheAdapter) {
    InstanceKey(0)
        .String(L"ComponentId", L"MS_PPPOEMINIPORT")
        .Dword(L"WanEndpoints", 2)
        .Dword(L"MaxWanEndpoints", 3);
    const std::vector<SeenBox> boxes = Start();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(IsSystemErrorBox(boxes[0], ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(Count(), L"0");
}

TEST_F(WanDialog, CountLongerThanTheBoxAdmitsIsShownAsRead) {
    AddPppoeMiniport(0, 150, 150);
    EXPECT_TRUE(Start().empty());
    EXPECT_EQ(Count(), L"150");
}

TEST_F(WanDialog, UnreadableMaxWanEndpointsGivesABoxAndTheCountIsStillShown) {
    InstanceKey(0).String(L"ComponentId", L"ms_pppoeminiport").Dword(L"WanEndpoints", 4);
    const std::vector<SeenBox> boxes = Start();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(IsSystemErrorBox(boxes[0], ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(Count(), L"4");
    ExpectSuccess(Apply(L"4"));
    ExpectStoredCounts(0, 4, 4);
}

// ---- "Применить" and the question on closing

TEST_F(WanDialog, ApplyWritesTheCountAndItsMaximum) {
    struct Case {
        const wchar_t* text;
        DWORD wan;
        DWORD max;
    };
    const Case cases[] = {
        {L"2", 2, 3},    {L"4", 4, 4},
        {L"10", 10, 10}, {L"", 0, 3},
        {L"0", 0, 3},    {L"  -5x", 4294967291u, 4294967291u},
        {L"+7", 7, 7},   {L"99999999999", 2147483647u, 2147483647u},
    };
    AddPppoeMiniport(0, 2, 3);
    EXPECT_TRUE(Start().empty());
    for (const Case& c : cases) {
        ExpectSuccess(Apply(c.text));
        ExpectStoredCounts(0, c.wan, c.max);
    }
    // The last count differs from the one read: closing asks, and "No" closes as usual.
    const std::vector<SeenBox> question = Close(IDNO);
    ASSERT_EQ(question.size(), 1u);
    EXPECT_EQ(question[0].text, kRestartQuestion);
    EXPECT_EQ(question[0].caption, L"");
}

TEST_F(WanDialog, AnsweringNoToTheRestartClosesWithoutRestarting) {
    // A restart would run (and remove) this RunOnce entry and end every program of the prefix.
    HKEY runOnce = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kRunOnce, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &runOnce, nullptr),
              ERROR_SUCCESS);
    const wchar_t command[] = L"cmd /c exit";
    RegSetValueExW(runOnce, L"linkmend-test", 0, REG_SZ, reinterpret_cast<const BYTE*>(command),
                   sizeof command);
    AddPppoeMiniport(0, 2, 3);
    EXPECT_TRUE(Start().empty());
    ExpectSuccess(Apply(L"5"));
    EXPECT_EQ(Close(IDNO).size(), 1u);
    EXPECT_EQ(RegQueryValueExW(runOnce, L"linkmend-test", nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    RegDeleteValueW(runOnce, L"linkmend-test");
    RegCloseKey(runOnce);
}

TEST_F(WanDialog, PressingApplyTwiceWritesAgainAndReportsEachTime) {
    AddPppoeMiniport(0, 2, 3);
    EXPECT_TRUE(Start().empty());
    ExpectSuccess(Apply(L"2"));
    InstanceKey(0).Dword(L"WanEndpoints", 9).Dword(L"MaxWanEndpoints", 9);
    ExpectSuccess(Apply(L"2"));
    ExpectStoredCounts(0, 2, 3);
    EXPECT_TRUE(Close(IDNO).empty()); // the count read was applied: no question
}

TEST_F(WanDialog, ApplyingAnotherCountThenTheOneReadAsksNothingOnClosing) {
    AddPppoeMiniport(0, 2, 3);
    EXPECT_TRUE(Start().empty());
    ExpectSuccess(Apply(L"6"));
    ExpectSuccess(Apply(L"2"));
    EXPECT_TRUE(Close(IDNO).empty());
}

TEST_F(WanDialog, FailedWriteOfAnotherCountStillAsksOnClosing) {
    // The adapter's key can be read but not written, as for a user without administrator rights.
    AddPppoeMiniport(0, 2, 3);
    const KeyAccess readOnly(InstancePath(0), kReadOnlyAccess);
    ASSERT_TRUE(readOnly.applied());
    EXPECT_TRUE(Start().empty());
    const std::vector<SeenBox> boxes = Apply(L"5");
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_TRUE(IsSystemErrorBox(boxes[0], ERROR_ACCESS_DENIED)) << boxes[0].text.size();
    EXPECT_TRUE(IsAdministratorBox(boxes[1], program_.dialog));
    ExpectStoredCounts(0, 2, 3);
    const std::vector<SeenBox> question = Close(IDNO);
    ASSERT_EQ(question.size(), 1u);
    EXPECT_EQ(question[0].text, kRestartQuestion);
}

// ---- Without administrator rights: keys whose access is denied

TEST_F(WanDialog, ClassKeyWithoutFullAccessShowsZeroAndApplyOnlyTheAdministratorBox) {
    AddPppoeMiniport(0, 2, 3);
    const KeyAccess readOnly(kAdapterClass, kReadOnlyAccess);
    ASSERT_TRUE(readOnly.applied());
    EXPECT_TRUE(Start().empty());
    EXPECT_EQ(Count(), L"0");
    const std::vector<SeenBox> boxes = Apply(L"3");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(IsAdministratorBox(boxes[0], program_.dialog));
    ExpectStoredCounts(0, 2, 3);
}

TEST_F(WanDialog, InstanceKeyThatCannotBeOpenedShowsItsErrorAndZero) {
    AddOtherAdapters(1);
    AddPppoeMiniport(1, 2, 3);
    const KeyAccess closed(InstancePath(1), kNoAccess);
    ASSERT_TRUE(closed.applied());
    const std::vector<SeenBox> boxes = Start();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(IsSystemErrorBox(boxes[0], ERROR_ACCESS_DENIED));
    EXPECT_EQ(Count(), L"0");
}

} // namespace
