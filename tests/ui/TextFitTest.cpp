// Every label and button text of the three dialogs fits its control, in the
// font the control draws with, in every state the dialog can show, and every
// character of it has a glyph there: a text that does not fit is cut off on
// screen, and a missing glyph shows as an empty box, without any other sign.
#include "tests/ui/MainDialogFixture.h"
#include "tests/ui/ProgressDialogFixture.h"

#include "inspect/TextConversion.h"

#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

namespace {

// The pixels of one character drawn alone in the font, or of the font's
// glyph 0, the box it draws for a character it has no glyph for.
std::vector<std::uint32_t> Drawn(HDC dc, wchar_t character, bool missingGlyph = false) {
    constexpr int kSide = 64;
    void* bits = nullptr;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = kSide;
    info.bmiHeader.biHeight = -kSide;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HBITMAP canvas = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (canvas == nullptr) return {};
    HGDIOBJ previous = ::SelectObject(dc, canvas);
    RECT all = {0, 0, kSide, kSide};
    ::FillRect(dc, &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    ::SetTextColor(dc, RGB(0, 0, 0));
    ::SetBkMode(dc, TRANSPARENT);
    if (missingGlyph) {
        const WORD glyph = 0;
        ::ExtTextOutW(dc, 0, 0, ETO_GLYPH_INDEX, nullptr, reinterpret_cast<const wchar_t*>(&glyph), 1, nullptr);
    } else {
        ::ExtTextOutW(dc, 0, 0, 0, nullptr, &character, 1, nullptr);
    }
    ::GdiFlush();
    std::vector<std::uint32_t> pixels(kSide * kSide);
    std::memcpy(pixels.data(), bits, pixels.size() * sizeof(std::uint32_t));
    ::SelectObject(dc, previous);
    ::DeleteObject(canvas);
    return pixels;
}

// The characters of the text beyond ASCII that the font (with the fonts it
// links to) draws as its missing-glyph box.
std::wstring MissingGlyphs(HFONT font, const std::wstring& text) {
    HDC screen = ::GetDC(nullptr);
    HDC dc = ::CreateCompatibleDC(screen);
    ::ReleaseDC(nullptr, screen);
    HGDIOBJ previous = ::SelectObject(dc, font);
    const std::vector<std::uint32_t> missing = Drawn(dc, 0, true);
    std::wstring found;
    for (wchar_t character : text) {
        if (character < 0x80 || found.find(character) != std::wstring::npos) continue;
        if (Drawn(dc, character) == missing) found += character;
    }
    ::SelectObject(dc, previous);
    ::DeleteDC(dc);
    return found;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[32] = {};
    ::GetClassNameW(window, name, 32);
    return name;
}

// The part of the control's height that a visible sibling starting below its
// top (the progress bar under the stage text) leaves uncovered.
LONG VisibleHeight(HWND control, LONG height) {
    RECT own;
    ::GetWindowRect(control, &own);
    for (HWND other = ::GetWindow(control, GW_HWNDFIRST); other != nullptr; other = ::GetWindow(other, GW_HWNDNEXT)) {
        RECT theirs;
        if (other == control || !::IsWindowVisible(other) || !::GetWindowRect(other, &theirs)) continue;
        const bool across = theirs.left < own.right && theirs.right > own.left;
        if (across && theirs.top > own.top && theirs.top < own.bottom && theirs.top - own.top < height) {
            height = theirs.top - own.top;
        }
    }
    return height;
}

// Measures the text as the control lays it out: word-wrapped at its client
// width (a button: inside its frame). A control with room for one line only
// must also take the text unwrapped.
std::string Misfit(HWND control) {
    const std::wstring cls = ClassOf(control);
    const bool button = lstrcmpiW(cls.c_str(), L"Button") == 0;
    if (!button && lstrcmpiW(cls.c_str(), L"Static") != 0) return std::string();
    const LONG style = ::GetWindowLongW(control, GWL_STYLE);
    if (!button && (style & SS_TYPEMASK) == SS_ICON) return std::string();
    const std::wstring text = WindowText(control);
    if (text.empty()) return std::string();

    RECT room;
    ::GetClientRect(control, &room);
    if (button) ::InflateRect(&room, -2 * ::GetSystemMetrics(SM_CXEDGE), -::GetSystemMetrics(SM_CYEDGE));
    const LONG width = room.right - room.left;
    const LONG height = VisibleHeight(control, room.bottom - room.top);

    HFONT font = reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0));
    HDC dc = ::GetDC(control);
    HGDIOBJ previous = ::SelectObject(dc, font != nullptr ? font : ::GetStockObject(SYSTEM_FONT));
    TEXTMETRICW metrics = {};
    ::GetTextMetricsW(dc, &metrics);
    wchar_t face[LF_FACESIZE] = {};
    ::GetTextFaceW(dc, LF_FACESIZE, face);
    UINT format = DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS;
    if (!button && (style & SS_NOPREFIX)) format |= DT_NOPREFIX;
    RECT wrapped = {0, 0, width, 0};
    ::DrawTextW(dc, text.c_str(), -1, &wrapped, format);
    RECT unwrapped = {0, 0, width, 0};
    ::DrawTextW(dc, text.c_str(), -1, &unwrapped, (format & ~DT_WORDBREAK) | DT_SINGLELINE);
    ::SelectObject(dc, previous);
    ::ReleaseDC(control, dc);

    const bool oneLine = button || height < 2 * metrics.tmHeight;
    const bool fits = wrapped.bottom <= height && wrapped.right <= width && (!oneLine || unwrapped.right <= width);
    const std::wstring boxed = font != nullptr ? MissingGlyphs(font, text) : std::wstring();
    if (fits && boxed.empty()) return std::string();
    LOGFONTW requested = {};
    if (font != nullptr) ::GetObjectW(font, sizeof(requested), &requested);
    std::string problem = "control " + std::to_string(::GetDlgCtrlID(control)) + " \"" + WideToUtf8(text) +
                          "\" in \"" + WideToUtf8(requested.lfFaceName) + "\" (drawn with \"" + WideToUtf8(face) +
                          "\", height " + std::to_string(requested.lfHeight) + "):";
    if (!fits) {
        problem += " needs " + std::to_string(oneLine ? unwrapped.right : wrapped.right) + " x " +
                   std::to_string(wrapped.bottom) + " px, has " + std::to_string(width) + " x " +
                   std::to_string(height);
    }
    if (!boxed.empty()) problem += " no glyph for \"" + WideToUtf8(boxed) + "\"";
    return problem + "\n";
}

BOOL CALLBACK CollectMisfit(HWND child, LPARAM found) {
    *reinterpret_cast<std::string*>(found) += Misfit(child);
    return TRUE;
}

// Empty when every text of the dialog fits; otherwise one line per text.
std::string Misfits(HWND dialog) {
    ::SendMessageW(dialog, WM_NULL, 0, 0);  // whatever was sent before is handled
    std::string found;
    ::EnumChildWindows(dialog, &CollectMisfit, reinterpret_cast<LPARAM>(&found));
    return found;
}

void ExpectAllFit(HWND dialog, const char* when) {
    const std::string misfits = Misfits(dialog);
    EXPECT_TRUE(misfits.empty()) << when << ", texts that do not fit or show:\n" << misfits;
}

// ---------------------------------------------------------------- the main dialog and the About box

struct MainCase {
    const char* name;
    int status;
    UINT completion;  // the success that completes a repair from this status; 0: none
};

void PrintTo(const MainCase& c, std::ostream* os) { *os << c.name; }

const MainCase kMainCases[] = {
    {"Active", AgentStatus::Active, 0},
    {"Inactive", AgentStatus::Inactive, UM_REPAIR_OK},
    {"OldVersion", AgentStatus::OldVersion, UM_REINSTALL_OK},
    {"NotInstalled", AgentStatus::NotInstalled, UM_REINSTALL_OK},
    {"Unrecognised", AgentStatus::Unrecognised, 0},
};

class MainDialogTextsFit : public MainDialogTest, public ::testing::WithParamInterface<MainCase> {};

TEST_P(MainDialogTextsFit, InTheStatusAndAfterTheRepair) {
    const MainCase& c = GetParam();
    HWND dialog = Open(WithStatus(c.status, "3.6.0.4"));
    ASSERT_NE(dialog, nullptr);
    ExpectAllFit(dialog, "opened");
    if (c.completion != 0) {
        ::SendMessageW(dialog, c.completion, c.completion, 0);
        ASSERT_TRUE(ItemShown(dialog, IDC_REPAIR_DONE));
        ExpectAllFit(dialog, "completed");
    }
}

INSTANTIATE_TEST_SUITE_P(Status, MainDialogTextsFit, ::testing::ValuesIn(kMainCases),
                         [](const ::testing::TestParamInfo<MainCase>& info) { return std::string(info.param.name); });

TEST_F(MainDialogTest, AboutBoxTextsFit) {
    HWND dialog = Open(WithStatus(AgentStatus::Active));
    ::PostMessageW(dialog, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    HWND about = m_ui->WaitForDialog(IDOK, dialog);
    ASSERT_NE(about, nullptr);
    ExpectAllFit(about, "About box");
}

// ---------------------------------------------------------------- the progress dialog

struct ProgressCase {
    const char* name;
    bool serviceRepair;
    std::vector<UINT> codes;  // what its worker sends, in the order it can
};

void PrintTo(const ProgressCase& c, std::ostream* os) { *os << c.name; }

const ProgressCase kProgressCases[] = {
    {"Reinstall",
     false,
     {UM_REINSTALL_BEGIN, UM_UNINSTALL_DONE, UM_DOWNLOAD_BEGIN, UM_DOWNLOAD_DONE, UM_INSTALL_BEGIN, UM_CHECK_STATE,
      UM_REINSTALL_FAIL}},
    {"ServiceRepair",
     true,
     {UM_REPAIR_BEGIN, UM_REPAIR_ITEM1, UM_REPAIR_ITEM2, UM_REPAIR_ITEM3, UM_REPAIR_ITEM4, UM_REPAIR_ITEM5,
      UM_REPAIR_CHECK_STATE, UM_REPAIR_FAIL}},
};

class ProgressTextsFit : public ProgressDialogTest, public ::testing::WithParamInterface<ProgressCase> {};

TEST_P(ProgressTextsFit, AtEveryStage) {
    const ProgressCase& c = GetParam();
    HWND dialog = Open(c.serviceRepair);
    ASSERT_NE(dialog, nullptr);
    ExpectAllFit(dialog, "opened");
    for (UINT code : c.codes) {
        ASSERT_TRUE(ScriptedWorker::Send(0, code));
        ExpectAllFit(dialog, ("after WM_USER+" + std::to_string(code - WM_USER)).c_str());
    }
}

INSTANTIATE_TEST_SUITE_P(Mode, ProgressTextsFit, ::testing::ValuesIn(kProgressCases),
                         [](const ::testing::TestParamInfo<ProgressCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
