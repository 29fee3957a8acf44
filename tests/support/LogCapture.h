#pragma once
// Reads what the log facility appended to this binary's log file since the
// capture began. Test binaries run one test per process, one after another.
#include <string>
#include <vector>

class LogCapture {
public:
    explicit LogCapture(std::string logPath = DefaultPath());
    static std::string DefaultPath();  // beside the running executable

    std::vector<std::string> Lines() const;  // message part of each new line
    std::vector<std::string> RawLines() const;  // whole new lines, line ends removed
    bool Contains(const std::string& fragment) const;
    int Count(const std::string& fragment) const;
    std::string Dump() const;  // for failure messages

private:
    std::string m_path;
    std::size_t m_start;
};
