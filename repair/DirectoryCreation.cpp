#include "repair/DirectoryCreation.h"

#include "log/Log.h"

#include <windows.h>

#include <exception>
#include <regex>
#include <vector>

namespace {

bool IsEnvironmentReference(const std::string& c) {
    return c.size() > 2 && c.front() == '%' && c.back() == '%';
}

// The variable's value, or false when it does not exist.
bool LookUpEnvironment(const std::string& name, std::string& value) {
    DWORD needed = ::GetEnvironmentVariableA(name.c_str(), nullptr, 0);
    if (needed == 0) {
        if (::GetLastError() == ERROR_ENVVAR_NOT_FOUND) return false;
        value.clear();
        return true;
    }
    std::vector<char> copy(needed + 1, '\0');
    DWORD n = ::GetEnvironmentVariableA(name.c_str(), copy.data(), static_cast<DWORD>(copy.size()));
    value.assign(copy.data(), n < copy.size() ? n : 0);
    return true;
}

}  // namespace

std::string ExpandAndCreateDirectories(std::string path) {
    if (path.empty()) return std::string();
    std::string current;
    try {
        static const std::regex component("[^/]+");
        for (std::sregex_iterator it(path.begin(), path.end(), component), end; it != end; ++it) {
            const std::string c = it->str();
            if (IsEnvironmentReference(c)) {
                std::string value;
                if (LookUpEnvironment(c.substr(1, c.size() - 2), value)) {
                    current = current.empty() ? value : current + "\\" + value;
                }
            } else if (!current.empty()) {
                current += "\\" + c;
            } else {
                current = (path[0] == '/') ? "/" + c : c;
            }

            if (::GetFileAttributesA(current.c_str()) == INVALID_FILE_ATTRIBUTES) {
                if (!::CreateDirectoryA(current.c_str(), nullptr) &&
                    ::GetLastError() != ERROR_ALREADY_EXISTS) {
                    LogError("%s: Failed to create directory %s", "ExpandAndCreateDirectories",
                             current.c_str());
                    return std::string();
                }
            }
        }
    } catch (const std::exception& e) {
        const char* what = e.what();
        LogError("%s: Exception creating directory %s", "ExpandAndCreateDirectories",
                 (what != nullptr && what[0] != '\0') ? what : "Unknown exception");
        return std::string();
    }
    return current;
}
