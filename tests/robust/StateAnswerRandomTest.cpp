#include "net/StateAnswer.h"

#include "app/BuildConfig.h"
#include "net/AgentStateQuery.h"
#include "tests/robust/RandomCases.h"
#include "tests/support/FakeAgent.h"
#include "tests/support/HttpTestServer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace {

using robust::Below;
using robust::OneIn;
using robust::Rng;
using robust::Shown;

// ------------------------------------------------------------ JSON model
// A generated answer is built as a tree, then written out with random
// spacing, comments and escapes; the tree, not a parser, says what it holds.

struct Node {
    enum Kind { Null, False, True, Number, String, Array, Object } kind = Null;
    std::string number;       // literal, for Number
    bool readsAsZero = false; // the integer reading is 0, for Number
    std::string text;         // decoded bytes, for String
    std::vector<Node> items;  // Array
    std::vector<std::pair<std::string, Node>> members;  // Object, decoded keys, in order
};

Node Scalar(Node::Kind kind) {
    Node n;
    n.kind = kind;
    return n;
}

Node Text(std::string bytes) {
    Node n;
    n.kind = Node::String;
    n.text = std::move(bytes);
    return n;
}

// ------------------------------------------------------------ writing

class Writer {
public:
    explicit Writer(Rng& rng) : m_rng(rng) {}

    std::string Write(const Node& root) {
        m_out.clear();
        Gap(true);
        Value(root);
        Gap(true);
        return m_out;
    }

private:
    // Spaces anywhere between tokens; comments only where the reader takes
    // them (before and after values and before member names).
    void Gap(bool commentAllowed) {
        for (std::size_t n = Below(m_rng, 3); n > 0; --n) m_out += " \t\n\r"[Below(m_rng, 4)];
        if (commentAllowed && OneIn(m_rng, 25)) {
            m_out += OneIn(m_rng, 2) ? "/* \"status\":1, [ */" : "// {\"data\" \n";
            m_out += ' ';
        }
    }

    void Hex4(unsigned value) {
        static const char upper[] = "0123456789ABCDEF";
        static const char lower[] = "0123456789abcdef";
        const char* digits = OneIn(m_rng, 2) ? upper : lower;
        m_out += "\\u";
        for (int shift = 12; shift >= 0; shift -= 4) m_out += digits[(value >> shift) & 0xF];
    }

    // The decoded bytes of a string, each written raw or escaped at random.
    void Quoted(const std::string& bytes) {
        m_out += '"';
        std::size_t at = 0;
        while (at < bytes.size()) {
            const unsigned char c = static_cast<unsigned char>(bytes[at]);
            // A well-formed multi-byte sequence may go out as one escape (a
            // surrogate pair beyond the BMP).
            std::size_t length = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xC2 && c <= 0xDF ? 2 : 1;
            std::wstring unit;
            if (length > 1 && at + length <= bytes.size() && robust::ReferenceUtf8Decode(bytes.substr(at, length), unit) &&
                OneIn(m_rng, 2)) {
                std::uint32_t cp = 0;
                for (std::size_t k = 0; k < length; ++k) {
                    const unsigned b = static_cast<unsigned char>(bytes[at + k]);
                    cp = k == 0 ? (b & (0x7F >> length)) : (cp << 6) | (b & 0x3F);
                }
                if (cp >= 0x10000) {
                    Hex4(0xD800 + ((cp - 0x10000) >> 10));
                    Hex4(0xDC00 + ((cp - 0x10000) & 0x3FF));
                    at += length;
                    continue;
                }
                if (cp < 0xD800 || cp > 0xDFFF) {
                    Hex4(cp);
                    at += length;
                    continue;
                }
            }
            ++at;
            if (c == '"' || c == '\\') {
                if (OneIn(m_rng, 2)) {
                    m_out += '\\';
                    m_out += static_cast<char>(c);
                } else {
                    Hex4(c);
                }
            } else if (c < 0x20) {
                const char* shortForm = c == '\n' ? "\\n" : c == '\t' ? "\\t" : c == '\r' ? "\\r" : c == '\b' ? "\\b" : c == '\f' ? "\\f" : nullptr;
                if (shortForm != nullptr && OneIn(m_rng, 2)) {
                    m_out += shortForm;
                } else if (OneIn(m_rng, 4)) {
                    m_out += static_cast<char>(c);  // the reader takes raw control bytes too
                } else {
                    Hex4(c);
                }
            } else if (c == '/' && OneIn(m_rng, 3)) {
                m_out += "\\/";
            } else if (c < 0x80 && OneIn(m_rng, 8)) {
                Hex4(c);
            } else {
                m_out += static_cast<char>(c);
            }
        }
        m_out += '"';
    }

    void Value(const Node& n) {
        switch (n.kind) {
        case Node::Null: m_out += "null"; break;
        case Node::False: m_out += "false"; break;
        case Node::True: m_out += "true"; break;
        case Node::Number: m_out += n.number; break;
        case Node::String: Quoted(n.text); break;
        case Node::Array:
            m_out += '[';
            for (std::size_t i = 0; i < n.items.size(); ++i) {
                if (i > 0) m_out += ',';
                Gap(true);
                Value(n.items[i]);
                Gap(true);
            }
            if (n.items.empty()) Gap(false);
            m_out += ']';
            break;
        case Node::Object:
            m_out += '{';
            for (std::size_t i = 0; i < n.members.size(); ++i) {
                if (i > 0) m_out += ',';
                Gap(true);
                Quoted(n.members[i].first);
                Gap(false);
                m_out += ':';
                Gap(true);
                Value(n.members[i].second);
                Gap(true);
            }
            if (n.members.empty()) Gap(false);
            m_out += '}';
            break;
        }
    }

    Rng& m_rng;
    std::string m_out;
};

// ------------------------------------------------------------ generating

Node RandomNumber(Rng& rng) {
    Node n;
    n.kind = Node::Number;
    auto digits = [&](std::size_t count) {
        std::string s(1, static_cast<char>('1' + Below(rng, 9)));
        while (s.size() < count) s += static_cast<char>('0' + Below(rng, 10));
        return s;
    };
    switch (Below(rng, 8)) {
    case 0: n.number = "0"; break;
    case 1: n.number = "-0"; break;
    case 2: n.number = (OneIn(rng, 2) ? "-" : "") + digits(1 + Below(rng, 9)); break;  // within int
    case 3: n.number = (OneIn(rng, 2) ? "-" : "") + digits(10 + Below(rng, 12)); break;  // int64 and beyond
    case 4: n.number = digits(25 + Below(rng, 250)); break;  // huge, still a finite double
    case 5: n.number = std::string(OneIn(rng, 2) ? "-" : "") + "0." + std::to_string(Below(rng, 1000000)); break;
    case 6: {  // mantissa and exponent, small or large
        n.number = std::string(OneIn(rng, 3) ? "-" : "") + std::to_string(Below(rng, 10)) + "." + std::to_string(Below(rng, 100000)) +
                   (OneIn(rng, 2) ? "e" : "E") + (OneIn(rng, 2) ? "-" : (OneIn(rng, 2) ? "+" : "")) +
                   std::to_string(Below(rng, 200));
        break;
    }
    default: n.number = std::to_string(Below(rng, 3)) + ".0"; break;
    }
    const bool integral = n.number.find_first_of(".eE") == std::string::npos;
    if (integral) {
        n.readsAsZero = n.number.find_first_not_of("-0") == std::string::npos;
    } else {
        const double v = std::strtod(n.number.c_str(), nullptr);  // reals are read truncated
        n.readsAsZero = std::isfinite(v) && v > -1.0 && v < 1.0;
    }
    return n;
}

std::string RandomTextBytes(Rng& rng) {
    static const char* const pieces[] = {"NORMAL", "INACTIVE", "LOWVERSION", "normal", "Normal", " ", "\"", "\\", "/",
                                         "\n", "\t", "(zero)", "2.1.0", "\xC3\xA9", "\xE4\xB8\xAD",
                                         "\xF0\x9F\x98\x80", "\xFF", "\x01", "x"};
    std::string s;
    for (std::size_t n = Below(rng, 4); n > 0; --n) {
        const std::size_t pick = Below(rng, sizeof pieces / sizeof pieces[0]);
        if (pick == 11) {
            s += '\0';
        } else {
            s += pieces[pick];
        }
    }
    return s;
}

Node RandomValue(Rng& rng, int depth);

Node RandomContainer(Rng& rng, int depth, bool object) {
    Node n;
    n.kind = object ? Node::Object : Node::Array;
    for (std::size_t count = Below(rng, depth > 2 ? 2 : 4); count > 0; --count) {
        if (object) {
            n.members.emplace_back(RandomTextBytes(rng), RandomValue(rng, depth + 1));
        } else {
            n.items.push_back(RandomValue(rng, depth + 1));
        }
    }
    return n;
}

Node RandomValue(Rng& rng, int depth) {
    switch (Below(rng, 8)) {
    case 0: return Scalar(Node::Null);
    case 1: return Scalar(OneIn(rng, 2) ? Node::False : Node::True);
    case 2:
    case 3: return RandomNumber(rng);
    case 4:
    case 5: return Text(RandomTextBytes(rng));
    case 6: return depth < 4 ? RandomContainer(rng, depth, false) : Scalar(Node::Null);
    default: return depth < 4 ? RandomContainer(rng, depth, true) : Text("leaf");
    }
}

// Arrays and objects nested depth levels deep, within what the reader takes.
Node Nested(Rng& rng, int depth) {
    Node inner = RandomValue(rng, 4);
    for (int d = 0; d < depth; ++d) {
        Node outer;
        if (OneIn(rng, 2)) {
            outer.kind = Node::Array;
            outer.items.push_back(std::move(inner));
        } else {
            outer.kind = Node::Object;
            outer.members.emplace_back("k", std::move(inner));
        }
        inner = std::move(outer);
    }
    return inner;
}

// Names that are, or nearly are, the members the answer is read by.
std::string NearName(Rng& rng, const char* name) {
    std::string s = name;
    switch (Below(rng, 10)) {
    case 0: s[0] = static_cast<char>(s[0] - 'a' + 'A'); return s;
    case 1: return s + " ";
    case 2: return s + std::string("\0", 1);
    case 3: return s.substr(0, s.size() - 1);
    default: return s;  // the name itself, most of the time
    }
}

Node RandomMember(Rng& rng, const char* name) {
    if (std::string(name) == "state" && Below(rng, 3) != 0) {
        static const char* const states[] = {"NORMAL", "INACTIVE", "LOWVERSION"};
        return Text(OneIn(rng, 5) ? RandomTextBytes(rng) : states[Below(rng, 3)]);
    }
    if (std::string(name) == "releaseVersion" && Below(rng, 2) != 0) return Text(RandomTextBytes(rng) + "3.6.0.1");
    if (std::string(name) == "status" && Below(rng, 2) != 0) {
        return Below(rng, 3) != 0 ? RandomNumber(rng) : Scalar(OneIn(rng, 2) ? Node::False : Node::Null);
    }
    if (OneIn(rng, 30)) return Nested(rng, 50 + static_cast<int>(Below(rng, 500)));
    return RandomValue(rng, 1);
}

Node RandomData(Rng& rng) {
    if (OneIn(rng, 6)) return RandomValue(rng, 1);
    Node data;
    data.kind = Node::Object;
    for (std::size_t count = Below(rng, 5); count > 0; --count) {
        const char* name = OneIn(rng, 2) ? "state" : OneIn(rng, 3) ? "other" : "releaseVersion";
        data.members.emplace_back(NearName(rng, name), RandomMember(rng, name));
    }
    return data;
}

Node RandomAnswer(Rng& rng) {
    if (OneIn(rng, 15)) return RandomValue(rng, 0);  // a root that is mostly no object
    Node root;
    root.kind = Node::Object;
    for (std::size_t count = Below(rng, 6); count > 0; --count) {
        switch (Below(rng, 5)) {
        case 0:
        case 1: root.members.emplace_back(NearName(rng, "status"), RandomMember(rng, "status")); break;
        case 2:
        case 3: root.members.emplace_back(NearName(rng, "data"), RandomData(rng)); break;
        default: root.members.emplace_back(RandomTextBytes(rng), RandomMember(rng, "extra")); break;
        }
    }
    return root;
}

// ------------------------------------------------------------ the rule

const Node* Member(const Node& object, const std::string& name) {
    const Node* found = nullptr;
    for (const auto& m : object.members)
        if (m.first == name) found = &m.second;  // a repeated name: the last one counts
    return found;
}

struct Expected {
    bool usable = false;
    std::string stateName;
    std::string releaseVersion;
};

bool TextOrAbsent(const Node* n, std::string& out) {
    out.clear();
    if (n == nullptr || n->kind == Node::Null) return true;
    if (n->kind != Node::String) return false;
    out = n->text;
    return true;
}

// Usable when the root is an object, "status" reads as integer 0 (absent,
// null, false, or a number truncated to 0), "data" is absent, null or an
// object, and its "state" and "releaseVersion" are absent, null or strings.
Expected ReferenceAnswer(const Node& root) {
    Expected e;
    if (root.kind != Node::Object) return e;
    const Node* status = Member(root, "status");
    const bool statusZero = status == nullptr || status->kind == Node::Null || status->kind == Node::False ||
                            (status->kind == Node::Number && status->readsAsZero);
    if (!statusZero) return e;
    const Node* data = Member(root, "data");
    std::string state, release;
    if (data != nullptr && data->kind == Node::Object) {
        if (!TextOrAbsent(Member(*data, "state"), state) || !TextOrAbsent(Member(*data, "releaseVersion"), release))
            return e;
    } else if (data != nullptr && data->kind != Node::Null) {
        return e;
    }
    e.usable = true;
    e.stateName = state;
    e.releaseVersion = release;
    return e;
}

int ReferenceCode(const Expected& e) {
    if (!e.usable) return 2;
    if (e.stateName == "NORMAL") return 1;
    if (e.stateName == "INACTIVE") return 2;
    if (e.stateName == "LOWVERSION") return 3;
    return 0;
}

bool IsAscii(const std::string& s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// Reads without letting anything escape; false when something did.
bool ReadQuietly(const std::string& body, StateAnswer& answer) {
    try {
        answer = ReadStateAnswer(body);
        return true;
    } catch (...) {
        return false;
    }
}

// What holds for any answer at all: a body that is no JSON leaves everything
// empty; a parsed one has its one-line form, and reading that form again
// gives the same verdict (and the same texts where the writer keeps them).
void CheckConsistent(const StateAnswer& a, const std::string& where) {
    if (!a.parsed) {
        ASSERT_FALSE(a.usable) << where;
        ASSERT_TRUE(a.compactJson.empty() && a.stateName.empty() && a.releaseVersion.empty()) << where;
        return;
    }
    if (!a.usable) {
        ASSERT_TRUE(a.stateName.empty() && a.releaseVersion.empty()) << where;
    }
    ASSERT_FALSE(a.compactJson.empty()) << where;
    ASSERT_EQ(a.compactJson.back(), '\n') << where;
    ASSERT_EQ(a.compactJson.find('\n'), a.compactJson.size() - 1) << "not one line, " << where;
    StateAnswer again;
    ASSERT_TRUE(ReadQuietly(a.compactJson, again)) << where;
    ASSERT_TRUE(again.parsed) << where << "\n compact " << Shown(a.compactJson);
    ASSERT_EQ(again.usable, a.usable) << where << "\n compact " << Shown(a.compactJson);
    // The writer turns undecodable bytes into U+FFFD, which may reorder
    // names once; from then on the one-line form is a fixed point.
    StateAnswer third;
    ASSERT_TRUE(ReadQuietly(again.compactJson, third)) << where;
    ASSERT_EQ(third.compactJson, again.compactJson) << where;
    ASSERT_EQ(third.usable, a.usable) << where;
    if (IsAscii(a.stateName)) {
        ASSERT_EQ(again.stateName, a.stateName) << where;
    }
    if (IsAscii(a.releaseVersion)) {
        ASSERT_EQ(again.releaseVersion, a.releaseVersion) << where;
    }
}

std::string Where(unsigned seed, int i, const std::string& body) {
    std::string shown = Shown(body);
    if (shown.size() > 1500) shown = shown.substr(0, 1500) + "...";
    return "seed " + std::to_string(seed) + " case " + std::to_string(i) + " body " + shown;
}

// Generated answers with every JSON type in every member, repeated names,
// near-miss names, escapes, comments, huge numbers and deep nesting: read
// without an exception and mapped exactly as the rule says.
TEST(StateAnswerRandom, GeneratedAnswersMapByTheMemberRule) {
    const unsigned seed = 1618033u;
    Rng rng(seed);
    Writer writer(rng);
    const int cases = 4000;
    int usable = 0;
    for (int i = 0; i < cases; ++i) {
        const Node root = RandomAnswer(rng);
        const std::string body = writer.Write(root);
        const std::string where = Where(seed, i, body);
        const Expected e = ReferenceAnswer(root);
        StateAnswer a;
        ASSERT_TRUE(ReadQuietly(body, a)) << "exception escaped, " << where;
        ASSERT_TRUE(a.parsed) << where;
        ASSERT_EQ(a.usable, e.usable) << where;
        ASSERT_EQ(a.stateName, e.stateName) << where << "\n got " << Shown(a.stateName);
        ASSERT_EQ(a.releaseVersion, e.releaseVersion) << where << "\n got " << Shown(a.releaseVersion);
        CheckConsistent(a, where);
        if (HasFatalFailure()) return;
        usable += e.usable ? 1 : 0;
    }
    EXPECT_GT(usable, cases / 5);
    EXPECT_LT(usable, cases - cases / 5);
}

// Random bytes, and generated answers with bytes flipped, cut, inserted or
// repeated: never an exception, and a verdict consistent with itself.
TEST(StateAnswerRandom, DamagedAndRandomBodiesNeverThrowAndStayConsistent) {
    const unsigned seed = 271828u;
    Rng rng(seed);
    Writer writer(rng);
    const int cases = 8000;
    int parsed = 0;
    for (int i = 0; i < cases; ++i) {
        std::string body;
        if (OneIn(rng, 4)) {
            for (std::size_t n = Below(rng, 120); n > 0; --n) body += robust::AnyByte(rng);
            if (OneIn(rng, 2)) body.insert(0, "{");
        } else {
            body = writer.Write(RandomAnswer(rng));
            for (std::size_t edits = 1 + Below(rng, 3); edits > 0 && !body.empty(); --edits) {
                const std::size_t at = Below(rng, body.size());
                switch (Below(rng, 5)) {
                case 0: body[at] = robust::AnyByte(rng); break;
                case 1: body.erase(at, 1 + Below(rng, 8)); break;
                case 2: body.insert(at, 1, "{}[]\",:0-e.\\/"[Below(rng, 13)]); break;
                case 3: body.resize(at); break;
                default: body.insert(at, body.substr(at, Below(rng, 16))); break;
                }
            }
        }
        const std::string where = Where(seed, i, body);
        StateAnswer a;
        ASSERT_TRUE(ReadQuietly(body, a)) << "exception escaped, " << where;
        CheckConsistent(a, where);
        if (HasFatalFailure()) return;
        parsed += a.parsed ? 1 : 0;
    }
    EXPECT_GT(parsed, cases / 10);
    EXPECT_LT(parsed, cases - cases / 10);
}

// Bodies at the reader's limits: nesting far beyond what it takes, numbers
// beyond a double, long texts. No exception; an answer that cannot be read
// is no usable answer.
TEST(StateAnswerRandom, BodiesAtTheReadersLimitsAreNoUsableAnswer) {
    const std::string normal = "\"data\":{\"state\":\"NORMAL\"}";
    struct Case {
        const char* name;
        std::string body;
        bool mayBeUsable;
    };
    const std::vector<Case> cases = {
        {"deep_arrays_in_extra_member", "{\"status\":0," + normal + ",\"x\":" + std::string(3000, '[') + std::string(3000, ']') + "}", false},
        {"deep_objects_in_data", "{\"status\":0,\"data\":" + [] {
             std::string s;
             for (int d = 0; d < 2000; ++d) s += "{\"a\":";
             s += "1";
             for (int d = 0; d < 2000; ++d) s += "}";
             return s;
         }() + "}", false},
        {"status_beyond_double", "{\"status\":1e400," + normal + "}", false},
        {"status_negative_beyond_double", "{\"status\":-1e400," + normal + "}", false},
        {"status_four_hundred_digits", "{\"status\":" + std::string(400, '9') + "," + normal + "}", false},
        {"status_tiny_real", "{\"status\":1e-400," + normal + "}", true},
        {"extra_beyond_double", "{\"status\":0," + normal + ",\"x\":1e99999}", true},
        {"long_state", "{\"status\":0,\"data\":{\"state\":\"" + std::string(200000, 'N') + "\"}}", true},
    };
    for (const Case& c : cases) {
        StateAnswer a;
        ASSERT_TRUE(ReadQuietly(c.body, a)) << c.name;
        if (!c.mayBeUsable) {
            EXPECT_FALSE(a.usable) << c.name;
        }
        if (!a.parsed) {
            EXPECT_FALSE(a.usable) << c.name;
        }
        CheckConsistent(a, c.name);
    }
}

// A sample of the generated answers served by a status server: the code and
// the release version that the immediate query hands back follow the rule,
// and the state table stays as it was.
TEST(StateAnswerRandom, ServedAnswersGiveTheCodeOfTheRule) {
    ScopedFakeAgent agent;
    HttpTestServer server;
    ASSERT_TRUE(server.Start(g_statusServerPort)) << server.StartError();
    const unsigned seed = 5551212u;
    const int kServed = 40;  // each is a whole HTTP exchange
    Rng rng(seed);
    Writer writer(rng);
    for (int i = 0; i < kServed; ++i) {
        const Node root = RandomAnswer(rng);
        const std::string body = writer.Write(root);
        const Expected e = ReferenceAnswer(root);
        server.Push(HttpReply::Json(body));
        std::string release = "before";
        const int code = CheckQEVStatusImmediate("6f1c2a9e-3b7d-4c55-9e21-8a0d4b6f7c13", release);
        const std::string where = Where(seed, i, body);
        ASSERT_EQ(code, ReferenceCode(e)) << where;
        ASSERT_EQ(release, e.usable ? e.releaseVersion : std::string("before")) << where;
    }
    EXPECT_EQ(server.RequestCount(), static_cast<std::size_t>(kServed));
    ASSERT_EQ(ServerStateCodes.size(), 3u);
}

}  // namespace
