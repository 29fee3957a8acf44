#include "tests/support/ScreenCapture.h"

#include "app/UniqueHandle.h"
#include "ui/GdiHandles.h"

#include <fstream>

namespace {

struct MemoryDcTraits {
    static HDC Invalid() noexcept { return nullptr; }
    static void Close(HDC dc) noexcept { ::DeleteDC(dc); }
};
struct ScreenDcTraits {
    static HDC Invalid() noexcept { return nullptr; }
    static void Close(HDC dc) noexcept { ::ReleaseDC(nullptr, dc); }
};
using UniqueMemoryDc = UniqueHandle<HDC, MemoryDcTraits>;
using UniqueScreenDc = UniqueHandle<HDC, ScreenDcTraits>;
using UniqueBitmap = UniqueHandle<HBITMAP, GdiObjectTraits<HBITMAP>>;

// A window's own device context, frame included.
class UniqueWindowDc {
public:
    UniqueWindowDc(HWND window, HDC dc) : m_window(window), m_dc(dc) {}
    ~UniqueWindowDc() {
        if (m_dc != nullptr) ::ReleaseDC(m_window, m_dc);
    }
    UniqueWindowDc(const UniqueWindowDc&) = delete;
    UniqueWindowDc& operator=(const UniqueWindowDc&) = delete;
    HDC get() const { return m_dc; }

private:
    HWND m_window;
    HDC m_dc;
};

// Copies width x height pixels at (x, y) of the source into a 24-bit BMP file.
bool WritePicture(HDC source, int x, int y, int width, int height, const std::string& bmpPath) {
    if (width <= 0 || height <= 0) return false;
    UniqueMemoryDc memory(::CreateCompatibleDC(source));
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // bottom-up, as BMP files store it
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueBitmap bitmap(::CreateDIBSection(memory.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!source || !memory || !bitmap) return false;
    HGDIOBJ old = ::SelectObject(memory.get(), bitmap.get());
    ::BitBlt(memory.get(), 0, 0, width, height, source, x, y, SRCCOPY);
    ::SelectObject(memory.get(), old);
    ::GdiFlush();

    const DWORD stride = ((static_cast<DWORD>(width) * 3 + 3) / 4) * 4;
    const DWORD imageSize = stride * static_cast<DWORD>(height);
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    file.bfSize = file.bfOffBits + imageSize;
    info.bmiHeader.biSizeImage = imageSize;
    std::ofstream out(bmpPath, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof(file));
    out.write(reinterpret_cast<const char*>(&info.bmiHeader), sizeof(BITMAPINFOHEADER));
    out.write(static_cast<const char*>(bits), static_cast<std::streamsize>(imageSize));
    return static_cast<bool>(out);
}

}  // namespace

bool SaveWindowPicture(HWND window, const std::string& bmpPath) {
    ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    ::Sleep(300);  // let the window's own thread finish painting
    RECT r;
    if (!::GetWindowRect(window, &r)) return false;
    UniqueScreenDc screen(::GetDC(nullptr));
    return WritePicture(screen.get(), r.left, r.top, r.right - r.left, r.bottom - r.top, bmpPath);
}

bool SaveOwnWindowPicture(HWND window, const std::string& bmpPath) {
    ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    RECT r;
    if (!::GetWindowRect(window, &r)) return false;
    UniqueWindowDc dc(window, ::GetWindowDC(window));
    return WritePicture(dc.get(), 0, 0, r.right - r.left, r.bottom - r.top, bmpPath);
}
