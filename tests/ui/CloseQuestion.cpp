#include "tests/ui/CloseQuestion.h"

#include "ui/ProcessStatusDlg.h"

#include <mutex>

namespace {

std::mutex g_mutex;
int g_answer = IDYES;
std::vector<AskedQuestion> g_asked;

int WINAPI Answer(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_asked.push_back(AskedQuestion{owner, text, caption, type});
    return g_answer;
}

}  // namespace

namespace CloseQuestion {

void Install(int answer) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_answer = answer;
    g_asked.clear();
    g_closeConfirmationBox = &Answer;
}

void Restore() { g_closeConfirmationBox = &::MessageBoxW; }

void SetAnswer(int answer) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_answer = answer;
}

std::vector<AskedQuestion> Asked() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_asked;
}

}  // namespace CloseQuestion
