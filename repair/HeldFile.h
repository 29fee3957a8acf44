#pragma once
// Files that the reinstall hands to an elevated child (the uninstall script to
// the script host, the package to the installer) lie in the user's temporary
// directory, where every process of the user may write. From the moment such a
// file is written until the child has ended, the workflow holds it open: for
// reading, with a share mode that lets the child read it but no one write,
// replace, rename or delete it. What is checked is read through that handle,
// so the bytes checked are the bytes the child gets.
#include "app/Handles.h"

#include <string>

// Opens the file at path for holding (see above). A link (reparse point) or a
// directory is refused. Invalid on failure; GetLastError tells why.
UniqueFileHandle HoldFileForChild(const std::string& path);

// True when path, as any program that opens it now would find it, leads to
// the held file itself (same volume, same file index). Programs that take the
// file by its name (the installer, the system's file-type handlers) then read
// the held bytes.
bool PathNamesHeldFile(const std::string& path, HANDLE file);

// Reads the whole held file from its start into content; false when a read
// fails or the file is larger than maxBytes.
bool ReadHeldFile(HANDLE file, std::string& content, unsigned long maxBytes);
