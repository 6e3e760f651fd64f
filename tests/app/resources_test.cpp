// The resources compiled into linkmend.exe: the dialog template with every control in template
// order (id, class, text, styles, place), the version block, the manifest and the icon. Texts
// are compared as the UTF-16 the program shows.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver.h"
#include "resource.h"

namespace {

// Reads a resource of the exe loaded as data; empty when it is not there in that language.
std::string ResourceBytes(HMODULE module, LPCWSTR type, LPCWSTR name, WORD language) {
    HRSRC found = FindResourceExW(module, type, name, language);
    if (found == nullptr) return std::string();
    const char* data = static_cast<const char*>(LockResource(LoadResource(module, found)));
    return std::string(data, SizeofResource(module, found));
}

class Resources : public ::testing::Test {
  protected:
    void SetUp() override {
        module = LoadLibraryExW(driver::LinkmendPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(module, nullptr);
    }
    void TearDown() override { FreeLibrary(module); }
    HMODULE module = nullptr;
};

// A reader for the template's WORD-aligned fields.
class TemplateReader {
  public:
    explicit TemplateReader(const std::string& bytes) : bytes_(bytes) {}
    WORD Word() {
        WORD value = 0;
        if (at_ + 2 <= bytes_.size()) memcpy(&value, bytes_.data() + at_, 2);
        at_ += 2;
        return value;
    }
    DWORD Dword() {
        const DWORD low = Word();
        return low | DWORD(Word()) << 16;
    }
    short Short() { return static_cast<short>(Word()); }
    std::wstring String() {
        std::wstring text;
        for (WORD c = Word(); c != 0 && at_ <= bytes_.size(); c = Word()) text += wchar_t(c);
        return text;
    }
    // A name or an ordinal: predefined classes are stored as ordinals 0x80 to 0x85.
    std::wstring NameOrOrdinal() {
        const WORD first = Word();
        if (first == 0) return std::wstring();
        if (first == 0xFFFF) {
            static const wchar_t* const kClasses[] = {L"Button",  L"Edit",      L"Static",
                                                      L"ListBox", L"ScrollBar", L"ComboBox"};
            const WORD ordinal = Word();
            return ordinal >= 0x80 && ordinal <= 0x85 ? kClasses[ordinal - 0x80] : L"#ordinal";
        }
        at_ -= 2;
        return String();
    }
    void AlignDword() { at_ = (at_ + 3) & ~size_t(3); }
    bool Ended() const { return at_ > bytes_.size(); }

  private:
    const std::string& bytes_;
    size_t at_ = 0;
};

struct Control {
    int id;
    const wchar_t* className;
    DWORD style; // beyond WS_CHILD | WS_VISIBLE
    const wchar_t* text;
    short x, y, cx, cy;
    DWORD exStyle;
};

const DWORD kGroup = BS_GROUPBOX;
const DWORD kCentredGroup = BS_GROUPBOX | BS_CENTER;
const DWORD kAddress = WS_TABSTOP;
const DWORD kText = WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL;
const DWORD kPassword = WS_BORDER | WS_TABSTOP | ES_PASSWORD | ES_AUTOHSCROLL;
const DWORD kNumber = WS_BORDER | WS_TABSTOP | ES_NUMBER | ES_AUTOHSCROLL;
const DWORD kLabel = WS_GROUP | SS_LEFT;
const DWORD kCheck = WS_TABSTOP | BS_AUTOCHECKBOX;
const DWORD kButton = WS_TABSTOP | BS_PUSHBUTTON;
const DWORD kSpin = UDS_SETBUDDYINT | UDS_ARROWKEYS;
const DWORD kLink = WS_TABSTOP;

// The 41 controls in template order; texts of the contact lines are this program's own.
const Control kControls[] = {
    {-1, L"Button", kGroup, L"1. zet-internet", 7, 7, 114, 166, 0},
    {1003, L"SysIPAddress32", kAddress, L"", 14, 121, 100, 15, 0},
    {1004, L"SysIPAddress32", kAddress, L"", 14, 97, 100, 15, 0},
    {1007, L"Edit", kText, L"", 14, 25, 100, 14, 0},
    {1008, L"Edit", kPassword, L"", 14, 50, 100, 14, 0},
    {-1, L"Static", kLabel, L"Имя пользователя", 14, 15, 63, 8, 0},
    {-1, L"Static", kLabel, L"Пароль", 14, 41, 26, 8, 0},
    {1011, L"Button", kCheck, L"Получать DNS-адреса", 14, 67, 96, 10, 0},
    {-1, L"Static", kLabel, L"автоматически", 26, 77, 52, 8, 0},
    {-1, L"Static", kLabel, L"Основной DNS", 14, 89, 49, 8, 0},
    {-1, L"Static", kLabel, L"Альтернативный DNS", 14, 113, 74, 8, 0},
    {1012, L"Button", kButton, L"Создать подключение", 14, 153, 100, 14, 0},
    {-1, L"Button", kGroup, L"2. zet-local", 127, 7, 114, 166, 0},
    {1005, L"SysIPAddress32", kAddress, L"", 134, 121, 100, 15, 0},
    {1006, L"SysIPAddress32", kAddress, L"", 134, 97, 100, 15, 0},
    {1009, L"Edit", kText, L"", 134, 25, 100, 14, 0},
    {1010, L"Edit", kPassword, L"", 134, 50, 100, 14, 0},
    {-1, L"Static", kLabel, L"Имя пользователя", 134, 15, 63, 8, 0},
    {-1, L"Static", kLabel, L"Пароль", 134, 41, 26, 8, 0},
    {1013, L"Button", kCheck, L"Получать DNS-адреса", 134, 67, 96, 10, 0},
    {-1, L"Static", kLabel, L"автоматически", 146, 77, 52, 8, 0},
    {-1, L"Static", kLabel, L"Основной DNS", 134, 89, 49, 8, 0},
    {-1, L"Static", kLabel, L"Альтернативный DNS", 134, 113, 74, 8, 0},
    {1014, L"Button", kButton, L"Создать подключение", 134, 153, 100, 14, 0},
    {-1, L"Button", kGroup, L"3. WAN-endpoints", 7, 175, 234, 46, 0},
    {1018, L"Button", kButton, L"Применить", 98, 204, 55, 14, 0},
    {1022, L"Edit", kNumber, L"", 17, 188, 22, 14, WS_EX_RIGHT},
    {-1, L"Static", kLabel, L"число одновременных pppoe-подключений через", 53, 186, 169, 8, 0},
    {-1, L"Static", kLabel, L"WAN miniport (обычно достачно двух)", 53, 195, 130, 8, 0},
    {1024, L"Button", kCheck, L"Отключить IPv6", 14, 140, 72, 10, 0},
    {1025, L"Button", kCheck, L"Отключить IPv6", 134, 140, 72, 10, 0},
    {1026, L"msctls_updown32", kSpin, L"", 39, 188, 11, 14, 0},
    {-1, L"Button", kCentredGroup, L"О программе", 7, 221, 234, 38, 0},
    {1023, L"SysLink", kLink,
     L"Автор: А. Примеров, <a href=\"mailto:author@example.com\">author@example.com</a>", 49, 249,
     150, 10, 0},
    {1028, L"SysLink", kLink, L"<a href=\"http://lan.example/\">lan.example</a> - в локалке Zet",
     101, 239, 119, 10, 0},
    {1029, L"SysLink", kLink, L"<a href=\"http://www.example.net/\">www.example.net</a>,", 25, 239,
     73, 10, 0},
    {-1, L"Static", kLabel, L"ПК-помощь «Пример»", 69, 268, 107, 8, 0},
    {-1, L"Static", kLabel, L"Тел.: 000-00-01, 000-00-02", 53, 277, 145, 8, 0},
    {1030, L"SysLink", kLink,
     L"E-Mail: <a href=\"mailto:pc@example.org\">pc@example.org</a>, ICQ# 0000000", 52, 285, 148,
     10, 0},
    {-1, L"Button", kCentredGroup, L"Наши друзья", 7, 260, 234, 38, 0},
    {-1, L"Static", kLabel, L"Linkmend for Windows XP/2003/Vista/2008 (x86 and x64) v.2.03", 19,
     230, 210, 8, 0},
};

const WORD kRussian = MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT);
const WORD kEnglishUs = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

TEST_F(Resources, MainDialogTemplateHoldsEveryControlInTemplateOrder) {
    const std::string bytes =
        ResourceBytes(module, RT_DIALOG, MAKEINTRESOURCEW(IDD_MAIN), kRussian);
    ASSERT_FALSE(bytes.empty()) << "no Russian IDD_MAIN";
    TemplateReader reader(bytes);
    EXPECT_EQ(reader.Word(), 1);      // DLGTEMPLATEEX version
    EXPECT_EQ(reader.Word(), 0xFFFF); // its signature
    EXPECT_EQ(reader.Dword(), 0u);    // help id
    EXPECT_EQ(reader.Dword(), 0u);    // extended style
    EXPECT_EQ(reader.Dword(),
              DWORD(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_FIXEDSYS));
    ASSERT_EQ(reader.Word(), std::size(kControls));
    const short x = reader.Short(), y = reader.Short(), cx = reader.Short(), cy = reader.Short();
    EXPECT_EQ(std::vector<short>({x, y, cx, cy}), std::vector<short>({0, 0, 248, 305}));
    EXPECT_EQ(reader.NameOrOrdinal(), L""); // no menu
    EXPECT_EQ(reader.NameOrOrdinal(), L""); // the system's dialog class
    EXPECT_EQ(reader.String(), L"linkmend v2.03");
    EXPECT_EQ(reader.Word(), 8);                    // points
    EXPECT_EQ(reader.Word(), 400);                  // weight
    EXPECT_EQ(reader.Word(), DEFAULT_CHARSET << 8); // not italic, then the character set
    EXPECT_EQ(reader.String(), L"MS Shell Dlg");
    for (const Control& expected : kControls) {
        SCOPED_TRACE(expected.text);
        reader.AlignDword();
        EXPECT_EQ(reader.Dword(), 0u); // help id
        EXPECT_EQ(reader.Dword(), expected.exStyle);
        EXPECT_EQ(reader.Dword(), WS_CHILD | WS_VISIBLE | expected.style);
        const short place[] = {reader.Short(), reader.Short(), reader.Short(), reader.Short()};
        EXPECT_EQ(std::vector<short>(place, place + 4),
                  std::vector<short>({expected.x, expected.y, expected.cx, expected.cy}));
        EXPECT_EQ(static_cast<int>(reader.Dword()), expected.id);
        // windres keeps custom class names in capitals; the system compares them ignoring case.
        const std::wstring className = reader.NameOrOrdinal();
        EXPECT_EQ(_wcsicmp(className.c_str(), expected.className), 0) << "class";
        EXPECT_EQ(reader.NameOrOrdinal(), expected.text);
        EXPECT_EQ(reader.Word(), 0); // no creation data
        ASSERT_FALSE(reader.Ended());
    }
}

// The value of one string of the version block's "041904b0" table.
std::wstring VersionString(const std::string& block, const wchar_t* name) {
    UINT length = 0;
    wchar_t* value = nullptr;
    const std::wstring path = std::wstring(L"\\StringFileInfo\\041904b0\\") + name;
    std::string copy = block; // VerQueryValueW wants writable data
    if (!VerQueryValueW(&copy[0], path.c_str(), reinterpret_cast<void**>(&value), &length)) {
        return L"<missing>";
    }
    return std::wstring(value, length > 0 ? length - 1 : 0);
}

TEST_F(Resources, VersionBlockSays202) {
    const std::string block = ResourceBytes(module, RT_VERSION, MAKEINTRESOURCEW(1), kRussian);
    ASSERT_GT(block.size(), 40 + sizeof(VS_FIXEDFILEINFO));
    VS_FIXEDFILEINFO fixed;
    memcpy(&fixed, block.data() + 40, sizeof fixed); // after the root's header and its key
    EXPECT_EQ(fixed.dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed.dwFileVersionMS, 0x00020000u);
    EXPECT_EQ(fixed.dwFileVersionLS, 0x00020000u);
    EXPECT_EQ(fixed.dwProductVersionMS, 0x00020000u);
    EXPECT_EQ(fixed.dwProductVersionLS, 0x00020000u);
    EXPECT_EQ(fixed.dwFileFlagsMask, 0x17u);
    EXPECT_EQ(fixed.dwFileFlags, 0u);
    EXPECT_EQ(fixed.dwFileOS, DWORD(VOS__WINDOWS32));
    EXPECT_EQ(fixed.dwFileType, DWORD(VFT_APP));
    EXPECT_EQ(VersionString(block, L"FileDescription"), L"Linkmend Application v2.02");
    EXPECT_EQ(VersionString(block, L"ProductName"), L"Linkmend Application v2.02");
    EXPECT_EQ(VersionString(block, L"FileVersion"), L"2, 0, 2, 0");
    EXPECT_EQ(VersionString(block, L"ProductVersion"), L"2, 0, 2, 0");
    EXPECT_EQ(VersionString(block, L"InternalName"), L"linkmend2.exe");
    EXPECT_EQ(VersionString(block, L"OriginalFilename"), L"linkmend2.exe");
    EXPECT_NE(VersionString(block, L"CompanyName"), L"<missing>");
    EXPECT_NE(VersionString(block, L"LegalCopyright"), L"<missing>");
    UINT length = 0;
    WORD* translation = nullptr;
    std::string copy = block;
    ASSERT_TRUE(VerQueryValueW(&copy[0], L"\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(translation[0], 0x0419);
    EXPECT_EQ(translation[1], 1200);
}

TEST_F(Resources, ManifestAsksForAdministratorAndCommonControls6) {
    const std::string manifest =
        ResourceBytes(module, MAKEINTRESOURCEW(24), MAKEINTRESOURCEW(1), kEnglishUs);
    ASSERT_FALSE(manifest.empty()) << "no RT_MANIFEST 1 in 0x0409";
    for (const char* part : {
             "xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\"",
             "<trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\">",
             "<requestedExecutionLevel level=\"requireAdministrator\" uiAccess=\"false\"/>",
             "type=\"win32\" name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
             "processorArchitecture=\"*\" publicKeyToken=\"6595b64144ccf1df\" language=\"*\"",
         }) {
        EXPECT_NE(manifest.find(part), std::string::npos) << part;
    }
}

TEST_F(Resources, IconGroupHoldsOne32By32ImageOf32Bits) {
    const std::string group =
        ResourceBytes(module, RT_GROUP_ICON, MAKEINTRESOURCEW(IDI_LINKMEND), kRussian);
    ASSERT_EQ(group.size(), 6u + 14u); // GRPICONDIR and one entry
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(group.data());
    EXPECT_EQ(bytes[4] | bytes[5] << 8, 1);    // one image
    EXPECT_EQ(bytes[6], 32);                   // width
    EXPECT_EQ(bytes[7], 32);                   // height
    EXPECT_EQ(bytes[12] | bytes[13] << 8, 32); // bits per pixel
}

} // namespace
