// Reads message boxes with their owner and icon, and answers this process's boxes from a
// watcher thread through the dialog driver.
#include "box_recorder.h"

#include "driver.h"

namespace {

// The system icon a box shows: its SS_ICON static holds the shared icon of that id.
// EnumChildWindows hands the callback a pointer as an LPARAM, and the icon ids are integers
// cast to pointers: the casts are the interface's own (NOLINTBEGIN(performance-no-int-to-ptr)).
BOOL CALLBACK FindIcon(HWND child, LPARAM param) {
    auto* icon = reinterpret_cast<LPCWSTR*>(param);
    if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) return TRUE;
    const auto shown = reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0));
    for (LPCWSTR id : {IDI_ERROR, IDI_INFORMATION, IDI_QUESTION, IDI_WARNING}) {
        if (shown != nullptr && shown == LoadIconW(nullptr, id)) *icon = id;
    }
    return TRUE;
}
// NOLINTEND(performance-no-int-to-ptr)

} // namespace

SeenBox ReadBox(HWND box) {
    const driver::MessageBoxInfo info = driver::ReadMessageBox(box);
    SeenBox seen{info.text, info.caption, GetWindow(box, GW_OWNER), nullptr};
    EnumChildWindows(box, FindIcon, reinterpret_cast<LPARAM>(&seen.icon));
    return seen;
}

BoxRecorder::BoxRecorder(std::vector<int> answers)
    : answers_(std::move(answers)), watcher_([this] { Watch(); }) {}

BoxRecorder::~BoxRecorder() {
    Stop();
}

std::vector<SeenBox> BoxRecorder::Stop() {
    stop_ = true;
    if (watcher_.joinable()) watcher_.join();
    return seen_;
}

void BoxRecorder::Watch() {
    driver::Program self;
    self.processId = GetCurrentProcessId();
    while (!stop_) {
        HWND box = driver::WaitForMessageBox(self, 20);
        if (box == nullptr) continue;
        seen_.push_back(ReadBox(box));
        const std::size_t index = seen_.size() - 1;
        driver::AnswerMessageBox(box, index < answers_.size() ? answers_[index] : IDOK);
    }
}
