#pragma once
// What a window of the program shows, read from the outside (or from inside
// its own process) the way a user or a screen reader would see it.
#include <windows.h>

#include <string>

// A window's text, or a dialog control's, also when it belongs to another process.
std::wstring TextOf(HWND window);
std::wstring ControlText(HWND dialog, int id);

// What a window and its controls show, in one line: for comparing and for logs.
std::wstring DescribeWindow(HWND window);
