// Reading and writing the stand-in's INI-style UTF-8 text files: [section] lines and key=value
// lines, the value being everything after the first '=' (kept exactly, spaces included).
#include "phonebook.h"

namespace {

std::string ReadBytes(const std::wstring& path) {
    std::string bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) bytes.append(chunk, got);
    CloseHandle(file);
    return bytes;
}

std::wstring FromUtf8(const std::string& text) {
    if (text.empty()) return std::wstring();
    int count =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(count), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], count);
    return wide;
}

std::string ToUtf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    int count = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                    0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(count), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &narrow[0], count,
                        nullptr, nullptr);
    return narrow;
}

// Adds one line to the sections read so far; lines before the first section are ignored.
void ParseLine(const std::wstring& line, std::vector<IniSection>* sections) {
    if (line.size() >= 2 && line.front() == L'[' && line.back() == L']') {
        sections->push_back(IniSection{line.substr(1, line.size() - 2), {}});
        return;
    }
    size_t equals = line.find(L'=');
    if (equals == std::wstring::npos || sections->empty()) return;
    sections->back().keys.emplace_back(line.substr(0, equals), line.substr(equals + 1));
}

} // namespace

std::vector<IniSection> ReadIniFile(const std::wstring& path) {
    std::wstring text = FromUtf8(ReadBytes(path));
    std::vector<IniSection> sections;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos) end = text.size();
        std::wstring line = text.substr(start, end - start);
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        ParseLine(line, &sections);
        start = end + 1;
    }
    return sections;
}

bool WriteIniFile(const std::wstring& path, const std::vector<IniSection>& sections) {
    std::wstring text;
    for (const IniSection& section : sections) {
        if (!text.empty()) text += L"\r\n";
        text += L"[" + section.name + L"]\r\n";
        for (const auto& key : section.keys) text += key.first + L"=" + key.second + L"\r\n";
    }
    std::string bytes = ToUtf8(text);
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}
