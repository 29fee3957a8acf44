#pragma once
// What each agent status means for the main dialog: status text and colour,
// the reinstall hint, the push button's label and the kind of repair it starts.
#include <windows.h>

#include <cstdint>

struct StatusPresentation {
    // False only for an unrecognised state: the template texts stay and
    // neither the colour nor the repair kind is set.
    bool applies;
    const wchar_t* textChinese;
    const wchar_t* textEnglish;
    COLORREF colour;
    bool hideHint;
    const wchar_t* buttonChinese;  // null: the template's label stays
    const wchar_t* buttonEnglish;
    bool serviceRepair;
    const char* logWord;  // always English, whatever the UI language
};

// Any code outside the known ones is presented as unrecognised.
const StatusPresentation& PresentationOf(std::int32_t status);

// The colour of an active agent, also after a successful repair.
constexpr COLORREF kActiveColour = RGB(0, 255, 0);
