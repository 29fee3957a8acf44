#pragma once
// The ui suite runs twice, once under an English and once under a Chinese UI
// language (see CMakeLists.txt); a test expects the member of each text pair
// that the program's own rule picks for the language it runs under.
#include <windows.h>

#include <string>

inline bool ChineseUi() { return ::GetUserDefaultUILanguage() == 0x0804; }
inline std::wstring Expected(const wchar_t* chinese, const wchar_t* english) {
    return ChineseUi() ? chinese : english;
}
