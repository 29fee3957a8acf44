#pragma once
// One copy of the program at a time, so that two repairs never run at once: a
// later copy brings the running one's window forward and ends.
#include "app/Handles.h"

#include <windows.h>

class CSingleInstance {
public:
    CSingleInstance();
    // False when another copy already runs (in any session of the machine).
    bool IsFirst() const { return m_first; }

private:
    UniqueKernelHandle m_mutex;  // held for the whole run
    bool m_first = true;
};

// The main dialog marks its window so that a later copy can find it.
void MarkAsInstanceWindow(HWND window);
void UnmarkInstanceWindow(HWND window);

// Whether the window is a main window so marked; the running copy's, or null.
bool IsInstanceWindow(HWND window);
HWND FindInstanceWindow();

// Waits up to waitMs for the running copy's window and brings it forward,
// with the dialog it shows over it, if any. False when none appeared.
bool ActivateRunningInstance(DWORD waitMs);
