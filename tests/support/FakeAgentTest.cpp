#include "tests/support/FakeAgent.h"

#include "inspect/InstallLayout.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {

TEST(FakeAgentFixture, LaysOutTheFootprintTheInspectionReliesOn) {
    {
        ScopedFakeAgent agent;
        EXPECT_TRUE(IsQEVInstalled());
        EXPECT_EQ(ReadWholeFile(GetQEVInstallDirectory() + "/data/meta/agent_version"), "3.5.12.1\r\n");
        std::string general = ReadWholeFile(GetQEVDataDirectory() + "\\db_general");
        EXPECT_NE(general.find(std::string("AGENT_UUID") + FakeAgent::kUuid), std::string::npos);
        std::string sensor = ReadWholeFile(GetQEVDataDirectory() + "\\db_sensor");
        EXPECT_EQ(sensor.rfind("SQLite format 3", 0), 0u);
        EXPECT_TRUE(FileExists(GetQEVDataDirectory() + "\\db_cache"));
    }
    EXPECT_FALSE(IsQEVInstalled());
    EXPECT_FALSE(FileExists(GetQEVDataDirectory()));
}

TEST(FakeAgentFixture, PartialStatesForLaterTests) {
    FakeAgentSpec spec;
    spec.programDirectory = false;
    spec.sensor = FakeAgentSpec::Sensor::Text;
    ScopedFakeAgent agent(spec);
    EXPECT_FALSE(IsQEVInstalled());
    EXPECT_EQ(ReadWholeFile(GetQEVDataDirectory() + "\\db_sensor"), "plain text, not a database\n");
}

}  // namespace
