#pragma once
// Stands in for the message box that asks before a progress dialog is left:
// records each question and gives the answer the test chose.
#include <windows.h>

#include <string>
#include <vector>

struct AskedQuestion {
    HWND owner;
    std::wstring text;
    std::wstring caption;
    UINT type;
};

namespace CloseQuestion {
// Puts the stand-in in place with the answer (IDYES unless told otherwise).
void Install(int answer = IDYES);
void Restore();  // the real message box again
void SetAnswer(int answer);
std::vector<AskedQuestion> Asked();
}  // namespace CloseQuestion
