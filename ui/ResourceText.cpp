#include "ui/ResourceText.h"

HINSTANCE ResourceModule() {
    return ::GetModuleHandleW(nullptr);
}

std::wstring LoadResourceString(UINT id) {
    // With a zero buffer size the call hands out the resource's own text,
    // which is not terminated, and its length.
    const wchar_t* text = nullptr;
    int length = ::LoadStringW(ResourceModule(), id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || text == nullptr) return std::wstring();
    return std::wstring(text, static_cast<std::size_t>(length));
}
