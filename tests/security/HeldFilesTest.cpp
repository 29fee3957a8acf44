// The uninstall script and the package lie in the user's temporary
// directory, where any process of the user may write, between the moment the
// reinstall writes them and the moment the elevated script host or installer
// has read them. Another process tries to change them all the while.
#include "app/Handles.h"
#include "repair/ProgressMessages.h"
#include "repair/ReinstallWorkflow.h"
#include "repair/UninstallScript.h"
#include "tests/security/LoopbackReinstall.h"
#include "tests/support/FakeAgent.h"
#include "tests/support/ProgramProcess.h"
#include "tests/support/ReinstallFakes.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <utility>
#include <string>
#include <vector>

namespace {

// A child the reinstall started, played by the attacker's hold check.
struct Child {
    std::string file;    // what it was handed
    std::string report;  // what it read there
    UniqueKernelHandle process;  // kept for its exit code after the reinstall closed its own handle
};

DWORD ExitCode(const Child& child) {
    DWORD code = 0xFFFFFFFF;
    ::GetExitCodeProcess(child.process.get(), &code);
    return code;
}
std::vector<Child> g_children;

// In place of the script host and the installer: the hold check reads the
// file it is handed and, being another process, tries to change it.
BOOL WINAPI StartHoldCheck(LPCSTR, LPSTR line, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL, DWORD, LPVOID,
                           LPCSTR, LPSTARTUPINFOA startup, LPPROCESS_INFORMATION process) {
    Child child{ReinstallFakes::HandedFile(line), "", UniqueKernelHandle()};
    child.report = child.file + ".read";
    ::DeleteFileA(child.report.c_str());
    std::string command = "\"" + SiblingPath("qevzun_attacker.exe") + "\" hold-check \"" + child.file + "\" \"" +
                          child.report + "\"";
    if (!::CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, startup,
                          process)) {
        return FALSE;
    }
    ::DuplicateHandle(::GetCurrentProcess(), process->hProcess, ::GetCurrentProcess(), child.process.put(), 0, FALSE,
                      DUPLICATE_SAME_ACCESS);
    g_children.push_back(std::move(child));
    return TRUE;
}

class HeldFiles : public LoopbackReinstall {
protected:
    void SetUp() override {
        g_children.clear();
        LoopbackReinstall::SetUp();
        g_reinstallPlatform.createProcess = &StartHoldCheck;
    }
    void TearDown() override {
        for (const Child& child : g_children) ::DeleteFileA(child.report.c_str());
        LoopbackReinstall::TearDown();
    }

    // What each kind of file must hold when a child reads it.
    std::string Expected(const std::string& file) const {
        if (file == TempDir() + "QEVUinstall.vbe") return UninstallScriptText();
        if (file == TempDir() + "QEVInstaller.msi") return m_package;
        return "(a file the reinstall should not hand out: " + file + ")";
    }
};

TEST_F(HeldFiles, TheChildReadsThemButNoOtherProcessChangesThem) {
    ScopedFakeAgent agent;  // the uninstall runs: both files are handed out
    RunReinstallWorkflow(m_job);
    EXPECT_EQ(m_recorder.Codes().back(), UM_REINSTALL_OK);
    ASSERT_EQ(g_children.size(), 2u);
    EXPECT_EQ(g_children[0].file, TempDir() + "QEVUinstall.vbe");
    EXPECT_EQ(g_children[1].file, TempDir() + "QEVInstaller.msi");
    for (const Child& child : g_children) {
        // 0: the child read it whole; writing, deleting, renaming and opening
        // it for deletion were all refused.
        EXPECT_EQ(ExitCode(child), 0u) << child.file;
        EXPECT_TRUE(ReadWholeFile(child.report) == Expected(child.file)) << child.file;
        // Deleted after the child, as before.
        EXPECT_FALSE(FileExists(child.file)) << child.file;
    }
}

TEST_F(HeldFiles, ARacingWriterNeverReachesTheChild) {
    ScopedFakeAgent agent;
    const std::string stop = MakeTempDirectory("race") + "\\stop";
    std::vector<std::unique_ptr<ProgramProcess>> racers;
    for (const char* name : {"QEVUinstall.vbe", "QEVInstaller.msi"}) {
        racers.push_back(std::make_unique<ProgramProcess>("\"" + SiblingPath("qevzun_attacker.exe") + "\" race \"" +
                                                          TempDir() + name + "\" \"" + stop + "\""));
        ASSERT_TRUE(racers.back()->Started());
    }
    RunReinstallWorkflow(m_job);
    ASSERT_TRUE(WriteWholeFile(stop, ""));
    for (const auto& racer : racers) EXPECT_TRUE(racer->Ended(30000));
    // Whatever the race gave, a child only ever read what the reinstall wrote
    // or downloaded; where the racer got in first, the reinstall refused.
    for (const Child& child : g_children) {
        EXPECT_TRUE(ReadWholeFile(child.report) == Expected(child.file)) << child.file;
    }
    for (const char* name : {"QEVUinstall.vbe", "QEVInstaller.msi", "QEVUinstall.vbe.planted",
                             "QEVInstaller.msi.planted"}) {
        ::DeleteFileA((TempDir() + name).c_str());
    }
    RemoveTree(stop.substr(0, stop.rfind('\\')));
}

}  // namespace
