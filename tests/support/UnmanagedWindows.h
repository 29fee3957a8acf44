#pragma once
// Under Wine on a display without a window manager, hiding a managed window
// waits two seconds for a window manager that never answers; every dialog
// that ends pays it. Wine can be told, per program, to leave its windows
// unmanaged. The setting is read when a process starts, so it takes effect
// from the next run of the calling program on. Does nothing outside Wine.
#include <string>

// The program by its file name ("QEVZUN.exe"). The build's prefixes already
// have it for the programs that show dialogs (cmake/wine-prefix.reg).
void LeaveProgramsWindowsUnmanaged(const std::wstring& name);
