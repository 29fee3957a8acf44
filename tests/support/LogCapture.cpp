#include "tests/support/LogCapture.h"

#include "tests/support/TestFiles.h"

LogCapture::LogCapture(std::string logPath) : m_path(std::move(logPath)) {
    m_start = ReadWholeFile(m_path).size();
}

std::string LogCapture::DefaultPath() { return SiblingPath("QEVZUNLOG.log"); }

std::vector<std::string> LogCapture::RawLines() const {
    std::string all = ReadWholeFile(m_path);
    std::string fresh = all.size() >= m_start ? all.substr(m_start) : all;  // rolled: all is new
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < fresh.size()) {
        std::size_t nl = fresh.find('\n', pos);
        std::string line = fresh.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        if (nl == std::string::npos) break;
        pos = nl + 1;
    }
    return lines;
}

std::vector<std::string> LogCapture::Lines() const {
    // "date time [PRIO] process tid message" -> "[PRIO] message"
    std::vector<std::string> out;
    for (const std::string& raw : RawLines()) {
        std::size_t open = raw.find(" [");
        std::size_t close = raw.find("] ", open == std::string::npos ? 0 : open);
        if (open == std::string::npos || close == std::string::npos) { out.push_back(raw); continue; }
        std::string prio = raw.substr(open + 1, close - open);
        std::size_t afterName = raw.find(' ', close + 2);
        std::size_t afterTid = afterName == std::string::npos ? std::string::npos : raw.find(' ', afterName + 1);
        std::string message = afterTid == std::string::npos ? std::string() : raw.substr(afterTid + 1);
        out.push_back(prio + " " + message);
    }
    return out;
}

bool LogCapture::Contains(const std::string& fragment) const { return Count(fragment) > 0; }

int LogCapture::Count(const std::string& fragment) const {
    int n = 0;
    for (const std::string& line : RawLines())
        if (line.find(fragment) != std::string::npos) ++n;
    return n;
}

std::string LogCapture::Dump() const {
    std::string s;
    for (const std::string& line : RawLines()) s += line + "\n";
    return s;
}
