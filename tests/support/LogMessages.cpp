#include "tests/support/LogMessages.h"

#include <cctype>

std::vector<std::string> ProgramLines(const LogCapture& log) {
    const std::string startUp = "[INFO] Logger initialized for process ";
    std::vector<std::string> lines;
    for (const std::string& line : log.Lines())
        if (line.compare(0, startUp.size(), startUp) != 0) lines.push_back(line);
    return lines;
}

int CountMessages(const LogCapture& log, const std::string& priority, const std::string& message) {
    const std::string wanted = "[" + priority + "] " + message;
    int n = 0;
    for (const std::string& line : log.Lines())
        if (line == wanted) ++n;
    return n;
}

int CountMessagesStartingWith(const LogCapture& log, const std::string& priority, const std::string& start) {
    const std::string wanted = "[" + priority + "] " + start;
    int n = 0;
    for (const std::string& line : log.Lines())
        if (line.compare(0, wanted.size(), wanted) == 0) ++n;
    return n;
}

bool IsSourceLineMessage(const std::string& line, const std::string& priority, const std::string& function,
                         const std::string& rest) {
    const std::string head = "[" + priority + "] " + function + "(";
    if (line.compare(0, head.size(), head) != 0) return false;
    std::size_t digits = head.size();
    while (digits < line.size() && std::isdigit(static_cast<unsigned char>(line[digits]))) ++digits;
    if (digits == head.size()) return false;
    return line.compare(digits, std::string::npos, ") " + rest) == 0;
}

int CountSourceLineMessages(const LogCapture& log, const std::string& priority, const std::string& function,
                            const std::string& rest) {
    int n = 0;
    for (const std::string& line : log.Lines())
        if (IsSourceLineMessage(line, priority, function, rest)) ++n;
    return n;
}
