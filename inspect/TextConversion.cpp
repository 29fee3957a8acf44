#include "inspect/TextConversion.h"

#include <windows.h>

#include <stdexcept>
#include <utility>

std::string WideToUtf8(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    for (wchar_t wc : text) {
        unsigned int u = static_cast<unsigned int>(wc) & 0xFFFFu;
        if (u <= 0x7F) {
            out += static_cast<char>(u);
        } else if (u <= 0x7FF) {
            out += static_cast<char>(0xC0 | (u >> 6));
            out += static_cast<char>(0x80 | (u & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (u >> 12));
            out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (u & 0x3F));
        }
    }
    return out;
}

bool TryUtf8ToWide(const char* data, std::size_t length, std::wstring& result) {
    const auto* p = reinterpret_cast<const unsigned char*>(data);
    std::wstring out;
    out.reserve(length);
    std::size_t i = 0;
    while (i < length) {
        unsigned char lead = p[i++];
        unsigned long value;
        int follow;
        if (lead < 0x80) { out += static_cast<wchar_t>(lead); continue; }
        if (lead < 0xC0) return false;
        if (lead < 0xE0) { value = lead & 0x1F; follow = 1; }
        else if (lead < 0xF0) { value = lead & 0x0F; follow = 2; }
        else if (lead < 0xF8) { value = lead & 0x07; follow = 3; }
        else if (lead < 0xFC) { value = lead & 0x03; follow = 4; }
        else { value = lead & 0x01; follow = 5; }
        if (length - i < static_cast<std::size_t>(follow)) return false;
        for (int k = 0; k < follow; ++k) {
            unsigned char c = p[i++];
            if ((c & 0xC0) != 0x80) return false;
            value = (value << 6) | (c & 0x3F);
        }
        if (value > 0x10FFFF) return false;
        // A 16-bit unit keeps only the low half of values beyond the BMP.
        out += static_cast<wchar_t>(value & 0xFFFF);
    }
    result = std::move(out);
    return true;
}

std::wstring Utf8ToWide(const char* data, std::size_t length) {
    std::wstring out;
    if (!TryUtf8ToWide(data, length, out)) throw std::range_error("bad conversion");
    return out;
}

std::wstring Utf8ToWide(const std::string& text) {
    return Utf8ToWide(text.data(), text.size());
}

std::string GetLastErrorText() {
    DWORD code = ::GetLastError();
    LPWSTR message = nullptr;
    DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                   FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK,
                               nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                               reinterpret_cast<LPWSTR>(&message), 0, nullptr);
    std::string result;
    if (n != 0 && message != nullptr) {
        result = WideToUtf8(std::wstring(message, n));
    }
    if (message != nullptr) ::LocalFree(message);
    result += "Error code " + std::to_string(static_cast<long>(code));
    return result;
}
