#pragma once
// Every text set by code is a Chinese/English pair; Chinese is used exactly
// when the user's UI language, captured once when the main dialog opens, is 0x0804.
#include <windows.h>

extern LANGID g_uiLanguage;  // 0 until the main dialog opens; written once

inline bool UseChinese() { return g_uiLanguage == 0x0804; }
inline const wchar_t* Pick(const wchar_t* chinese, const wchar_t* english) {
    return UseChinese() ? chinese : english;
}
