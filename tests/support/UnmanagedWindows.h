#pragma once
// Under Wine on a display without a window manager, hiding a managed window
// waits two seconds for a window manager that never answers; every dialog
// that ends pays it. Wine can be told, per program, to leave its windows
// unmanaged. The setting is read when a process starts, so it takes effect
// from the next run of the calling program on. Does nothing outside Wine.
#include <string>

void LeaveThisProgramsWindowsUnmanaged();
// The same for another program, by its file name ("QEVZUN.exe").
void LeaveProgramsWindowsUnmanaged(const std::wstring& name);
