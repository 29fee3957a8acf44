#include "repair/Base64.h"

namespace {

// The 6-bit value of a base64 digit, or -1 for any other character.
int DigitValue(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

}  // namespace

bool DecodeBase64(const std::string& encoded, std::string& decoded) {
    decoded.clear();
    if (encoded.size() % 4 != 0) return false;

    std::string out;
    out.reserve(encoded.size() / 4 * 3);
    for (std::size_t at = 0; at < encoded.size(); at += 4) {
        const bool last = at + 4 == encoded.size();
        std::size_t padding = 0;
        if (last) {
            if (encoded[at + 3] == '=') padding = encoded[at + 2] == '=' ? 2 : 1;
        }
        unsigned long group = 0;
        for (std::size_t i = 0; i < 4; ++i) {
            int value = i < 4 - padding ? DigitValue(encoded[at + i]) : 0;
            if (value < 0) return false;
            group = (group << 6) | static_cast<unsigned long>(value);
        }
        // The bits that padding stands in for must be zero, or two texts
        // would decode to the same bytes.
        if ((padding == 1 && (group & 0xFFu) != 0) || (padding == 2 && (group & 0xFFFFu) != 0)) return false;
        out.push_back(static_cast<char>((group >> 16) & 0xFFu));
        if (padding < 2) out.push_back(static_cast<char>((group >> 8) & 0xFFu));
        if (padding < 1) out.push_back(static_cast<char>(group & 0xFFu));
    }
    decoded.swap(out);
    return true;
}
