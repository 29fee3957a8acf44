#pragma once
// Matching the message part of captured log lines ("[PRIO] message", as
// LogCapture::Lines() gives them) against what a test expects.
#include "tests/support/LogCapture.h"

#include <string>
#include <vector>

// LogCapture::Lines() without the facility's own start-up line, which the first
// log call of each test process writes.
std::vector<std::string> ProgramLines(const LogCapture& log);

// Lines that are exactly "[priority] message".
int CountMessages(const LogCapture& log, const std::string& priority, const std::string& message);
// Lines that begin "[priority] start".
int CountMessagesStartingWith(const LogCapture& log, const std::string& priority, const std::string& start);

// "<function>(<source line>) <rest>": the line number is the logging
// statement's own, so any number matches there.
bool IsSourceLineMessage(const std::string& line, const std::string& priority, const std::string& function,
                         const std::string& rest);
int CountSourceLineMessages(const LogCapture& log, const std::string& priority, const std::string& function,
                            const std::string& rest);
