#include "ui/SecondCopy.h"

#include "app/UiLanguage.h"
#include "log/Log.h"
#include "ui/SingleInstance.h"

SecondCopyPlatform::SecondCopyPlatform() : userUiLanguage(&::GetUserDefaultUILanguage), messageBox(&::MessageBoxW) {}

SecondCopyPlatform g_secondCopyPlatform;

void GiveWayToRunningCopy(DWORD waitMs) {
    if (ActivateRunningInstance(waitMs)) return;

    LogInfo("%s: QEVZUN is already running, but its window did not appear within %lu ms", __func__,
            static_cast<unsigned long>(waitMs));
    g_uiLanguage = g_secondCopyPlatform.userUiLanguage();
    g_secondCopyPlatform.messageBox(
        nullptr,
        Pick(L"QEVZUN 已在运行。请使用已打开的 QEVZUN 窗口，或稍后再试。",
             L"QEVZUN is already running. Please use the QEVZUN window that is open, or try again later."),
        L"QEVZUN", MB_OK | MB_ICONINFORMATION);
}
