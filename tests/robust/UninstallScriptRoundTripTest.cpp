#include "repair/UninstallScript.h"

#include "repair/Base64.h"
#include "tests/robust/RandomCases.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

using robust::Below;
using robust::OneIn;
using robust::Rng;
using robust::Shown;

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Standard base64 with "=" padding, three bytes to four digits.
std::string ReferenceEncode(const std::string& bytes) {
    std::string out;
    for (std::size_t at = 0; at < bytes.size(); at += 3) {
        const std::size_t n = bytes.size() - at < 3 ? bytes.size() - at : 3;
        unsigned long group = 0;
        for (std::size_t k = 0; k < 3; ++k)
            group = group * 256 + (k < n ? static_cast<unsigned char>(bytes[at + k]) : 0u);
        for (std::size_t k = 0; k < 4; ++k)
            out += k <= n ? kAlphabet[(group >> (18 - 6 * k)) & 0x3F] : '=';
    }
    return out;
}

int DigitOf(char c) {
    for (int i = 0; i < 64; ++i)
        if (kAlphabet[i] == c) return i;
    return -1;
}

// Strict decoding: whole groups of four, alphabet digits only, one or two "="
// only at the very end, and no bits set under the padding (the one canonical
// text for each byte string).
bool ReferenceDecode(const std::string& text, std::string& bytes) {
    bytes.clear();
    if (text.size() % 4 != 0) return false;
    std::size_t pad = 0;
    while (pad < 2 && pad < text.size() && text[text.size() - 1 - pad] == '=') ++pad;
    std::string bits;  // one char per bit, simplest to check
    for (std::size_t i = 0; i < text.size() - pad; ++i) {
        const int d = DigitOf(text[i]);
        if (d < 0) return false;
        for (int b = 5; b >= 0; --b) bits += ((d >> b) & 1) ? '1' : '0';
    }
    const std::size_t whole = bits.size() / 8 * 8;
    if (bits.find('1', whole) != std::string::npos) return false;
    if (pad > 0 && bits.size() - whole != 2 * pad) return false;
    for (std::size_t at = 0; at < whole; at += 8) {
        int v = 0;
        for (std::size_t b = 0; b < 8; ++b) v = v * 2 + (bits[at + b] - '0');
        bytes += static_cast<char>(v);
    }
    return true;
}

// What the program writes for the script host is the script file itself,
// byte for byte, and the text it carries is the canonical encoding of it.
TEST(UninstallScriptRoundTrip, WrittenScriptIsTheSourceFileByteForByte) {
    const std::string source = ReadWholeFile(QEVZUN_UNINSTALL_SCRIPT_SOURCE);
    ASSERT_FALSE(source.empty());
    EXPECT_EQ(std::string(g_uninstallScriptBase64), ReferenceEncode(source));

    char saved[32767] = {};
    const bool hadTmp = ::GetEnvironmentVariableA("TMP", saved, sizeof saved) != 0;
    const std::string dir = MakeTempDirectory("roundtrip");
    ::SetEnvironmentVariableA("TMP", dir.c_str());
    std::string path;
    const bool written = WriteUninstallScript(path);
    const std::string onDisk = ReadWholeFile(path);
    ::SetEnvironmentVariableA("TMP", hadTmp ? saved : nullptr);
    RemoveTree(dir);

    ASSERT_TRUE(written);
    EXPECT_EQ(path, dir + "\\QEVUinstall.vbe");
    ASSERT_EQ(onDisk.size(), source.size());
    for (std::size_t i = 0; i < source.size(); ++i)
        ASSERT_EQ(onDisk[i], source[i]) << "first difference at offset " << i;
}

// Every length from 0 to 64 and random lengths up to 3000, random bytes:
// decoding the encoding gives the bytes back.
TEST(UninstallScriptRoundTrip, Base64DecodesEveryEncodingBack) {
    const unsigned seed = 64u;
    Rng rng(seed);
    for (int i = 0; i < 3000; ++i) {
        const std::size_t length = i <= 64 ? static_cast<std::size_t>(i) : Below(rng, OneIn(rng, 10) ? 3001 : 200);
        std::string bytes;
        for (std::size_t k = 0; k < length; ++k) bytes += robust::AnyByte(rng);
        const std::string text = ReferenceEncode(bytes);
        std::string decoded = "stale";
        ASSERT_TRUE(DecodeBase64(text, decoded)) << "seed " << seed << " case " << i << " text " << Shown(text);
        ASSERT_EQ(decoded, bytes) << "seed " << seed << " case " << i << " text " << Shown(text);
    }
}

// Encodings with a character changed, removed, added or padded wrongly,
// and texts of random characters: accepted and decoded exactly when the
// strict reference accepts them, otherwise refused with nothing decoded.
TEST(UninstallScriptRoundTrip, Base64RefusesExactlyWhatIsNotCanonical) {
    const unsigned seed = 4648u;
    Rng rng(seed);
    const char odd[] = "==== -_.\r\n\t\0\x80\xFF";  // padding, separators, a zero byte, high bytes
    const std::string noise = std::string(kAlphabet) + std::string(odd, sizeof odd - 1);
    int refused = 0;
    const int cases = 20000;
    for (int i = 0; i < cases; ++i) {
        std::string text;
        if (OneIn(rng, 5)) {
            for (std::size_t n = Below(rng, 13); n > 0; --n) text += noise[Below(rng, noise.size())];
        } else {
            std::string bytes;
            for (std::size_t n = Below(rng, 12); n > 0; --n) bytes += robust::AnyByte(rng);
            text = ReferenceEncode(bytes);
            for (std::size_t edits = Below(rng, 3); edits > 0; --edits) {
                const std::size_t at = text.empty() ? 0 : Below(rng, text.size());
                switch (Below(rng, 4)) {
                case 0: if (!text.empty()) text[at] = noise[Below(rng, noise.size())]; break;
                case 1: if (!text.empty()) text.erase(at, 1); break;
                case 2: text.insert(at, 1, noise[Below(rng, noise.size())]); break;
                default: if (!text.empty()) text[text.size() - 1 - Below(rng, text.size() < 3 ? text.size() : 3)] = '='; break;
                }
            }
        }
        std::string expected;
        const bool valid = ReferenceDecode(text, expected);
        std::string decoded = "stale";
        const bool ok = DecodeBase64(text, decoded);
        const std::string where = "seed " + std::to_string(seed) + " case " + std::to_string(i) + " text " + Shown(text);
        ASSERT_EQ(ok, valid) << where;
        ASSERT_EQ(decoded, valid ? expected : std::string()) << where;
        refused += valid ? 0 : 1;
    }
    EXPECT_GT(refused, cases / 5);
    EXPECT_LT(refused, cases - cases / 10);
}

}  // namespace
