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
#include "tests/support/DialogState.h"
#include "tests/support/ScreenCapture.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

namespace {

int Usage() {
    std::fprintf(stderr, "usage: qevzun_lab prepare <scenario> | tour <scenario> <directory> | reset\n");
    return 2;
}

bool Prepare(const std::string& name) {
    Lab::Scenario scenario;
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

int Tour(const std::string& name, const std::string& directory) {
    if (!Prepare(name)) return 1;
    ::CreateDirectoryA(directory.c_str(), nullptr);
    std::ofstream story(directory + "\\tour.txt", std::ios::binary);

    LabProgram program;
    if (!program.Start()) {
        std::fprintf(stderr, "lab: %s could not be started (%lu)\n", LabProgram::Path().c_str(), ::GetLastError());
        return 1;
    }
    const DWORD kSettleMs = 400;     // a picture once the window stops changing
    const DWORD kIdleMs = 1500;      // a user acts once nothing has moved for this long
    const DWORD kLimitMs = 600000;   // the road ends by itself well before this
    int pictures = 0;
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
        if (now != shown && still >= kSettleMs) {
            shown = now;
            char file[64];
            std::snprintf(file, sizeof(file), "%02d-%s.bmp", ++pictures, kind);
            const bool saved = SaveWindowPicture(window, directory + "\\" + file);
            const std::string line = std::string(file) + " " + WideToUtf8(now);
            std::printf("%s%s\n", line.c_str(), saved ? "" : " (no picture)");
            story << line << "\r\n";
            story.flush();
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
        return Prepare(argv[2]) ? 0 : 1;
    }
    if (command == "tour" && argc >= 4) return Tour(argv[2], argv[3]);
    if (command == "reset") {
        Lab::RemoveAgent();
        return 0;
    }
    return Usage();
}
