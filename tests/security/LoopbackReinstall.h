#pragma once
// The real reinstall workflow against loopback servers: the status server
// reports the agent active, the download server serves the lab-signed
// package, message boxes are recorded and answered, the processor is x64.
// The cases add the attacker.
#include "app/BuildConfig.h"
#include "repair/ReinstallPlatform.h"
#include "repair/RepairJob.h"
#include "tests/support/FakeAgent.h"
#include "tests/support/FakeAgentPackage.h"
#include "tests/support/HttpTestServer.h"
#include "tests/support/MessageRecorder.h"
#include "tests/support/ReinstallFakes.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <string>

class LoopbackReinstall : public ::testing::Test {
protected:
    void SetUp() override {
        FakeAgent::Remove();
        ReinstallFakes::g_boxes.clear();
        ReinstallFakes::g_started.clear();
        g_reinstallPlatform.messageBox = &ReinstallFakes::RecordBox;
        g_reinstallPlatform.getNativeSystemInfo = &ReinstallFakes::X64;
        ASSERT_TRUE(m_status.Start(g_statusServerPort)) << m_status.StartError();
        ASSERT_TRUE(m_download.Start(g_downloadServerPort)) << m_download.StartError();
        m_status.SetFallback([](const HttpRequestRecord&) {
            return HttpReply::Json("{\"status\":0,\"data\":{\"state\":\"NORMAL\",\"releaseVersion\":\"3.6.0.1\"}}");
        });
        ASSERT_TRUE(FakeAgentPackage::IsBuilt(FakeAgentPackage::Path64()));
        m_package = ReadWholeFile(FakeAgentPackage::Path64());
        m_download.Route("/download/qev/qev64.msi", HttpReply::Bytes(m_package));
        m_job.Attach(m_recorder.Window());
    }
    void TearDown() override {
        g_reinstallPlatform = ReinstallPlatform();
        FakeAgent::Remove();
    }

    HttpTestServer m_status;
    HttpTestServer m_download;
    MessageRecorder m_recorder;
    RepairJob m_job{L"old-uuid"};
    std::string m_package;  // the bytes served, signed by the lab's publisher
};
