#include "inspect/ServicePresence.h"

#include "app/Handles.h"
#include "tests/support/LogCapture.h"
#include "tests/support/LogMessages.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <ostream>
#include <string>

namespace {

const wchar_t* const kProbeService = L"QEVZUN Presence Probe";

struct PresenceCase {
    const char* name;
    const char* serviceName;
    bool expected;
    const char* errorCode;  // in the "OpenService Fail!" line; null: no line at all
};
void PrintTo(const PresenceCase& c, std::ostream* os) { *os << c.name; }

// A real service in the prefix's service manager; it is never started.
class ServicePresence : public ::testing::TestWithParam<PresenceCase> {
protected:
    void SetUp() override {
        m_manager.reset(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        ASSERT_TRUE(m_manager) << ::GetLastError();
        UniqueServiceHandle service(::CreateServiceW(
            m_manager.get(), kProbeService, kProbeService, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
            SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, L"C:\\windows\\system32\\cmd.exe", nullptr, nullptr, nullptr,
            nullptr, nullptr));
        ASSERT_TRUE(service || ::GetLastError() == ERROR_SERVICE_EXISTS) << ::GetLastError();
    }
    void TearDown() override {
        if (!m_manager) return;
        UniqueServiceHandle service(::OpenServiceW(m_manager.get(), kProbeService, DELETE));
        if (service) ::DeleteService(service.get());
    }
    UniqueServiceHandle m_manager;
};

TEST_P(ServicePresence, TrueOnlyForAServiceThatOpensWithFullAccess) {
    const PresenceCase& c = GetParam();
    LogCapture log;
    EXPECT_EQ(CheckIsServiceExist(c.serviceName), c.expected);
    if (c.errorCode == nullptr) {
        EXPECT_TRUE(ProgramLines(log).empty()) << log.Dump();
        return;
    }
    EXPECT_EQ(ProgramLines(log).size(), 1u) << log.Dump();
    const std::string rest = std::string("OpenService Fail! Service Name:") + c.serviceName + ", Error Code:";
    EXPECT_EQ(CountSourceLineMessages(log, "ERROR", "CheckIsServiceExist", rest + c.errorCode), 1) << log.Dump();
}

INSTANTIATE_TEST_SUITE_P(
    Table, ServicePresence,
    ::testing::Values(PresenceCase{"existing_service", "QEVZUN Presence Probe", true, nullptr},
                      PresenceCase{"missing_service", "QEVZUN No Such Service", false, "1060"},
                      PresenceCase{"empty_name", "", false, "123"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
