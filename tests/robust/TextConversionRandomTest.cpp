#include "inspect/TextConversion.h"

#include "tests/robust/RandomCases.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace {

using robust::Below;
using robust::OneIn;
using robust::Rng;
using robust::Shown;

// One piece of a generated input: its bytes, and when it is a sequence that
// decodes on its own, the unit it stands for.
struct Piece {
    std::string bytes;
    bool decodes = true;
    wchar_t unit = 0;
};

std::uint32_t InRange(Rng& rng, std::uint32_t low, std::uint32_t high) {
    return std::uniform_int_distribution<std::uint32_t>(low, high)(rng);
}

Piece Valid(std::uint32_t value, std::size_t length) {
    return Piece{robust::EncodeInLength(value, length), true, static_cast<wchar_t>(value & 0xFFFF)};
}

Piece Invalid(std::string bytes) { return Piece{std::move(bytes), false, 0}; }

Piece RandomPiece(Rng& rng) {
    switch (Below(rng, 16)) {
    case 0: return Valid(InRange(rng, 0x00, 0x7F), 1);
    case 1: return Valid(0, 1);  // embedded zero
    case 2: return Valid(InRange(rng, 0x80, 0x7FF), 2);
    case 3: return Valid(InRange(rng, 0x800, 0xFFFF), 3);
    case 4: return Valid(InRange(rng, 0xD800, 0xDFFF), 3);             // an encoded surrogate half
    case 5: return Valid(InRange(rng, 0x10000, 0x10FFFF), 4);          // beyond the BMP: low 16 bits
    case 6: return Valid(InRange(rng, 0, 0x7FF), 2 + Below(rng, 5));   // overlong, 2 to 6 bytes
    case 7: return Valid(InRange(rng, 0x10000, 0x10FFFF), 5 + Below(rng, 2));  // 5 or 6 bytes, in range
    case 8: return Invalid(robust::EncodeInLength(InRange(rng, 0x110000, 0x1FFFFF), 4));  // F4 90.. to F7
    case 9: return Invalid(robust::EncodeInLength(InRange(rng, 0x110000, 0x3FFFFFF), 5));
    case 10: return Invalid(robust::EncodeInLength(InRange(rng, 0x4000000, 0x7FFFFFFF), 6));
    case 11: return Invalid(std::string(1, static_cast<char>(InRange(rng, 0x80, 0xBF))));  // stray continuation
    case 12: {  // a sequence cut short (the next piece may or may not finish it)
        std::string full = robust::EncodeInLength(InRange(rng, 0x80, 0xFFFF), 2 + Below(rng, 5));
        return Invalid(full.substr(0, 1 + Below(rng, full.size() - 1)));
    }
    case 13: {  // a lead byte followed by a byte that is no continuation
        std::string s = robust::EncodeInLength(InRange(rng, 0x80, 0xFFFF), 2 + Below(rng, 3));
        s[1 + Below(rng, s.size() - 1)] = static_cast<char>(OneIn(rng, 2) ? InRange(rng, 0, 0x7F) : InRange(rng, 0xC0, 0xFF));
        return Invalid(s);
    }
    case 14: {  // FE and FF lead six-byte sequences: FE ones stay in range only as overlong forms
        std::string s(1, static_cast<char>(OneIn(rng, 2) ? 0xFE : 0xFF));
        for (int k = 0; k < 5; ++k) s += static_cast<char>(OneIn(rng, 3) ? 0x80 : InRange(rng, 0x80, 0xBF));
        return Invalid(s);  // the reference decides
    }
    default: return Invalid(std::string(1, robust::AnyByte(rng)));
    }
}

// Generated input plus what the pieces alone promise when every one of them decodes.
struct Utf8Case {
    std::string bytes;
    bool allPiecesDecode = true;
    std::wstring promised;
};

Utf8Case RandomUtf8(Rng& rng) {
    Utf8Case c;
    const std::size_t pieces = Below(rng, 4) == 0 ? Below(rng, 3) : Below(rng, 24);
    // Mostly valid text, so that valid inputs of every shape are well covered.
    const bool validOnly = OneIn(rng, 3);
    for (std::size_t i = 0; i < pieces; ++i) {
        Piece p = RandomPiece(rng);
        while (validOnly && !p.decodes) p = RandomPiece(rng);
        c.bytes += p.bytes;
        c.allPiecesDecode = c.allPiecesDecode && p.decodes;
        if (p.decodes) c.promised += p.unit;
    }
    return c;
}

std::wstring RandomUnits(Rng& rng) {
    std::wstring w;
    const std::size_t n = Below(rng, 40);
    for (std::size_t i = 0; i < n; ++i) {
        switch (Below(rng, 7)) {
        case 0: w += static_cast<wchar_t>(InRange(rng, 0, 0x7F)); break;
        case 1: w += static_cast<wchar_t>(InRange(rng, 0x80, 0x7FF)); break;
        case 2: w += static_cast<wchar_t>(InRange(rng, 0x800, 0xFFFF)); break;
        case 3: w += static_cast<wchar_t>(InRange(rng, 0xD800, 0xDFFF)); break;  // lone halves
        case 4:  // a proper pair, which still goes out as two three-byte sequences
            w += static_cast<wchar_t>(InRange(rng, 0xD800, 0xDBFF));
            w += static_cast<wchar_t>(InRange(rng, 0xDC00, 0xDFFF));
            break;
        case 5: w += static_cast<wchar_t>(OneIn(rng, 2) ? 0 : (OneIn(rng, 2) ? 0xFFFF : 0xFFFE)); break;
        default: w += static_cast<wchar_t>(InRange(rng, 0, 0xFFFF)); break;
        }
    }
    return w;
}

enum class Outcome { Decoded, RangeError, OtherException };

Outcome Decode(const std::string& bytes, std::wstring& out, std::string& what) {
    try {
        out = Utf8ToWide(bytes);
        return Outcome::Decoded;
    } catch (const std::range_error& e) {
        what = e.what();
        return Outcome::RangeError;
    } catch (...) {
        return Outcome::OtherException;
    }
}

// Decoding against the reference: the same units for decodable input, the
// range error "bad conversion" and nothing partial for the rest; the
// non-throwing form agrees and leaves its output alone on failure.
TEST(TextConversionRandom, Utf8ToWideFollowsTheDecodingRuleOnEveryKindOfSequence) {
    const unsigned seed = 20240611u;
    Rng rng(seed);
    const int cases = 20000;
    int decodable = 0;
    for (int i = 0; i < cases; ++i) {
        const Utf8Case c = RandomUtf8(rng);
        const std::string where = "seed " + std::to_string(seed) + " case " + std::to_string(i) + " input " + Shown(c.bytes);

        std::wstring expected;
        const bool valid = robust::ReferenceUtf8Decode(c.bytes, expected);
        if (c.allPiecesDecode) {
            // The reference itself against what the generator put in.
            ASSERT_TRUE(valid && expected == c.promised) << "reference disagrees with the generator, " << where;
        }
        decodable += valid ? 1 : 0;

        std::wstring got = L"untouched";
        std::string what;
        const Outcome outcome = Decode(c.bytes, got, what);
        if (valid) {
            ASSERT_EQ(outcome, Outcome::Decoded) << where;
            ASSERT_EQ(got, expected) << where << "\n got " << Shown(got) << "\n expected " << Shown(expected);
        } else {
            ASSERT_EQ(outcome, Outcome::RangeError) << where;
            ASSERT_EQ(what, "bad conversion") << where;
            ASSERT_EQ(got, L"untouched") << "partial result, " << where;
        }

        std::wstring tried = L"untouched";
        const bool ok = TryUtf8ToWide(c.bytes.data(), c.bytes.size(), tried);
        ASSERT_EQ(ok, valid) << where;
        ASSERT_EQ(tried, valid ? expected : std::wstring(L"untouched")) << where;
    }
    // Both kinds came up in numbers; a generator gone lopsided would test little.
    EXPECT_GT(decodable, cases / 4);
    EXPECT_LT(decodable, cases - cases / 4);
}

// Encoding against the reference, and decoding the encoding gives the units
// back: every 16-bit unit, lone or paired surrogate halves and zeros included.
TEST(TextConversionRandom, WideToUtf8EncodesEachUnitAloneAndDecodesBack) {
    const unsigned seed = 977u;
    Rng rng(seed);
    for (int i = 0; i < 20000; ++i) {
        const std::wstring units = RandomUnits(rng);
        const std::string where = "seed " + std::to_string(seed) + " case " + std::to_string(i) + " input " + Shown(units);
        const std::string encoded = WideToUtf8(units);
        const std::string expected = robust::ReferenceUcs2Encode(units);
        ASSERT_EQ(encoded, expected) << where << "\n got " << Shown(encoded) << "\n expected " << Shown(expected);
        std::wstring back;
        std::string what;
        ASSERT_EQ(Decode(encoded, back, what), Outcome::Decoded) << where;
        ASSERT_EQ(back, units) << where;
    }
}

// Valid text in shortest form (no overlong or beyond-BMP sequences) comes back
// byte for byte after decoding and encoding again.
TEST(TextConversionRandom, ShortestFormTextRoundTripsByteForByte) {
    const unsigned seed = 31337u;
    Rng rng(seed);
    for (int i = 0; i < 10000; ++i) {
        std::string bytes;
        const std::size_t n = Below(rng, 30);
        for (std::size_t k = 0; k < n; ++k) {
            switch (Below(rng, 4)) {
            case 0: bytes += robust::EncodeInLength(InRange(rng, 0, 0x7F), 1); break;
            case 1: bytes += robust::EncodeInLength(InRange(rng, 0x80, 0x7FF), 2); break;
            case 2: bytes += robust::EncodeInLength(InRange(rng, 0x800, 0xFFFF), 3); break;
            default: bytes += robust::EncodeInLength(InRange(rng, 0xD800, 0xDFFF), 3); break;
            }
        }
        const std::string where = "seed " + std::to_string(seed) + " case " + std::to_string(i) + " input " + Shown(bytes);
        std::wstring units;
        std::string what;
        ASSERT_EQ(Decode(bytes, units, what), Outcome::Decoded) << where;
        ASSERT_EQ(WideToUtf8(units), bytes) << where;
    }
}

}  // namespace
