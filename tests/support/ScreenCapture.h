#pragma once
// Pictures of windows as the screen shows them, for people to look at.
#include <windows.h>

#include <string>

// Writes what the screen shows of the window (its frame included) as a 24-bit
// BMP file. The window is repainted first; it may belong to another process.
bool SaveWindowPicture(HWND window, const std::string& bmpPath);
// The same for a window of the calling thread, painted and copied at once
// from its own device context: the picture shows the window as it is now,
// whatever its thread is about to do next.
bool SaveOwnWindowPicture(HWND window, const std::string& bmpPath);
