#pragma once
// What a dialog of another thread shows, read the way a user or a screen
// reader would see it, and the ways to press its buttons and keys.
#include <windows.h>

#include <string>
#include <vector>

std::wstring WindowText(HWND window);
std::wstring ItemText(HWND dialog, int id);
// The control's own visibility flag (the dialog may be hidden meanwhile).
bool ItemShown(HWND dialog, int id);
bool ItemEnabled(HWND dialog, int id);
std::vector<std::wstring> ListBoxItems(HWND dialog, int id);
int ProgressPosition(HWND dialog, int id);

// The text colour a static control gets from its dialog's WM_CTLCOLORSTATIC.
COLORREF StaticTextColour(HWND dialog, int id);
// The font the control draws with.
LOGFONTW ItemFont(HWND dialog, int id);
// Font height in pixels for a size in tenths of a point on this screen.
LONG PointHeight(int tenthsOfPoint);

// The control's rectangle in the dialog's client area, and a rectangle given
// in dialog units converted to pixels by the dialog's own font.
RECT ItemRect(HWND dialog, int id);
RECT DialogUnitsToPixels(HWND dialog, int x, int y, int width, int height);

// The single pane of the dialog's status bar (id 0xE801).
std::wstring StatusBarText(HWND dialog);
std::vector<int> StatusBarParts(HWND dialog);

// The texts of the dialog's static labels, in creation order.
std::vector<std::wstring> StaticTexts(HWND dialog);

// The window that has the keyboard focus on the thread of `window`.
HWND FocusOnThreadOf(HWND window);

// Clicks the button as the mouse would; returns at once.
void Press(HWND dialog, int id);
// Key down and up through the system's input queue, to the foreground window.
void PressKey(WORD virtualKey);
