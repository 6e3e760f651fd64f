// The endpoint settings in process against the real registry, for what the program driven from
// outside cannot show: the record's fields, the boxes' owners and icons, values of odd types and
// sizes, the order of the writes and writes that fail. dialog_test.cpp drives the program itself.
#include "endpoints.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "adapter_registry.h"
#include "box_recorder.h"
#include "expectations.h"
#include "import_patch.h"
#include "resource.h"

namespace {

// Every RegSetValueExW the code makes while a WriteWatch exists, optionally failing one value.
struct WriteWatch {
    explicit WriteWatch(const wchar_t* failing = nullptr);
    ~WriteWatch();
    std::vector<std::wstring> names;
    const wchar_t* failing;
    ImportPatch patch;
};

WriteWatch* gWatch = nullptr;

LONG WINAPI WatchedSetValue(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE* data,
                            DWORD size) {
    gWatch->names.push_back(name != nullptr ? name : L"");
    if (gWatch->failing != nullptr && lstrcmpW(name, gWatch->failing) == 0) {
        return ERROR_ACCESS_DENIED;
    }
    auto original = reinterpret_cast<decltype(&RegSetValueExW)>(gWatch->patch.original());
    return original(key, name, reserved, type, data, size);
}

WriteWatch::WriteWatch(const wchar_t* failing)
    : failing(failing),
      patch("advapi32.dll", "RegSetValueExW", reinterpret_cast<void*>(&WatchedSetValue)) {
    gWatch = this;
}

WriteWatch::~WriteWatch() {
    gWatch = nullptr;
}

// A window with the count box, standing in for the main dialog, and the record the dialog
// controller would keep for it.
class WanRegistry : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetAdapterClass();
        window_ = CreateWindowExW(0, L"STATIC", L"linkmend", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                                  nullptr, nullptr, nullptr, nullptr);
        CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_NUMBER, 0, 0, 60, 20, window_,
                        reinterpret_cast<HMENU>(IDC_ENDPOINTS), nullptr, nullptr);
    }

    void TearDown() override {
        if (record_ != nullptr && record_->adapterKey != nullptr) {
            RegCloseKey(record_->adapterKey);
        }
        delete record_;
        record_ = nullptr;
        DestroyWindow(window_);
        RemoveAdapterClass();
    }

    // Opens the dialog's endpoint settings as the controller does at WM_INITDIALOG.
    std::vector<SeenBox> Open() {
        BoxRecorder boxes;
        record_ = new WanEndpointState;
        CreateEndpointState(window_, *record_);
        return boxes.Stop();
    }

    // Types `text` into the count box and presses "Применить".
    std::vector<SeenBox> Apply(const wchar_t* text) {
        SetDlgItemTextW(window_, IDC_ENDPOINTS, text);
        BoxRecorder boxes;
        ApplyEndpointCount(window_, *record_);
        return boxes.Stop();
    }

    std::vector<SeenBox> Scan(bool* found, DWORD* wan, DWORD* max) {
        BoxRecorder boxes;
        HKEY key = nullptr;
        *found = FindPppoeMiniportKey(&key, wan, max);
        EXPECT_EQ(key != nullptr, *found);
        if (key != nullptr) RegCloseKey(key);
        return boxes.Stop();
    }

    std::wstring CountText() const {
        wchar_t text[64] = {};
        GetDlgItemTextW(window_, IDC_ENDPOINTS, text, 64);
        return text;
    }

    void ExpectSuccessBox(const std::vector<SeenBox>& boxes) const {
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, kSuccessText);
        EXPECT_EQ(boxes[0].caption, L"");
        EXPECT_EQ(boxes[0].owner, window_);
        EXPECT_EQ(boxes[0].icon, IDI_INFORMATION);
    }

    void ExpectAdministratorBox(const SeenBox& box) const {
        EXPECT_EQ(box.text, kAdministratorText);
        EXPECT_EQ(box.caption, L"Ошибка");
        EXPECT_EQ(box.owner, window_);
        EXPECT_EQ(box.icon, IDI_ERROR);
    }

    HWND window_ = nullptr;
    WanEndpointState* record_ = nullptr;
};

// ---- The scan when the dialog opens

TEST_F(WanRegistry, AdapterAfterThreeOtherAdaptersIsFoundWithoutABox) {
    AddOtherAdapters(3);
    AddPppoeMiniport(3, 2, 3);
    AddPppoeMiniport(4, 9, 9); // after the adapter: never looked at
    const std::vector<SeenBox> boxes = Open();
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(CountText(), L"2");
    ASSERT_NE(record_->adapterKey, nullptr);
    EXPECT_EQ(record_->dialog, window_);
    EXPECT_EQ(record_->countEditId, IDC_ENDPOINTS);
    EXPECT_EQ(record_->oldWanEndpoints, 2u);
    EXPECT_EQ(record_->oldMaxWanEndpoints, 3u);
    EXPECT_EQ(record_->newWanEndpoints, 2u);
    EXPECT_EQ(record_->newMaxWanEndpoints, 3u);
    // The key kept open is the adapter's, for reading only.
    DWORD value = 0;
    DWORD size = sizeof value;
    EXPECT_EQ(RegQueryValueExW(record_->adapterKey, L"WanEndpoints", nullptr, nullptr,
                               reinterpret_cast<BYTE*>(&value), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExW(record_->adapterKey, L"WanEndpoints", 0, REG_DWORD,
                             reinterpret_cast<const BYTE*>(&value), sizeof value),
              ERROR_ACCESS_DENIED);
}

TEST_F(WanRegistry, WithoutTheAdapterOneSystemErrorBoxAndZero) {
    AddOtherAdapters(3);
    const std::vector<SeenBox> boxes = Open();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(IsSystemErrorBox(boxes[0], ERROR_FILE_NOT_FOUND)) << boxes[0].text.size();
    EXPECT_EQ(boxes[0].icon, IDI_ERROR);
    EXPECT_EQ(CountText(), L"0");
    EXPECT_EQ(record_->adapterKey, nullptr);
    EXPECT_EQ(record_->oldWanEndpoints, 0u);
    EXPECT_EQ(record_->oldMaxWanEndpoints, 0u);
    EXPECT_EQ(record_->newWanEndpoints, 0u);
    EXPECT_EQ(record_->newMaxWanEndpoints, 0u);
}

TEST_F(WanRegistry, CountIsShownAsReadWhateverItsLength) {
    const DWORD cases[] = {150, 4294967295u, 0};
    for (DWORD count : cases) {
        ResetAdapterClass();
        AddPppoeMiniport(0, count, 3);
        EXPECT_TRUE(Open().empty());
        EXPECT_EQ(CountText(), std::to_wstring(count));
        TearDown();
        SetUp();
    }
}

TEST_F(WanRegistry, ComponentIdMustBeTheExactTextThatFitsWhateverItsType) {
    struct Case {
        const char* what;
        DWORD type;
        std::wstring data;
        DWORD bytes; // 0: the whole data; else the first bytes (no terminator is added)
        bool found;
    };
    const std::wstring id = L"ms_pppoeminiport";
    const std::wstring nul(1, L'\0');
    const Case cases[] = {
        {"exact", REG_SZ, id + nul, 0, true},
        {"upper case", REG_SZ, L"MS_PPPOEMINIPORT" + nul, 0, false},
        {"longer", REG_SZ, id + L"2" + nul, 0, false},
        {"stored without terminator", REG_SZ, id + L"Z", 32, true},
        {"terminated early", REG_SZ, L"ms_pppoe" + nul + L"miniport" + nul, 0, false},
        {"254 bytes fit", REG_SZ, id + nul + std::wstring(300, L'x'), 254, true},
        {"255 bytes fit", REG_SZ, id + nul + std::wstring(300, L'x'), 255, true},
        {"256 bytes do not fit", REG_SZ, id + nul + std::wstring(300, L'x'), 256, false},
        {"long value", REG_SZ, id + nul + std::wstring(300, L'x'), 0, false},
        {"binary", REG_BINARY, id + nul, 0, true},
        {"expandable string", REG_EXPAND_SZ, id + nul, 0, true},
        {"empty", REG_SZ, L"", 0, false},
    };
    for (const Case& c : cases) {
        ResetAdapterClass();
        const DWORD bytes =
            c.bytes != 0 ? c.bytes : static_cast<DWORD>(c.data.size() * sizeof(wchar_t));
        InstanceKey(0)
            .Raw(L"ComponentId", c.type, c.data.c_str(), bytes)
            .Dword(L"WanEndpoints", 2)
            .Dword(L"MaxWanEndpoints", 3);
        bool found = false;
        DWORD wan = 0;
        DWORD max = 0;
        const std::vector<SeenBox> boxes = Scan(&found, &wan, &max);
        EXPECT_EQ(found, c.found) << c.what;
        EXPECT_EQ(wan, c.found ? 2u : 0u) << c.what;
        // Not the adapter: the scan ends at the missing "0001".
        EXPECT_EQ(boxes.size(), c.found ? 0u : 1u) << c.what;
    }
}

TEST_F(WanRegistry, UnreadableMaxWanEndpointsIsShownAndTheScanGoesOn) {
    const BYTE eightBytes[8] = {4, 0, 0, 0, 0, 0, 0, 0};
    struct Case {
        const char* what;
        bool present;
        DWORD code;
    };
    const Case cases[] = {{"missing", false, ERROR_FILE_NOT_FOUND},
                          {"too long", true, ERROR_MORE_DATA}};
    for (const Case& c : cases) {
        ResetAdapterClass();
        InstanceKey adapter(0);
        adapter.String(L"ComponentId", L"ms_pppoeminiport").Dword(L"WanEndpoints", 2);
        if (c.present) adapter.Raw(L"MaxWanEndpoints", REG_BINARY, eightBytes, 8);
        bool found = false;
        DWORD wan = 0;
        DWORD max = 0;
        const std::vector<SeenBox> boxes = Scan(&found, &wan, &max);
        ASSERT_EQ(boxes.size(), 1u) << c.what;
        EXPECT_TRUE(IsSystemErrorBox(boxes[0], c.code)) << c.what << ": " << boxes[0].text.size();
        EXPECT_TRUE(found) << c.what;
        EXPECT_EQ(wan, 2u) << c.what;
        EXPECT_EQ(max, 0u) << c.what;
    }
}

TEST_F(WanRegistry, UnreadableWanEndpointsIsShownAndTheNextInstanceIsTried) {
    InstanceKey(0).String(L"ComponentId", L"ms_pppoeminiport").Dword(L"MaxWanEndpoints", 9);
    AddPppoeMiniport(1, 5, 6);
    bool found = false;
    DWORD wan = 0;
    DWORD max = 0;
    std::vector<SeenBox> boxes = Scan(&found, &wan, &max);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(IsSystemErrorBox(boxes[0], ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(found);
    EXPECT_EQ(wan, 5u);
    EXPECT_EQ(max, 6u); // both counts from the one instance found

    // With no other instance the scan ends at the next number with a second box.
    ResetAdapterClass();
    InstanceKey(0).String(L"ComponentId", L"ms_pppoeminiport").Dword(L"MaxWanEndpoints", 9);
    boxes = Open();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_TRUE(IsSystemErrorBox(boxes[0], ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(IsSystemErrorBox(boxes[1], ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(CountText(), L"0");
    EXPECT_EQ(record_->adapterKey, nullptr);
    EXPECT_EQ(record_->oldMaxWanEndpoints, 0u);
}

TEST_F(WanRegistry, WanEndpointsOfOtherSizesIsReadSafely) {
    // Shorter data is the low bytes of the count; longer data does not fit and is not read.
    const BYTE twoBytes[2] = {5, 0};
    const BYTE eightBytes[8] = {1, 0, 0, 0, 1, 0, 0, 0};
    InstanceKey(0)
        .String(L"ComponentId", L"ms_pppoeminiport")
        .Raw(L"WanEndpoints", REG_BINARY, twoBytes, 2)
        .Dword(L"MaxWanEndpoints", 3);
    EXPECT_TRUE(Open().empty());
    EXPECT_EQ(CountText(), L"5");
    TearDown();
    SetUp();
    InstanceKey(0)
        .String(L"ComponentId", L"ms_pppoeminiport")
        .Raw(L"WanEndpoints", REG_BINARY, eightBytes, 8)
        .Dword(L"MaxWanEndpoints", 3);
    const std::vector<SeenBox> boxes = Open();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_TRUE(IsSystemErrorBox(boxes[0], ERROR_MORE_DATA));
    EXPECT_TRUE(IsSystemErrorBox(boxes[1], ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(CountText(), L"0");
}

// ---- "Применить"

TEST_F(WanRegistry, MaxWanEndpointsIsWrittenBeforeWanEndpoints) {
    AddPppoeMiniport(0, 2, 3);
    ASSERT_TRUE(Open().empty());
    const WriteWatch watch;
    ASSERT_TRUE(watch.patch.active());
    ExpectSuccessBox(Apply(L"6"));
    EXPECT_EQ(watch.names, (std::vector<std::wstring>{L"MaxWanEndpoints", L"WanEndpoints"}));
}

TEST_F(WanRegistry, FailedWritesShowOnlyTheAdministratorBox) {
    struct Case {
        const wchar_t* failing;
        std::vector<std::wstring> attempted;
        DWORD storedMax; // MaxWanEndpoints is already written when WanEndpoints fails
    };
    const Case cases[] = {
        {L"MaxWanEndpoints", {L"MaxWanEndpoints"}, 3},
        {L"WanEndpoints", {L"MaxWanEndpoints", L"WanEndpoints"}, 8},
    };
    for (const Case& c : cases) {
        ResetAdapterClass();
        AddPppoeMiniport(0, 2, 3);
        ASSERT_TRUE(Open().empty());
        std::vector<SeenBox> boxes;
        {
            const WriteWatch watch(c.failing);
            ASSERT_TRUE(watch.patch.active());
            boxes = Apply(L"8");
            EXPECT_EQ(watch.names, c.attempted);
        }
        ASSERT_EQ(boxes.size(), 1u);
        ExpectAdministratorBox(boxes[0]);
        ExpectStoredCounts(0, 2, c.storedMax);
        EXPECT_EQ(record_->newWanEndpoints, 8u); // a failed write still counts as a change
        TearDown();
        SetUp();
    }
}

TEST_F(WanRegistry, WithoutTheAdapterApplyWritesNothingAnywhere) {
    AddOtherAdapters(2);
    ASSERT_EQ(Open().size(), 1u);
    std::vector<SeenBox> boxes;
    {
        const WriteWatch watch;
        ASSERT_TRUE(watch.patch.active());
        boxes = Apply(L"3");
        EXPECT_TRUE(watch.names.empty());
    }
    ASSERT_EQ(boxes.size(), 1u);
    ExpectAdministratorBox(boxes[0]);
    ExpectStoredCounts(0, 7, 7);
    ExpectStoredCounts(1, 7, 7);
    EXPECT_EQ(record_->newWanEndpoints, 3u);
}

} // namespace
