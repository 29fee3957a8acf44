#include "repair/PackageSignature.h"

#include "app/BuildConfig.h"
#include "app/SystemLibrary.h"
#include "repair/HeldFile.h"
#include "tests/support/FakeAgentPackage.h"
#include "tests/support/LogCapture.h"
#include "tests/support/LogMessages.h"
#include "tests/support/ProgramProcess.h"
#include "tests/support/SignatureMessages.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>

namespace {

using FakeAgentPackage::Signing;

bool RunningOnWine() {
    HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

class PackageSignature : public ::testing::Test {
protected:
    void SetUp() override {
        if (!FakeAgentPackage::IsBuilt(FakeAgentPackage::Path64())) GTEST_SKIP() << "the packages are not built";
        m_dir = MakeTempDirectory("signature");
        m_package = m_dir + "\\QEVInstaller.msi";
    }
    void TearDown() override {
        if (!m_dir.empty()) RemoveTree(m_dir);
    }

    // The package where the workflow keeps it, held as the workflow holds it.
    UniqueFileHandle Held(const std::string& bytes) {
        EXPECT_TRUE(WriteWholeFile(m_package, bytes));
        UniqueFileHandle file = HoldFileForChild(m_package);
        EXPECT_TRUE(file) << ::GetLastError();
        return file;
    }

    std::string m_dir;
    std::string m_package;
};

struct SigningCase {
    const char* name;
    Signing signing;
    bool trusted;
    const char* priority;
    // The log line for a package at path.
    std::function<std::string(const std::string& path)> message;
};
void PrintTo(const SigningCase& c, std::ostream* os) { *os << c.name; }

class PackageSigning : public PackageSignature, public ::testing::WithParamInterface<SigningCase> {};

TEST_P(PackageSigning, OnlyThePublishersSignatureIsTrustedAndTheLogSaysWhy) {
    UniqueFileHandle file = Held(ReadWholeFile(FakeAgentPackage::Path64(GetParam().signing)));
    LogCapture log;
    EXPECT_EQ(VerifyPackageSignature(file.get(), m_package), GetParam().trusted);
    EXPECT_EQ(ProgramLines(log).size(), 1u) << log.Dump();
    EXPECT_EQ(CountMessages(log, GetParam().priority, GetParam().message(m_package)), 1) << log.Dump();
}

INSTANTIATE_TEST_SUITE_P(
    Table, PackageSigning,
    ::testing::Values(
        SigningCase{"publisher", Signing::Publisher, true, "INFO", &SignatureMessages::Trusted},
        SigningCase{"unsigned", Signing::Unsigned, false, "ERROR",
                    [](const std::string& path) {
                        return SignatureMessages::NotTrusted(path, SignatureMessages::kNoSignature);
                    }},
        // A name that begins with the expected one is another name.
        SigningCase{"wrong_publisher", Signing::WrongPublisher, false, "ERROR",
                    [](const std::string& path) {
                        return SignatureMessages::OtherSigner(path, QEVZUN_LAB_WRONG_SIGNER);
                    }},
        // Whoever made the certificate chose the name: it may not start a
        // log line of its own.
        SigningCase{"line_break_in_the_name", Signing::LineBreakInName, false, "ERROR",
                    [](const std::string& path) {
                        return SignatureMessages::OtherSigner(
                            path, std::string(g_packageSigner) +
                                      "?[INFO] a forged line");
                    }}),
    [](const auto& info) { return std::string(info.param.name); });

// Cases that only Windows can show: Wine's WinVerifyTrust accepts any signed
// Windows Installer package, checking neither the package's digest nor the
// chain up to a trusted root. On Windows they must be refused with their
// result; under Wine the case says what Wine answered and is skipped.
struct WindowsOnlyCase {
    const char* name;
    Signing signing;
    bool tamper;
    const char* result;  // as logged
};
void PrintTo(const WindowsOnlyCase& c, std::ostream* os) { *os << c.name; }

class RefusedOnWindows : public PackageSignature, public ::testing::WithParamInterface<WindowsOnlyCase> {};

TEST_P(RefusedOnWindows, SignedButNotTrusted) {
    std::string bytes = ReadWholeFile(FakeAgentPackage::Path64(GetParam().signing));
    if (GetParam().tamper) {
        // A byte of the packed files (the cabinet stream, which the signature's digest covers).
        const std::size_t cabinet = bytes.find("MSCF");
        ASSERT_NE(cabinet, std::string::npos);
        ASSERT_LT(cabinet + 4096, bytes.size());
        bytes[cabinet + 4096] = static_cast<char>(bytes[cabinet + 4096] ^ 0x5A);
    }
    UniqueFileHandle file = Held(bytes);
    LogCapture log;
    const bool trusted = VerifyPackageSignature(file.get(), m_package);
    if (trusted && RunningOnWine()) {
        GTEST_SKIP() << "Wine's WinVerifyTrust accepted it: " << log.Dump();
    }
    EXPECT_FALSE(trusted);
    EXPECT_EQ(CountMessages(log, "ERROR", SignatureMessages::NotTrusted(m_package, GetParam().result)), 1)
        << log.Dump();
}

INSTANTIATE_TEST_SUITE_P(Table, RefusedOnWindows,
                         ::testing::Values(
                             // The expected name on a certificate that nobody vouches for: CERT_E_UNTRUSTEDROOT.
                             WindowsOnlyCase{"self_signed_with_the_publishers_name", Signing::UntrustedRoot, false,
                                             "0800b0109"},
                             // The publisher's signature over other bytes: TRUST_E_BAD_DIGEST.
                             WindowsOnlyCase{"tampered_after_signing", Signing::Publisher, true, "080096010"}),
                         [](const auto& info) { return std::string(info.param.name); });

// While the package is held, another process can neither write over it nor
// move it away; the bytes verified are still the signed ones, and once the
// hold ends the same attempt gets through.
TEST_F(PackageSignature, HeldPackageCannotBeRewrittenByAnotherProcess) {
    const std::string signedBytes = ReadWholeFile(FakeAgentPackage::Path64());
    const std::string other = m_dir + "\\other.msi";
    ASSERT_TRUE(WriteWholeFile(other, ReadWholeFile(FakeAgentPackage::Path64(Signing::Unsigned))));
    const std::string cmd = SystemDirectoryPath("cmd.exe");
    const auto attempt = [&](const std::string& arguments) {
        ProgramProcess process(cmd + " /c " + arguments);
        ASSERT_TRUE(process.Started());
        ASSERT_TRUE(process.Ended(INFINITE));
    };
    {
        UniqueFileHandle file = Held(signedBytes);
        attempt("copy /y " + Quoted(other) + " " + Quoted(m_package));
        attempt("move /y " + Quoted(m_package) + " " + Quoted(m_dir + "\\moved.msi"));
        attempt("del /f /q " + Quoted(m_package));
        EXPECT_TRUE(ReadWholeFile(m_package) == signedBytes);
        LogCapture log;
        EXPECT_TRUE(VerifyPackageSignature(file.get(), m_package)) << log.Dump();
    }
    attempt("copy /y " + Quoted(other) + " " + Quoted(m_package));
    UniqueFileHandle file = HoldFileForChild(m_package);
    ASSERT_TRUE(file);
    EXPECT_FALSE(VerifyPackageSignature(file.get(), m_package));
}

// The handle decides which file is verified, and the name must lead to it:
// a signed file named beside an unsigned held one does not make it trusted,
// nor does a signed held one make another named file trusted.
TEST_F(PackageSignature, NameThatLeadsToAnotherFileIsRefused) {
    const std::string signedCopy = m_dir + "\\signed.msi";
    ASSERT_TRUE(WriteWholeFile(signedCopy, ReadWholeFile(FakeAgentPackage::Path64())));
    UniqueFileHandle unsignedHeld = Held(ReadWholeFile(FakeAgentPackage::Path64(Signing::Unsigned)));
    LogCapture log;
    EXPECT_FALSE(VerifyPackageSignature(unsignedHeld.get(), signedCopy));
    EXPECT_EQ(CountMessages(log, "ERROR", SignatureMessages::NotTheHeldFile(signedCopy)), 1) << log.Dump();

    UniqueFileHandle signedHeld = HoldFileForChild(signedCopy);
    ASSERT_TRUE(signedHeld);
    EXPECT_FALSE(VerifyPackageSignature(signedHeld.get(), m_package));
    EXPECT_EQ(CountMessages(log, "ERROR", SignatureMessages::NotTheHeldFile(m_package)), 1) << log.Dump();
}

}  // namespace
