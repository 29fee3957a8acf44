#pragma once
// Pictures of windows as the screen shows them, for people to look at.
#include <windows.h>

#include <string>

// Writes what the screen shows of the window (its frame included) as a 24-bit
// BMP file. The window is repainted first; it may belong to another process.
bool SaveWindowPicture(HWND window, const std::string& bmpPath);
