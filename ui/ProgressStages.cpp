#include "ui/ProgressStages.h"

#include "repair/ProgressMessages.h"

namespace {

const wchar_t kCheckingChinese[] = L"状态检测中，请稍后";
const wchar_t kCheckingEnglish[] = L"Status checking, please wait";

const ProgressStage kStages[] = {
    {UM_REINSTALL_BEGIN, L"正在重新安装并激活安全助手，请勿退出程序",
     L"The security assistant is being reinstalled and activated. Please do not exit the program", 10,
     StageEffect::None},
    {UM_UNINSTALL_DONE, L"旧版本卸载完毕，即将开始下载新版本",
     L"The old version has been uninstalled, and the new version will be downloaded soon", 20, StageEffect::None},
    {UM_DOWNLOAD_BEGIN, L"新版本下载中，请稍后", L"The new version is downloading, please wait", 30,
     StageEffect::None},
    {UM_DOWNLOAD_DONE, L"下载完成，即将开始安装", L"The download is complete and the installation will start soon",
     70, StageEffect::None},
    {UM_INSTALL_BEGIN, L"安装中，请稍后", L"Installing, please wait", 80, StageEffect::None},
    {UM_REINSTALL_OK, nullptr, nullptr, -1, StageEffect::RelayAndEnd},
    {UM_REINSTALL_FAIL, L"请稍后重试或Quillo联系Varnel", L"Please try again or contact Varnel on Quillo", -1,
     StageEffect::ReinstallFailed},
    {UM_CHECK_STATE, kCheckingChinese, kCheckingEnglish, 90, StageEffect::None},
    {UM_REPAIR_BEGIN, L"正在诊断问题并尝试自动修复", L"Diagnosing the problem and trying to fix it automatically", 10,
     StageEffect::None},
    {UM_REPAIR_ITEM1, nullptr, nullptr, 20, StageEffect::None},
    {UM_REPAIR_ITEM2, nullptr, nullptr, 20, StageEffect::None},
    {UM_REPAIR_ITEM3, nullptr, nullptr, 40, StageEffect::None},
    {UM_REPAIR_ITEM4, nullptr, nullptr, 60, StageEffect::None},
    {UM_REPAIR_ITEM5, nullptr, nullptr, 70, StageEffect::None},
    {UM_REPAIR_OK, nullptr, nullptr, -1, StageEffect::RelayAndEnd},
    {UM_REPAIR_FAIL, L"您的安全助手需进行重新安装，请点击下方按钮，进行一键安装（可能需要几分钟的时间）",
     L"Your security assistant needs to be reinstalled. Please click the button below to install (it may take a "
     L"few minutes)",
     -1, StageEffect::RepairFailed},
    {UM_REPAIR_CHECK_STATE, kCheckingChinese, kCheckingEnglish, 90, StageEffect::None},
};

}  // namespace

const ProgressStage* FindProgressStage(WPARAM code) {
    for (const ProgressStage& stage : kStages) {
        if (stage.code == code) return &stage;
    }
    return nullptr;
}
