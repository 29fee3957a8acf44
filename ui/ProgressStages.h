#pragma once
// The contract between the repair workers and the progress dialog: what each
// progress message shows and what else it does.
#include <windows.h>

enum class StageEffect {
    None,
    RelayAndEnd,      // tell the owner window, then end the dialog
    ReinstallFailed,  // hide the bar, show the red label and an acknowledge button
    RepairFailed,     // hide the bar, show the button that starts a reinstall
};

struct ProgressStage {
    UINT code;
    const wchar_t* textChinese;  // null: the stage text stays as it is
    const wchar_t* textEnglish;
    int barPosition;             // negative: the bar stays as it is
    StageEffect effect;
};

// Null for codes that change nothing (outside WM_USER+1..+18, and WM_USER+4).
const ProgressStage* FindProgressStage(WPARAM code);
