#pragma once
// What the randomized tests share: a fixed-seed generator, a compact printable
// form of the failing input, and a UTF-8 reference written apart from the
// product's own decoder.
#include <cstddef>
#include <cstdint>
#include <random>
#include <string>

namespace robust {

// The generator is seeded with a literal in each test, and every failure
// message names that seed and the case number, so a failure replays exactly.
using Rng = std::mt19937;

inline std::size_t Below(Rng& rng, std::size_t n) {  // 0 .. n-1
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng);
}
inline bool OneIn(Rng& rng, std::size_t n) { return Below(rng, n) == 0; }
inline char AnyByte(Rng& rng) { return static_cast<char>(Below(rng, 256)); }

// Printable ASCII as it is, everything else (and the backslash) as \xNN.
inline std::string Shown(const std::string& bytes) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out = "\"";
    for (char ch : bytes) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c >= 0x20 && c < 0x7F && c != '\\' && c != '"') {
            out += static_cast<char>(c);
        } else {
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 0xF];
        }
    }
    return out + "\" (" + std::to_string(bytes.size()) + " bytes)";
}

inline std::string Shown(const std::wstring& units) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out = "L\"";
    for (wchar_t wc : units) {
        const unsigned u = static_cast<unsigned>(wc) & 0xFFFFu;
        if (u >= 0x20 && u < 0x7F && u != '\\' && u != '"') {
            out += static_cast<char>(u);
        } else {
            out += "\\u";
            for (int shift = 12; shift >= 0; shift -= 4) out += hex[(u >> shift) & 0xF];
        }
    }
    return out + "\" (" + std::to_string(units.size()) + " units)";
}

// The decoding rule, read from the description rather than from the product:
// lead bytes C0-DF, E0-EF, F0-F7, F8-FB and FC-FF start sequences of 2 to 6
// bytes, each followed only by continuation bytes 80-BF; a continuation byte
// where a sequence starts, a sequence cut off by the end and a value above
// 10FFFF are errors; overlong forms and surrogates pass; values above FFFF
// keep their low 16 bits.
inline bool ReferenceUtf8Decode(const std::string& bytes, std::wstring& units) {
    units.clear();
    const std::size_t n = bytes.size();
    std::size_t at = 0;
    while (at < n) {
        const unsigned lead = static_cast<unsigned char>(bytes[at]);
        std::size_t length = 0;
        std::uint32_t value = 0;
        if (lead <= 0x7F) {
            length = 1;
            value = lead;
        } else if (lead <= 0xBF) {
            return false;
        } else if (lead <= 0xDF) {
            length = 2;
            value = lead - 0xC0;
        } else if (lead <= 0xEF) {
            length = 3;
            value = lead - 0xE0;
        } else if (lead <= 0xF7) {
            length = 4;
            value = lead - 0xF0;
        } else if (lead <= 0xFB) {
            length = 5;
            value = lead - 0xF8;
        } else {
            // FE and FF, which no UTF-8 text holds, are read like FC and FD:
            // one payload bit, the lead's lowest.
            length = 6;
            value = (lead - 0xFC) % 2;
        }
        if (n - at < length) return false;
        for (std::size_t k = 1; k < length; ++k) {
            const unsigned next = static_cast<unsigned char>(bytes[at + k]);
            if (next < 0x80 || next > 0xBF) return false;
            value = value * 64 + (next - 0x80);
        }
        if (value > 0x10FFFF) return false;
        units.push_back(static_cast<wchar_t>(value % 0x10000));
        at += length;
    }
    return true;
}

// Each 16-bit unit on its own, in one to three bytes.
inline std::string ReferenceUcs2Encode(const std::wstring& units) {
    std::string out;
    for (wchar_t wc : units) {
        const std::uint32_t u = static_cast<std::uint32_t>(wc) & 0xFFFFu;
        if (u < 0x80) {
            out += static_cast<char>(u);
        } else if (u < 0x800) {
            out += static_cast<char>(0xC0 + u / 64);
            out += static_cast<char>(0x80 + u % 64);
        } else {
            out += static_cast<char>(0xE0 + u / 4096);
            out += static_cast<char>(0x80 + (u / 64) % 64);
            out += static_cast<char>(0x80 + u % 64);
        }
    }
    return out;
}

// value in exactly length bytes (1 to 6), overlong when the value is small.
inline std::string EncodeInLength(std::uint32_t value, std::size_t length) {
    if (length == 1) return std::string(1, static_cast<char>(value & 0x7F));
    static const unsigned leads[] = {0, 0, 0xC0, 0xE0, 0xF0, 0xF8, 0xFC};
    std::string out(length, '\0');
    for (std::size_t k = length - 1; k > 0; --k) {
        out[k] = static_cast<char>(0x80 | (value & 0x3F));
        value >>= 6;
    }
    const unsigned payloadBits = 7 - static_cast<unsigned>(length);  // bits the lead byte carries
    out[0] = static_cast<char>(leads[length] | (value & ((1u << payloadBits) - 1)));
    return out;
}

}  // namespace robust
