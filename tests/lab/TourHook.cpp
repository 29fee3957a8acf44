// The lab tour's hook inside the program (qevzun_tour_hook.dll): after the
// program's progress dialog has handled a progress message, and before the
// worker that sent it goes on, the dialog is pictured and the story told. So
// every stage gets its picture, also the ones that last a moment only.
#include "repair/ProgressMessages.h"
#include "res/resource.h"
#include "tests/lab/TourRecord.h"
#include "tests/lab/WindowDescription.h"
#include "tests/support/ScreenCapture.h"

#include <windows.h>

#include <string>

namespace {

std::string Utf8(const std::wstring& text) {
    int size = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) {
        ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &bytes[0], size, nullptr, nullptr);
    }
    return bytes;
}

bool IsProgressDialog(HWND window) {
    return ::GetDlgItem(window, IDC_STAGE_TEXT) != nullptr && ::GetDlgItem(window, IDC_PROGRESS) != nullptr;
}

void Picture(HWND dialog, const std::string& event) {
    TourRecord record = TourRecord::Open();
    if (!record.Valid()) return;
    std::string line;
    if (::IsWindowVisible(dialog)) {
        std::string name;
        const std::string path = record.NextPicture("progress", name);
        const bool saved = SaveOwnWindowPicture(dialog, path);
        line = name + " progress: " + Utf8(DescribeWindow(dialog)) + (saved ? "" : " (no picture)");
    } else {
        // Not shown yet (the worker may report before the dialog is on
        // screen: the picture when it opens shows that stage), or ended.
        line = "   progress: not on screen";
    }
    record.Tell(line + " <- " + event);
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK TourHookProc(int code, WPARAM wParam, LPARAM lParam) {
    const auto* sent = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && sent != nullptr && IsProgressDialog(sent->hwnd)) {
        if (sent->message >= UM_REINSTALL_BEGIN && sent->message <= UM_REPAIR_CHECK_STATE) {
            Picture(sent->hwnd, "WM_USER+" + std::to_string(sent->wParam - WM_USER));
        } else if (sent->message == WM_WINDOWPOSCHANGED &&
                   (reinterpret_cast<const WINDOWPOS*>(sent->lParam)->flags & SWP_SHOWWINDOW)) {
            Picture(sent->hwnd, "opened");
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}
