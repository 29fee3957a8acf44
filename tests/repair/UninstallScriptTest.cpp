#include "repair/UninstallScript.h"

#include "repair/Base64.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <ostream>
#include <string>

namespace {

const std::string kName = "QEVUinstall.vbe";

std::string DecodedScript() {
    std::string text;
    EXPECT_TRUE(DecodeBase64(g_uninstallScriptBase64, text));
    return text;
}

// GetTempPathA reads TMP first; each test points it where it needs.
class UninstallScriptWriter : public ::testing::Test {
protected:
    void SetUp() override {
        char saved[32767] = {};
        m_hadTmp = ::GetEnvironmentVariableA("TMP", saved, sizeof saved) != 0;
        m_savedTmp = saved;
        m_root = MakeTempDirectory("script");
    }
    void TearDown() override {
        ::SetEnvironmentVariableA("TMP", m_hadTmp ? m_savedTmp.c_str() : nullptr);
        RemoveTree(m_root);
    }
    static void UseTemp(const std::string& dir) { ::SetEnvironmentVariableA("TMP", dir.c_str()); }

    std::string m_root;
    std::string m_savedTmp;
    bool m_hadTmp = false;
};

TEST_F(UninstallScriptWriter, EmbeddedTextIsTheScriptFileAsciiWithLfLineEnds) {
    const std::string text = DecodedScript();
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text, ReadWholeFile(QEVZUN_UNINSTALL_SCRIPT_SOURCE)) << "embedded text differs from the script file";
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        ASSERT_TRUE(c != 0 && c < 0x80 && c != '\r') << "byte " << int(c) << " at offset " << i;
    }
}

TEST_F(UninstallScriptWriter, WritesTheDecodedTextExactlyIntoTheTemporaryDirectory) {
    UseTemp(m_root);
    std::string path = "stale";
    ASSERT_TRUE(WriteUninstallScript(path));
    EXPECT_EQ(path, m_root + "\\" + kName);
    EXPECT_EQ(ReadWholeFile(path), DecodedScript());
}

TEST_F(UninstallScriptWriter, ReplacesALongerScriptOfAnEarlierRun) {
    UseTemp(m_root);
    const std::string path = m_root + "\\" + kName;
    const std::string decoded = DecodedScript();
    ASSERT_TRUE(WriteWholeFile(path, decoded + std::string(4096, 'x') + "\r\nold tail"));
    std::string written;
    ASSERT_TRUE(WriteUninstallScript(written));
    EXPECT_EQ(written, path);
    EXPECT_EQ(ReadWholeFile(path), decoded);
}

TEST_F(UninstallScriptWriter, MissingTemporaryDirectoryFailsWithThePathSet) {
    const std::string missing = m_root + "\\missing";
    UseTemp(missing);
    LogCapture log;
    std::string path;
    EXPECT_FALSE(WriteUninstallScript(path));
    EXPECT_EQ(path, missing + "\\" + kName);
    EXPECT_EQ(log.Count("WriteUninstallScript: Fail to open " + path), 1) << log.Dump();
}

// Temporary directories near the end of the 260-character buffer.
struct LengthCase {
    const char* name;
    std::size_t tempLength;  // GetTempPathA's text, trailing backslash included
    bool fits;
};
void PrintTo(const LengthCase& c, std::ostream* os) { *os << c.name << " (" << c.tempLength << ")"; }

class TemporaryDirectoryLength : public UninstallScriptWriter, public ::testing::WithParamInterface<LengthCase> {};

TEST_P(TemporaryDirectoryLength, NameIsWrittenWholeOrNotAtAll) {
    const LengthCase& c = GetParam();
    // m_root\ddd...d, made as long as the case needs (a directory name may be
    // 255 characters; a directory path at most 248).
    ASSERT_GT(c.tempLength, m_root.size() + 2);
    const std::string dir = m_root + "\\" + std::string(c.tempLength - m_root.size() - 2, 'd');
    const bool made = dir.size() < 248 && ::CreateDirectoryA(dir.c_str(), nullptr);
    UseTemp(dir);

    LogCapture log;
    std::string path;
    const bool written = WriteUninstallScript(path);
    const std::string whole = dir + "\\" + kName;
    if (c.fits) {
        ASSERT_TRUE(made);
        EXPECT_TRUE(written);
        EXPECT_EQ(path, whole);
        EXPECT_EQ(path.size(), 259u);
        EXPECT_EQ(ReadWholeFile(path), DecodedScript());
        return;
    }
    EXPECT_FALSE(written);
    EXPECT_LE(path.size(), 259u);
    if (c.tempLength < MAX_PATH) {
        EXPECT_EQ(path, whole.substr(0, 259)) << "cut where the buffer ends";
    } else {
        EXPECT_EQ(path, kName) << "no directory to put before the name";
        EXPECT_FALSE(FileExists(kName)) << "nothing written to the working directory";
    }
    if (made) {
        EXPECT_FALSE(FileExists(path));
    }
    EXPECT_EQ(log.Count("WriteUninstallScript: No room for QEVUinstall.vbe in the temporary directory"), 1)
        << log.Dump();
}

INSTANTIATE_TEST_SUITE_P(Table, TemporaryDirectoryLength,
                         ::testing::Values(LengthCase{"name_fits_exactly", 244, true},
                                           LengthCase{"one_character_short", 245, false},
                                           LengthCase{"directory_alone_fills_the_buffer", 259, false},
                                           LengthCase{"directory_longer_than_the_buffer", 300, false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
