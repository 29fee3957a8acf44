#pragma once
// Fonts sized in points for the screen a window is on.
#include "ui/GdiHandles.h"

#include <windows.h>

// A regular-weight font of the face, tenthsOfPoint / 10 points high on the
// device of the window's screen. Empty when the font cannot be made.
UniqueFont CreatePointFont(int tenthsOfPoint, const wchar_t* face, HWND window);
