#include "net/RequestTarget.h"

#include <cstring>

namespace {

bool StandsRawInPath(unsigned char c) {
    if (c <= 0x20 || c >= 0x7F) return false;
    return std::strchr("\"#%<>?[\\]^`{|}", c) == nullptr;
}

}  // namespace

std::string EscapeRequestPathText(const std::string& text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (char ch : text) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (c == 0) break;
        if (StandsRawInPath(c)) {
            out += ch;
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0x0F];
        }
    }
    return out;
}
