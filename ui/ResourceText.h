#pragma once
// The program's own resources: templates, strings and icon live in the
// executable; string texts come in the copy the resource lookup picks.
#include <windows.h>

#include <string>

HINSTANCE ResourceModule();

// Empty when the entry does not exist.
std::wstring LoadResourceString(UINT id);
