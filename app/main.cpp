// The program's entry: starts the music, turns away systems older than Windows XP and runs the
// main dialog.
#include <windows.h>
#include <commctrl.h>

#include "builtin_tune.h"
#include "main_dialog.h"
#include "player.h"
#include "resource.h"
#include "sources.h"
#include "windows_version.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
    // 1. The music plays from the first moment, also behind the refusal box.
    PlayModule(kBuiltinTune, kBuiltinTuneSize, PLAY_FROM_MEMORY);
    // 2. Windows 2000 and older are refused; the music ends with the process.
    if (!IsWindowsXpOrLater()) {
        MessageBoxW(nullptr, L"Программа работает только в Windows XP и выше", L"", MB_ICONERROR);
        return 0;
    }
    // 3. The version 6 common controls that the manifest selects provide the dialog's classes.
    INITCOMMONCONTROLSEX controls = {sizeof(controls), 0};
    InitCommonControlsEx(&controls);
    // 4. The main dialog; it stops the music itself when it closes.
    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_MAIN), nullptr, MainDialogProc, 0);
    return 0;
}
