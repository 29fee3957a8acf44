#include "tests/repair/ScriptHostProbe.h"

#include "app/Handles.h"
#include "app/UniqueHandle.h"
#include "tests/support/TestFiles.h"
#include "tests/support/UniqueRegistryKey.h"

#include <cstring>
#include <vector>

namespace {

// Exit code: one bit per ability, in the order of ScriptHostAbilities.
const char kProbeScript[] = R"(On Error Resume Next
Dim result, shell, service, items, item, count, registry, parameters, answer, names, last
result = 0
Set shell = CreateObject("WScript.Shell")

Set service = GetObject("winmgmts:{impersonationLevel=impersonate}!\\.\root\cimv2")
Set items = service.ExecQuery("SELECT * FROM Win32_Product WHERE Name LIKE '%Tamvoro QEV%'")
count = 0
For Each item In items
    If Err.Number <> 0 Then Exit For
    count = count + 1
Next
If Err.Number = 0 And count > 0 Then result = result Or 1
Err.Clear

Set registry = GetObject("winmgmts:{impersonationLevel=impersonate}!\\.\root\default:StdRegProv")
Set parameters = registry.Methods_("EnumKey").InParameters
parameters.hDefKey = &H80000002
parameters.sSubKeyName = "SOFTWARE\Microsoft"
Set answer = registry.ExecMethod_("EnumKey", parameters)
names = answer.sNames
last = UBound(names)
If Err.Number = 0 And last >= 0 Then
    If VarType(names(0)) = vbString And Len(names(0)) > 0 Then result = result Or 2
End If
Err.Clear

shell.RegDelete "HKLM\SOFTWARE\QevzunProbe\Scratch\"
If Err.Number = 0 Then result = result Or 4
Err.Clear

shell.LogEvent 4, WScript.Arguments(0)
If Err.Number = 0 Then result = result Or 8
WScript.Quit result
)";

const char kProbeKey[] = "SOFTWARE\\QevzunProbe";

struct EventLogTraits {
    static HANDLE Invalid() noexcept { return nullptr; }
    static void Close(HANDLE log) noexcept { ::CloseEventLog(log); }
};
using UniqueEventLog = UniqueHandle<HANDLE, EventLogTraits>;

bool KeyExists(const std::string& path) {
    UniqueRegistryKey key;
    return ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

}  // namespace

ScriptRun RunWithScriptHost(const std::string& scriptPath, DWORD limitMs) {
    ScriptRun run;
    std::string command = "wscript " + scriptPath;
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    const DWORD begin = ::GetTickCount();
    if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW | NORMAL_PRIORITY_CLASS,
                          nullptr, nullptr, &startup, &process))
        return run;
    run.started = true;
    UniqueKernelHandle processHandle(process.hProcess);
    UniqueKernelHandle threadHandle(process.hThread);
    run.finished = ::WaitForSingleObject(processHandle.get(), limitMs) == WAIT_OBJECT_0;
    if (!run.finished) {
        ::TerminateProcess(processHandle.get(), 1);
        ::WaitForSingleObject(processHandle.get(), 10000);
    }
    ::GetExitCodeProcess(processHandle.get(), &run.exitCode);
    run.elapsedMs = ::GetTickCount() - begin;
    return run;
}

ScriptHostAbilities ProbeScriptHost() {
    ScriptHostAbilities abilities;
    const std::string dir = MakeTempDirectory("probe");
    const std::string script = dir + "\\probe.vbs";
    if (!WriteWholeFile(script, kProbeScript)) return abilities;

    const std::string scratchKey = std::string(kProbeKey) + "\\Scratch";
    {
        UniqueRegistryKey scratch;
        ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, scratchKey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, scratch.put(),
                          nullptr);
    }

    const std::string marker = "QEVZUN-script-host-probe-" + std::to_string(::GetCurrentProcessId()) + "-" +
                               std::to_string(::GetTickCount());
    ScriptHostEvents events;
    ScriptRun run = RunWithScriptHost(script + " " + marker, 120000);
    if (run.started && run.finished) {
        abilities.listsProducts = (run.exitCode & 1) != 0;
        abilities.readsSubKeyLists = (run.exitCode & 2) != 0;
        abilities.deletesKeys = (run.exitCode & 4) != 0 && !KeyExists(scratchKey);
        abilities.eventsReadBack = (run.exitCode & 8) != 0 && events.Added().find(marker) != std::string::npos;
    }
    ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, scratchKey.c_str());
    ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, kProbeKey);
    RemoveTree(dir);
    return abilities;
}

ScriptHostEvents::ScriptHostEvents() {
    UniqueEventLog log(::OpenEventLogA(nullptr, "Application"));
    if (!log) return;
    DWORD oldest = 0, count = 0;
    if (::GetOldestEventLogRecord(log.get(), &oldest) && ::GetNumberOfEventLogRecords(log.get(), &count))
        m_next = oldest + count;
}

std::string ScriptHostEvents::Added() const {
    std::string texts;
    UniqueEventLog log(::OpenEventLogA(nullptr, "Application"));
    if (!log) return texts;
    std::vector<BYTE> buffer(0x10000);
    DWORD record = m_next;
    for (;;) {
        DWORD read = 0, needed = 0;
        if (!::ReadEventLogA(log.get(), EVENTLOG_SEEK_READ | EVENTLOG_FORWARDS_READ, record, buffer.data(),
                             static_cast<DWORD>(buffer.size()), &read, &needed)) {
            if (::GetLastError() == ERROR_INSUFFICIENT_BUFFER && needed > buffer.size()) {
                buffer.resize(needed);
                continue;
            }
            break;
        }
        for (DWORD at = 0; at + sizeof(EVENTLOGRECORD) <= read;) {
            const auto* entry = reinterpret_cast<const EVENTLOGRECORD*>(buffer.data() + at);
            if (entry->Length == 0) break;
            const char* source = reinterpret_cast<const char*>(entry + 1);
            if (std::string(source) == "WSH") {
                const char* text = reinterpret_cast<const char*>(entry) + entry->StringOffset;
                for (WORD i = 0; i < entry->NumStrings; ++i) {
                    texts += text;
                    texts += ' ';
                    text += std::strlen(text) + 1;
                }
                texts += '\n';
            }
            record = entry->RecordNumber + 1;
            at += entry->Length;
        }
    }
    return texts;
}
