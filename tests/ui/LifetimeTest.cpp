// A progress dialog left by its user at any stage of its repair, while the
// worker goes on: nothing of the ended dialog may be touched, the main dialog
// stays usable, and the program starts cleanly the next time.
#include "app/AgentStatus.h"
#include "app/BuildConfig.h"
#include "tests/support/FakeAgent.h"
#include "tests/support/HttpTestServer.h"
#include "tests/ui/MainDialogFixture.h"
#include "tests/support/ProgramProcess.h"

#include <cstddef>
#include <string>
#include <vector>

namespace {

const char* CodeName(UINT code) {
    switch (code) {
    case UM_REINSTALL_BEGIN: return "REINSTALL_BEGIN";
    case UM_UNINSTALL_DONE: return "UNINSTALL_DONE";
    case UM_DOWNLOAD_BEGIN: return "DOWNLOAD_BEGIN";
    case UM_DOWNLOAD_DONE: return "DOWNLOAD_DONE";
    case UM_INSTALL_BEGIN: return "INSTALL_BEGIN";
    case UM_REINSTALL_OK: return "REINSTALL_OK";
    case UM_REINSTALL_FAIL: return "REINSTALL_FAIL";
    case UM_CHECK_STATE: return "CHECK_STATE";
    case UM_REPAIR_BEGIN: return "REPAIR_BEGIN";
    case UM_REPAIR_ITEM1: return "REPAIR_ITEM1";
    case UM_REPAIR_ITEM2: return "REPAIR_ITEM2";
    case UM_REPAIR_ITEM3: return "REPAIR_ITEM3";
    case UM_REPAIR_ITEM4: return "REPAIR_ITEM4";
    case UM_REPAIR_ITEM5: return "REPAIR_ITEM5";
    case UM_REPAIR_OK: return "REPAIR_OK";
    case UM_REPAIR_FAIL: return "REPAIR_FAIL";
    case UM_REPAIR_CHECK_STATE: return "REPAIR_CHECK_STATE";
    default: return "?";
    }
}

// Every stage message each worker sends before its final one, in its order.
const std::vector<UINT> kReinstallStages = {UM_REINSTALL_BEGIN, UM_UNINSTALL_DONE, UM_DOWNLOAD_BEGIN,
                                            UM_DOWNLOAD_DONE,   UM_INSTALL_BEGIN,  UM_CHECK_STATE};
const std::vector<UINT> kRepairStages = {UM_REPAIR_BEGIN, UM_REPAIR_ITEM1, UM_REPAIR_ITEM2,      UM_REPAIR_ITEM3,
                                         UM_REPAIR_ITEM4, UM_REPAIR_ITEM5, UM_REPAIR_CHECK_STATE};

enum class Leave { EscapeKey, CloseBox };
const Leave kLeaves[] = {Leave::EscapeKey, Leave::CloseBox};

// Where the user leaves: after `before` of the closed dialog's worker; the
// worker then says `after` (its final success included) to nobody.
struct Stage {
    std::string name;
    std::vector<UINT> before;
    std::vector<UINT> after;
};

// Leaving after each stage message, after none, and in the failed state
// (whose worker has nothing more to say).
std::vector<Stage> StagesOf(const std::vector<UINT>& road, UINT success, UINT failure) {
    std::vector<Stage> stages;
    for (std::size_t k = 0; k <= road.size(); ++k) {
        Stage s;
        s.name = k == 0 ? std::string("before any message") : std::string("after ") + CodeName(road[k - 1]);
        s.before.assign(road.begin(), road.begin() + static_cast<std::ptrdiff_t>(k));
        s.after.assign(road.begin() + static_cast<std::ptrdiff_t>(k), road.end());
        s.after.push_back(success);
        stages.push_back(s);
    }
    stages.push_back(Stage{std::string("after ") + CodeName(failure), {road.front(), failure}, {}});
    return stages;
}

class ProgressLifetime : public MainDialogTest {
protected:
    // One run of the main dialog: the user starts the repair, leaves its
    // progress dialog at the stage, and the worker finishes afterwards. With
    // throughReinstall, a service repair fails first and its button opens the
    // reinstall whose dialog is left.
    void LeaveAt(bool serviceRepair, bool throughReinstall, const Stage& stage, Leave how) {
        ScriptedWorker::Reset();
        CloseQuestion::Install(IDYES);
        HWND main = Open(WithStatus(serviceRepair ? AgentStatus::Inactive : AgentStatus::OldVersion));
        ASSERT_NE(main, nullptr);
        const std::wstring statusText = ItemText(main, IDC_STATUS_TEXT);
        const int uuidReads = FakeMainDialog::UuidReads();
        HWND first = PressAndWaitForProgress(main);
        ASSERT_NE(first, nullptr);
        ASSERT_EQ(ScriptedWorker::IsServiceRepair(0), serviceRepair);

        HWND left = first;
        int worker = 0;
        if (throughReinstall) {
            ASSERT_TRUE(ScriptedWorker::Send(0, UM_REPAIR_BEGIN));
            ASSERT_TRUE(ScriptedWorker::Send(0, UM_REPAIR_FAIL));
            Press(first, IDC_INSTALL);
            left = m_ui->WaitForDialog(IDC_STAGE_TEXT, first);
            ASSERT_NE(left, nullptr);
            ASSERT_TRUE(ScriptedWorker::WaitForStarts(2));
            worker = 1;
        }
        for (UINT code : stage.before) ASSERT_TRUE(ScriptedWorker::Send(worker, code));

        ASSERT_TRUE(WaitFor([&] { return ::GetForegroundWindow() == left; }));
        if (how == Leave::EscapeKey) {
            PressKey(VK_ESCAPE);
        } else {
            ::PostMessageW(left, WM_SYSCOMMAND, SC_CLOSE, 0);
        }
        // Every progress dialog goes: a reinstall opened from a failed repair
        // takes the dialog under it along.
        ASSERT_TRUE(WaitFor([&] { return !::IsWindow(left) && !::IsWindow(first); }));
        std::vector<AskedQuestion> asked = CloseQuestion::Asked();
        ASSERT_EQ(asked.size(), 1u);
        EXPECT_EQ(asked[0].owner, left);

        // The worker carries on alone: its jobs are detached, its reports, its
        // success too, reach nobody and do not wait, and its last writes land
        // in its own job.
        for (int i = 0; i <= worker; ++i) EXPECT_EQ(ScriptedWorker::AttachedWindow(i), nullptr) << "worker " << i;
        for (UINT code : stage.after) EXPECT_TRUE(ScriptedWorker::Send(worker, code, 2000)) << CodeName(code);
        ASSERT_TRUE(ScriptedWorker::FinishAll());

        // The main dialog is left waiting: as it was, its button off, nothing
        // read again, and Escape still ends the program.
        EXPECT_EQ(m_ui->Windows(), std::vector<HWND>{main});
        EXPECT_EQ(ItemText(main, IDC_STATUS_TEXT), statusText);
        EXPECT_FALSE(ItemShown(main, IDC_REPAIR_DONE));
        EXPECT_FALSE(ItemEnabled(main, IDOK));
        EXPECT_TRUE(::IsWindowEnabled(main));
        EXPECT_EQ(FakeMainDialog::UuidReads(), uuidReads);
        ASSERT_TRUE(WaitFor([&] { return ::GetForegroundWindow() == main; }));
        PressKey(VK_ESCAPE);
        ASSERT_TRUE(Closed());
        EXPECT_EQ(m_result, IDCANCEL);
        m_ui.reset();
    }

    void LeaveAtEveryStage(bool serviceRepair, bool throughReinstall, const std::vector<Stage>& stages) {
        for (const Stage& stage : stages) {
            for (Leave how : kLeaves) {
                SCOPED_TRACE(stage.name + (how == Leave::EscapeKey ? ", Escape" : ", close box"));
                LeaveAt(serviceRepair, throughReinstall, stage, how);
                if (HasFatalFailure()) return;
            }
        }
    }
};

TEST_F(ProgressLifetime, ReinstallLeftAtEachStage) {
    LeaveAtEveryStage(false, false, StagesOf(kReinstallStages, UM_REINSTALL_OK, UM_REINSTALL_FAIL));
}

TEST_F(ProgressLifetime, ServiceRepairLeftAtEachStage) {
    LeaveAtEveryStage(true, false, StagesOf(kRepairStages, UM_REPAIR_OK, UM_REPAIR_FAIL));
}

TEST_F(ProgressLifetime, ReinstallAfterAFailedRepairLeftAtEachStage) {
    LeaveAtEveryStage(true, true, StagesOf(kReinstallStages, UM_REINSTALL_OK, UM_REINSTALL_FAIL));
}

// ---------------------------------------------------------------- the next run

// The real program and its real reinstall: no agent, so the worker goes
// straight to the download, which the server never answers. The user leaves
// the progress dialog and then the program while the worker still waits.
TEST(ProgramTest, StartsCleanlyAfterARunLeftInTheMiddleOfADownload) {
    FakeAgent::Remove();
    HttpTestServer download;
    ASSERT_TRUE(download.Start(g_downloadServerPort)) << download.StartError();
    download.SetFallback([](const HttpRequestRecord&) { return HttpReply::NeverAnswers(); });
    LogCapture log(ProgramLogPath());

    {
        ProgramProcess first("\"" + ProgramPath() + "\"");
        ASSERT_TRUE(first.Started());
        HWND main = nullptr;
        ASSERT_TRUE(WaitFor([&] { return (main = ProgramWindows::MainWindowOf(first.Id())) != nullptr; }, 60000));
        ASSERT_TRUE(WaitFor([&] { return log.Count("QEV Agent Version:") == 1; }, 5000)) << log.Dump();
        EXPECT_EQ(log.Count(", Status:Not installed"), 1) << log.Dump();

        Press(main, IDOK);
        HWND progress = nullptr;
        ASSERT_TRUE(WaitFor([&] {
            return (progress = ProgramWindows::DialogWithItem(first.Id(), IDC_STAGE_TEXT)) != nullptr;
        }));
        // Mid-way: the worker's download request is out and unanswered.
        ASSERT_TRUE(WaitFor([&] { return download.RequestCount() >= 1; }, 120000));

        ::PostMessageW(progress, WM_SYSCOMMAND, SC_CLOSE, 0);
        HWND question = nullptr;
        ASSERT_TRUE(WaitFor([&] { return (question = ProgramWindows::OwnedBy(first.Id(), progress)) != nullptr; }));
        ASSERT_NE(::GetDlgItem(question, IDYES), nullptr);
        Press(question, IDYES);
        ASSERT_TRUE(WaitFor([&] { return !::IsWindow(progress); }));

        EXPECT_FALSE(first.Ended(0));
        EXPECT_TRUE(::IsWindowVisible(main));
        EXPECT_FALSE(ItemEnabled(main, IDOK));
        EXPECT_EQ(download.RequestCount(), 1u);  // the worker still waits on its first try

        // The program ends although its worker has not.
        ::PostMessageW(main, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        ASSERT_TRUE(first.Ended(20000));
        EXPECT_EQ(first.ExitCode(), 0u);
    }

    // Nothing of that run is in the way: the next one is the one copy, opens
    // its main window and writes its own summary line.
    ProgramProcess second("\"" + ProgramPath() + "\"");
    ASSERT_TRUE(second.Started());
    HWND main = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (main = ProgramWindows::MainWindowOf(second.Id())) != nullptr; }, 60000));
    ASSERT_TRUE(WaitFor([&] { return log.Count("QEV Agent Version:") == 2; }, 5000)) << log.Dump();
    EXPECT_EQ(log.Count(", Status:Not installed"), 2) << log.Dump();
    EXPECT_TRUE(ItemEnabled(main, IDOK));
    EXPECT_FALSE(second.Ended(0));

    ::PostMessageW(main, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    ASSERT_TRUE(second.Ended(20000));
    EXPECT_EQ(second.ExitCode(), 0u);
}

}  // namespace
