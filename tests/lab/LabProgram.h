#pragma once
// The lab's copy of the program (built with the lab's ports and a short poll
// pause), started as a user starts it, and its windows as a user sees them.
// secure: the copy that talks HTTPS to both lab servers, on their secure ports.
#include "tests/lab/WindowDescription.h"
#include "tests/support/ProgramProcess.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

class LabProgram {
public:
    static std::string Path(bool secure = false);     // ...\lab\bin\QEVZUN.exe in the build tree
    static std::string LogPath(bool secure = false);  // its log file, beside it

    bool Start(bool secure = false);  // the program ends with this object if it still runs
    bool Ended(DWORD timeoutMs) const;
    DWORD ExitCode() const;

    // The visible top-level windows of the program, as they stand now.
    HWND MainWindow() const;      // the main dialog
    HWND ProgressWindow() const;  // the progress dialog that takes input (a newer one covers an older)
    HWND MessageBoxWindow() const;
    std::vector<HWND> Windows() const;

    // Waits for the window to appear; null when it did not in time.
    HWND WaitForMainWindow(DWORD timeoutMs = 60000) const;
    HWND WaitForProgressWindow(DWORD timeoutMs = 60000) const;
    HWND WaitForMessageBox(DWORD timeoutMs = 60000) const;

private:
    std::unique_ptr<ProgramProcess> m_process;
};
