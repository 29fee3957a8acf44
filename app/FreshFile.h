#pragma once
// A file the program writes where the user may write too (the temporary
// directory): the downloaded package, the uninstall script.
#include "app/Handles.h"

#include <string>

// Removes whatever is at path (a file, or a link someone planted there: only
// the link goes) and creates a new, empty file for writing that others may
// only read. Invalid when something is still there or the file cannot be
// made; GetLastError tells why.
UniqueFileHandle CreateFreshFile(const std::string& path);
