#pragma once
// Where the agent lives: its program and data directories and its five services.
#include <windows.h>
#include <shlobj.h>

#include <map>
#include <string>
#include <utility>

// UTF-8, no trailing separator; empty when the known folder cannot be had.
std::string GetQEVDataDirectory();     // <ProgramData>\Wexo\QEV
std::string GetQEVInstallDirectory();  // <ProgramFiles>\..\Program Files\Tamvoro\QEV

// The program's one test of whether the agent is installed.
bool IsQEVInstalled();

// imageName -> (imagePath, serviceName), read only in key order.
using QEVComponent = std::pair<std::wstring, std::wstring>;
extern const std::map<std::wstring, QEVComponent> QEVComponentTable;

// Seam in front of the known-folder lookup, for the failure Wine never shows.
using KnownFolderPathFn = HRESULT(WINAPI*)(REFKNOWNFOLDERID, DWORD, HANDLE, PWSTR*);
extern KnownFolderPathFn g_knownFolderPath;
