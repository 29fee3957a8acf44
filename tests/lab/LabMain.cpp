// The lab's own program, run in the lab's Wine prefix by scripts/run.sh:
//   qevzun_lab prepare <scenario>               simulated agent for the scenario
//   qevzun_lab tour <scenario> <directory>      prepare, then run the tool to its
//                                                end as a user would, with a
//                                                picture of every stage
//   qevzun_lab reset                            remove the simulated agent
#include "inspect/TextConversion.h"
#include "res/resource.h"
#include "tests/lab/Lab.h"
#include "tests/lab/LabProgram.h"
#include "tests/lab/TourRecord.h"
#include "tests/support/DialogState.h"
#include "tests/support/ScreenCapture.h"
#include "tests/support/TestFiles.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

int Usage() {
    std::fprintf(stderr, "usage: qevzun_lab prepare <scenario> | tour <scenario> <directory> | reset\n");
    return 2;
}

bool Prepare(const std::string& name, Lab::Scenario& scenario) {
    std::string error;
    if (!Lab::Prepare(name, scenario, error)) {
        std::fprintf(stderr, "lab: %s\n", error.c_str());
        return false;
    }
    std::printf("lab: scenario %s (agent %s): %s\n", scenario.name.c_str(), scenario.agent.c_str(),
                scenario.description.c_str());
    return true;
}

// The window a user looks at: a message box over a progress dialog over the main dialog.
HWND TopWindow(const LabProgram& program, const char*& kind) {
    if (HWND box = program.MessageBoxWindow()) {
        kind = "message";
        return box;
    }
    if (HWND progress = program.ProgressWindow()) {
        kind = "progress";
        return progress;
    }
    kind = "main";
    return program.MainWindow();
}

// What a user does when the window has stood still for a while: answers a
// message box, takes the progress dialog's offer, presses the main dialog's
// button, or closes the main dialog when its button is disabled.
void ActOn(HWND window, const char* kind) {
    if (std::strcmp(kind, "message") == 0) {
        ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    } else if (std::strcmp(kind, "progress") == 0) {
        if (ItemShown(window, IDC_INSTALL)) Press(window, IDC_INSTALL);
    } else if (ItemEnabled(window, IDOK)) {
        Press(window, IDOK);
    } else {
        ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    }
}

// The hook inside the program that pictures the progress dialog after every
// progress message (TourHook.cpp); it stays until the tour ends.
class StageHook {
public:
    explicit StageHook(DWORD uiThread) {
        m_library = ::LoadLibraryA(SiblingPath("qevzun_tour_hook.dll").c_str());
        FARPROC address = m_library ? ::GetProcAddress(m_library, "TourHookProc") : nullptr;
        if (address == nullptr) return;
        HOOKPROC proc;
        static_assert(sizeof(proc) == sizeof(address), "function pointers of one size");
        std::memcpy(&proc, &address, sizeof(proc));
        m_hook = ::SetWindowsHookExW(WH_CALLWNDPROCRET, proc, m_library, uiThread);
    }
    ~StageHook() {
        if (m_hook != nullptr) ::UnhookWindowsHookEx(m_hook);
        if (m_library != nullptr) ::FreeLibrary(m_library);
    }
    StageHook(const StageHook&) = delete;
    StageHook& operator=(const StageHook&) = delete;
    bool Active() const { return m_hook != nullptr; }

private:
    HMODULE m_library = nullptr;
    HHOOK m_hook = nullptr;
};

int Tour(const std::string& name, const std::string& directory) {
    Lab::Scenario scenario;
    if (!Prepare(name, scenario)) return 1;
    ::CreateDirectoryA(directory.c_str(), nullptr);
    TourRecord record = TourRecord::Create(directory);
    if (!record.Valid()) {
        std::fprintf(stderr, "lab: the tour's record could not be made (%lu)\n", ::GetLastError());
        return 1;
    }

    LabProgram program;
    if (!program.Start(scenario.secure)) {
        std::fprintf(stderr, "lab: %s could not be started (%lu)\n", LabProgram::Path(scenario.secure).c_str(),
                     ::GetLastError());
        return 1;
    }
    HWND main = program.WaitForMainWindow();
    if (main == nullptr) {
        std::fprintf(stderr, "lab: the main dialog did not appear\n");
        return 1;
    }
    // Every dialog of the program runs on the main dialog's thread.
    StageHook hook(::GetWindowThreadProcessId(main, nullptr));
    if (!hook.Active()) std::fprintf(stderr, "lab: no hook, so only the progress stages that last are pictured\n");

    const DWORD kSettleMs = 400;     // a picture once the window stops changing
    const DWORD kIdleMs = 1500;      // a user acts once nothing has moved for this long
    const DWORD kLimitMs = 600000;   // the road ends by itself well before this
    std::wstring shown, seen;
    DWORD seenSince = ::GetTickCount();
    const DWORD started = seenSince;
    while (!program.Ended(100)) {
        if (::GetTickCount() - started > kLimitMs) {
            std::fprintf(stderr, "lab: the tool did not end within %lu s\n", kLimitMs / 1000);
            return 1;
        }
        const char* kind = "";
        HWND window = TopWindow(program, kind);
        if (window == nullptr) continue;
        const std::wstring now = std::wstring(kind, kind + std::strlen(kind)) + L": " + DescribeWindow(window);
        if (now != seen) {
            seen = now;
            seenSince = ::GetTickCount();
            continue;
        }
        const DWORD still = ::GetTickCount() - seenSince;
        // The hook pictures the progress dialog at each of its stages.
        const bool pictured = hook.Active() && std::strcmp(kind, "progress") == 0;
        if (now != shown && still >= kSettleMs && !pictured) {
            shown = now;
            std::string file;
            const std::string path = record.NextPicture(kind, file);
            const bool saved = SaveWindowPicture(window, path);
            const std::string line = file + " " + WideToUtf8(now);
            std::printf("%s%s\n", line.c_str(), saved ? "" : " (no picture)");
            record.Tell(line);
        }
        if (still >= kIdleMs) {
            ActOn(window, kind);
            seen.clear();  // give the window time to answer before acting again
        }
    }
    std::printf("lab: the tool ended with exit code %lu after %lu s\n", program.ExitCode(),
                (::GetTickCount() - started) / 1000);
    return program.ExitCode() == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    const std::string command = argv[1];
    if (command == "prepare" && argc >= 3) {
        Lab::Scenario scenario;
        return Prepare(argv[2], scenario) ? 0 : 1;
    }
    if (command == "tour" && argc >= 4) return Tour(argv[2], argv[3]);
    if (command == "reset") {
        Lab::RemoveAgent();
        return 0;
    }
    return Usage();
}
