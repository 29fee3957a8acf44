#pragma once
// What the script host of this system can do of what the uninstall script
// asks of it. Windows does all of it; a test system that lacks a part cannot
// show the script's steps that rest on that part, and the tests say so.
#include <windows.h>

#include <string>

// One wscript run of a script file, waited for up to a limit.
struct ScriptRun {
    bool started = false;
    bool finished = false;  // false: still running at the limit, then ended
    DWORD exitCode = 0;
    DWORD elapsedMs = 0;
};
// "wscript " + path as the reinstall starts it (no quotation marks).
ScriptRun RunWithScriptHost(const std::string& scriptPath, DWORD limitMs);

struct ScriptHostAbilities {
    bool listsProducts = false;     // Win32_Product lists the installed fake agent
    bool readsSubKeyLists = false;  // StdRegProv's subkey names come back as an array VBScript can read
    bool deletesKeys = false;       // WScript.Shell's RegDelete removes a key
    bool eventsReadBack = false;    // an event of WScript.Shell's LogEvent appears in the Application log
};

// Runs a small probe script with the same script host; listsProducts needs
// the fake agent installed beforehand.
ScriptHostAbilities ProbeScriptHost();

// Texts of the Application log's entries that the script host (source "WSH")
// added since the watch began.
class ScriptHostEvents {
public:
    ScriptHostEvents();
    std::string Added() const;  // entries separated by '\n'

private:
    DWORD m_next = 0;  // record number of the first entry to read
};
