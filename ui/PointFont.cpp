#include "ui/PointFont.h"

UniqueFont CreatePointFont(int tenthsOfPoint, const wchar_t* face, HWND window) {
    int pixelsPerInch = 96;
    if (HDC dc = ::GetDC(window)) {
        pixelsPerInch = ::GetDeviceCaps(dc, LOGPIXELSY);
        ::ReleaseDC(window, dc);
    }
    LOGFONTW lf = {};
    // Negative: the character height, not the cell height, as a point size means.
    lf.lfHeight = -::MulDiv(tenthsOfPoint, pixelsPerInch, 720);
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
    lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    lf.lfQuality = DEFAULT_QUALITY;
    lf.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    for (int i = 0; i < LF_FACESIZE - 1 && face[i] != L'\0'; ++i) lf.lfFaceName[i] = face[i];
    return UniqueFont(::CreateFontIndirectW(&lf));
}
