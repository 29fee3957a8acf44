#include "ui/StatusPresentation.h"

#include "app/AgentStatus.h"

namespace {

const StatusPresentation kUnrecognised = {false, nullptr, nullptr, 0, false, nullptr, nullptr, false, ""};

const StatusPresentation kByStatus[] = {
    kUnrecognised,
    {true, L"活跃", L"Active", kActiveColour, true, L"完成", L"Complete", false, "Active"},
    {true, L"不活跃", L"Inactive", RGB(255, 0, 0), true, L"诊断修复", L"Repair", true, "Inactive"},
    {true, L"版本过低", L"Old Version", RGB(255, 200, 0), false, nullptr, nullptr, false, "Old Version"},
    {true, L"未安装", L"Not installed", RGB(255, 0, 0), false, nullptr, nullptr, false, "Not installed"},
};

}  // namespace

const StatusPresentation& PresentationOf(std::int32_t status) {
    if (status < AgentStatus::Unrecognised || status > AgentStatus::NotInstalled) return kUnrecognised;
    return kByStatus[status];
}
