// Shows linkmend.exe off where nobody watches (scripts/run.sh without a display): starts the
// program the user runs (build/<preset>/app/linkmend.exe), saves a picture of its dialog with the
// title bar, lets the music play, saves the first seconds of what the sound server received as a
// WAV file, and closes the dialog with Esc.
//   linkmend_showcase SCREENSHOT.bmp CAPTURE.raw SOUND.wav SECONDS
// CAPTURE.raw is the growing raw recording (48 kHz, 16-bit, stereo) of the sound server. When
// anything fails, one line on stderr starting "linkmend_showcase: " says what.
#include <windows.h>
#include <mmsystem.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "driver.h"
#include "test_paths.h"

namespace {

const DWORD kRate = 48000;
// The raw recording of this many seconds stays far below the 4 GiB a file size word holds.
const DWORD kLongestSeconds = 600;
// How long the sound server may take beyond the music's own time to record it.
const DWORD kRecordingSlackMs = 30000;

bool WriteFile(const char* path, const std::string& bytes) {
    FILE* file = std::fopen(path, "wb");
    if (file == nullptr) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

template <typename T> void Append(std::string& out, const T& value) {
    out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

// The window with its frame and title bar, as the screen shows it, as a 24-bit BMP file.
bool SaveWindowPicture(HWND window, const char* path) {
    SetForegroundWindow(window);
    driver::WaitUntil([&] { return GetForegroundWindow() == window; }, 2000);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    SendMessageW(window, WM_NCACTIVATE, TRUE, 0); // the caption as the active window has it
    RECT rect;
    GetWindowRect(window, &rect);
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    SelectObject(memory, old);

    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    const DWORD rowBytes = (width * 3 + 3) & ~3u;
    std::vector<char> pixels(rowBytes * height);
    GetDIBits(memory, bitmap, 0, height, pixels.data(), reinterpret_cast<BITMAPINFO*>(&info),
              DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);

    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42; // "BM"
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
    std::string bytes;
    Append(bytes, file);
    Append(bytes, info);
    bytes.append(pixels.data(), pixels.size());
    return WriteFile(path, bytes);
}

// Byte offset of the first audible frame of a raw recording, or npos.
size_t FirstSound(const std::string& raw) {
    for (size_t i = 0; i + 1 < raw.size(); i += 2) {
        const int16_t sample = static_cast<int16_t>(static_cast<uint8_t>(raw[i]) |
                                                    static_cast<uint8_t>(raw[i + 1]) << 8);
        if (sample > 64 || sample < -64) return i & ~size_t(3);
    }
    return std::string::npos;
}

// `seconds` of the recording from its first audible frame, as a 16-bit stereo WAV file.
bool SaveSound(const std::string& raw, size_t from, DWORD seconds, const char* path) {
    const std::string data = raw.substr(from, size_t(seconds) * kRate * 4);
    std::string bytes = "RIFF";
    Append(bytes, static_cast<uint32_t>(36 + data.size()));
    bytes += "WAVEfmt ";
    const PCMWAVEFORMAT format = {{WAVE_FORMAT_PCM, 2, kRate, kRate * 4, 4}, 16};
    Append(bytes, static_cast<uint32_t>(sizeof format));
    Append(bytes, format);
    bytes += "data";
    Append(bytes, static_cast<uint32_t>(data.size()));
    return WriteFile(path, bytes + data);
}

// Says on one line why the show failed (scripts/run.sh passes the line on) and gives the
// failing exit status.
int Fail(const char* format, ...) {
    std::fputs("linkmend_showcase: ", stderr);
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(stderr, format, arguments);
    va_end(arguments);
    std::fputc('\n', stderr);
    return 1;
}

// The dialog, or null when the program ended first or the time ran out.
HWND WaitForDialogOrExit(driver::Program& program) {
    HWND dialog = nullptr;
    driver::WaitUntil([&] {
        dialog = driver::WaitForMainDialog(program, 0);
        return dialog != nullptr || WaitForSingleObject(program.process, 0) == WAIT_OBJECT_0;
    });
    return dialog;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fputs("usage: linkmend_showcase SCREENSHOT.bmp CAPTURE.raw SOUND.wav SECONDS\n",
                   stderr);
        return 2;
    }
    const DWORD seconds = static_cast<DWORD>(std::strtoul(argv[4], nullptr, 10));
    if (seconds == 0 || seconds > kLongestSeconds)
        return Fail("SECONDS must be a whole number from 1 to %lu", kLongestSeconds);
    driver::Program program;
    if (!driver::Start(program)) {
        return Fail("cannot start %ls", driver::LinkmendPath().c_str());
    }
    HWND dialog = WaitForDialogOrExit(program);
    if (dialog == nullptr) {
        DWORD exitCode = 0;
        const bool ended = driver::WaitForExit(program, &exitCode, 0);
        driver::Stop(program);
        if (!ended)
            return Fail("linkmend.exe showed no dialog within %lu s", driver::kWaitMs / 1000);
        if (exitCode == 0xC0000135) {
            return Fail(
                "linkmend.exe did not start: a DLL it imports was not found beside it or in "
                "the Wine prefix (status c0000135)");
        }
        return Fail("linkmend.exe ended before showing its dialog, exit code 0x%08lx", exitCode);
    }
    const bool pictured = SaveWindowPicture(dialog, argv[1]);

    // Let the music play until the recording holds the seconds wanted (or half a minute went
    // by without sound, or the recording fell half a minute behind the music: then there is no
    // WAV).
    std::string raw;
    size_t from = std::string::npos;
    // The file is read only until the sound starts; after that its size tells (reading it all
    // the time would take the machine's time from the music).
    const bool heard = driver::WaitUntil(
        [&] {
            from = FirstSound(ReadWholeFile(argv[2]));
            return from != std::string::npos;
        },
        30000);
    const bool played =
        heard && driver::WaitUntil(
                     [&] {
                         WIN32_FILE_ATTRIBUTE_DATA data = {};
                         GetFileAttributesExA(argv[2], GetFileExInfoStandard, &data);
                         return data.nFileSizeLow >= from + size_t(seconds) * kRate * 4;
                     },
                     seconds * 1000 + kRecordingSlackMs);
    raw = ReadWholeFile(argv[2]);
    const bool recorded = played && SaveSound(raw, from, seconds, argv[3]);

    driver::PressKey(program, VK_ESCAPE);
    DWORD exitCode = 1;
    const bool closed = driver::WaitForExit(program, &exitCode);
    driver::Stop(program);
    std::printf("screenshot %s, music %s, closed with Esc: %s (exit code %lu)\n",
                pictured ? "saved" : "FAILED", recorded ? "saved" : "NOT HEARD",
                closed ? "yes" : "NO", exitCode);
    if (!pictured) return Fail("the picture of the dialog could not be saved to %s", argv[1]);
    if (!heard) return Fail("no music reached the sound server within 30 s");
    if (!played) {
        return Fail("the sound server recorded less than %lu seconds of music within %lu s",
                    seconds, seconds + kRecordingSlackMs / 1000);
    }
    if (!recorded) return Fail("the music could not be saved to %s", argv[3]);
    if (!closed) return Fail("Esc did not close linkmend.exe within %lu s", driver::kWaitMs / 1000);
    if (exitCode != 0) return Fail("linkmend.exe ended with exit code %lu after Esc", exitCode);
    return 0;
}
