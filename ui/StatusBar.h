#pragma once
// The one-pane status bar at the bottom of a dialog.
#include <windows.h>

class CStatusBar {
public:
    // A visible child along the bottom of the parent's client area, with one
    // pane as wide as that area is now, showing string-table entry `textId`.
    // The bar stays where it was put when the parent is resized later.
    bool Create(HWND parent, UINT id, UINT textId);
    HWND GetSafeHwnd() const { return m_hWnd; }

private:
    HWND m_hWnd = nullptr;  // a child: destroyed with its parent
};
