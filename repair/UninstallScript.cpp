#include "repair/UninstallScript.h"

#include "app/FreshFile.h"
#include "app/Handles.h"
#include "inspect/TextConversion.h"
#include "log/Log.h"
#include "repair/Base64.h"

#include <windows.h>

#include <cstring>

namespace {

const char kScriptName[] = "QEVUinstall.vbe";

}  // namespace

bool WriteUninstallScript(std::string& path) {
    char buffer[MAX_PATH] = {};
    const DWORD length = ::GetTempPathA(MAX_PATH, buffer);
    // A temporary directory longer than the buffer is not written into it at
    // all: what is left there then is no directory.
    const bool haveDirectory = length != 0 && length < MAX_PATH;
    if (!haveDirectory) buffer[0] = '\0';

    // Bounded append: the buffer keeps its terminator whatever the lengths.
    const std::size_t used = std::strlen(buffer);
    const std::size_t room = MAX_PATH - 1 - used;
    const std::size_t nameLength = sizeof kScriptName - 1;
    const bool nameFits = nameLength <= room;
    std::memcpy(buffer + used, kScriptName, nameFits ? nameLength : room);
    buffer[used + (nameFits ? nameLength : room)] = '\0';
    path = buffer;

    // A cut name would be run under the wrong name (or none the script host
    // knows) and never deleted afterwards; a missing directory would put the
    // script in whatever directory is current. Neither is written.
    if (!haveDirectory || !nameFits) {
        LogError("%s: No room for %s in the temporary directory (%lu characters)", "WriteUninstallScript",
                 kScriptName, static_cast<unsigned long>(length));
        return false;
    }

    UniqueFileHandle file = CreateFreshFile(path);
    if (!file) {
        LogError("%s: Fail to open %s, %s", "WriteUninstallScript", path.c_str(), GetLastErrorText().c_str());
        return false;
    }

    const std::string text = UninstallScriptText();
    if (text.empty()) {
        LogError("%s: The embedded script is not valid base64", "WriteUninstallScript");
        return false;
    }
    // A script cut short would stop the script host with an error box that the
    // reinstall then waits on.
    DWORD written = 0;
    if (!::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
        written != text.size()) {
        LogError("%s: Fail to write %s, %s", "WriteUninstallScript", path.c_str(), GetLastErrorText().c_str());
        return false;
    }
    return true;
}

std::string UninstallScriptText() {
    std::string text;
    if (!DecodeBase64(g_uninstallScriptBase64, text)) text.clear();
    return text;
}
