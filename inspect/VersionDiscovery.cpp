#include "inspect/VersionDiscovery.h"

#include "app/Handles.h"
#include "app/NotAvailable.h"
#include "app/SystemLibrary.h"
#include "inspect/InstallLayout.h"
#include "log/Log.h"

#include <windows.h>

#include <cstdio>
#include <regex>
#include <vector>

namespace {

// The version library is not one of the system's known DLLs: bound from the
// system directory, never imported.
struct VersionApi {
    decltype(&::GetFileVersionInfoSizeA) getSize = nullptr;
    decltype(&::GetFileVersionInfoA) getInfo = nullptr;
    decltype(&::VerQueryValueW) queryValue = nullptr;
    bool complete = false;
    DWORD error = 0;
};

VersionApi BindVersion() {
    static const SystemLibrary library(L"version.dll");
    VersionApi api;
    api.complete = library.Bind(api.getSize, "GetFileVersionInfoSizeA") &&
                   library.Bind(api.getInfo, "GetFileVersionInfoA") && library.Bind(api.queryValue, "VerQueryValueW");
    api.error = api.complete ? 0 : library.MissingError();
    return api;
}

const VersionApi& Version() {
    static const VersionApi api = BindVersion();
    return api;
}

// Only the head of the file is looked at: the agent writes the bare version,
// possibly followed by white space. The dots are deliberately unescaped.
constexpr std::size_t kVersionHeadBytes = 32;
const char* const kVersionPattern = "^(([0-9]{1,10}.){2}[0-9]{1,10}(.[01])*)[\\s\\r\\n]*$";

bool Contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

}  // namespace

std::string GetProductVersion(std::string productKey) {
    for (char& c : productKey) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    const char* file = nullptr;
    if (productKey == "agent") {
        file = "/data/meta/agent_version";
    } else if (productKey == "content") {
        file = "/data/meta/content_version";
    } else if (productKey == "av") {
        file = "/data/meta/av_version";
    } else if (productKey == "antiy") {
        file = "/data/meta/antiy_version";
    } else {
        return "0";
    }
    return GetVersion(GetQEVInstallDirectory() + file);
}

std::string GetVersion(const std::string& path) {
    std::string result = kNotAvailable;
    UniqueStdioFile file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        LogError("%s: Unable to read version file - %s", "GetVersion", path.c_str());
        return result;
    }

    char head[kVersionHeadBytes + 1] = {};
    std::fread(head, 1, kVersionHeadBytes, file.get());
    const std::string text(head);  // ends at the first zero byte

    try {
        static const std::regex pattern(kVersionPattern, std::regex::ECMAScript);
        std::smatch match;
        if (std::regex_match(text, match, pattern)) result = match[1].str();
    } catch (const std::regex_error&) {
        // A matcher that gives up on 32 bytes has not found a version.
    }

    // The executable's version stands in only for an empty or "0" result,
    // which the file reading above never produces.
    if (result.empty() || result == "0") {
        if (Contains(path, "agent_version") || Contains(path, "content_version")) {
            result = GetExecutableVersion("agent");
        } else if (Contains(path, "av_version") || Contains(path, "antiy_version")) {
            result = GetExecutableVersion("av");
        }
    }
    return result;
}

std::string GetExecutableVersion(const std::string& productKey) {
    std::string result = "0";
    const char* image = nullptr;
    if (productKey == "agent") {
        image = "qevsensor.exe";
    } else if (productKey == "av") {
        image = "qevmon.exe";
    } else {
        LogError("Unknown product : %s", productKey.c_str());
        return result;
    }
    const std::string path = GetQEVInstallDirectory() + "/bin/" + image;

    const VersionApi& api = Version();
    if (!api.complete) {
        LogError("VersionInfo size 0 for file: %s. err: %d", path.c_str(), static_cast<int>(api.error));
        return result;
    }
    DWORD ignored = 0;
    DWORD size = api.getSize(path.c_str(), &ignored);
    if (size == 0) {
        LogError("VersionInfo size 0 for file: %s. err: %d", path.c_str(), static_cast<int>(::GetLastError()));
        return result;
    }
    std::vector<unsigned char> block(size);
    if (!api.getInfo(path.c_str(), 0, size, block.data())) {
        LogError("GetFileVersionInfoA() Failed for file: %s. err: %d", path.c_str(),
                 static_cast<int>(::GetLastError()));
        return result;
    }
    void* root = nullptr;
    UINT rootLength = 0;
    // A root block shorter than the fixed record would be read past its end.
    if (!api.queryValue(block.data(), L"\\", &root, &rootLength) || root == nullptr ||
        rootLength < sizeof(VS_FIXEDFILEINFO)) {
        LogError("VerQueryValue() FAILED for file: %s. err: %d", path.c_str(), static_cast<int>(::GetLastError()));
        return result;
    }
    const auto* info = static_cast<const VS_FIXEDFILEINFO*>(root);
    char text[64] = {};
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", static_cast<unsigned>(HIWORD(info->dwProductVersionMS)),
                  static_cast<unsigned>(LOWORD(info->dwProductVersionMS)),
                  static_cast<unsigned>(HIWORD(info->dwProductVersionLS)),
                  static_cast<unsigned>(LOWORD(info->dwProductVersionLS)));
    result = text;
    return result;
}
