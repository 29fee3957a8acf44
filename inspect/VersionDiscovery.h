#pragma once
// The installed agent's version, as its version files (or executables) record it.
#include <string>

// "agent", "content", "av" or "antiy" in any letter case: the version from that
// key's file under the program directory; "0" for any other key.
std::string GetProductVersion(std::string productKey);

// The version text at the start of a version file, or "N/A".
std::string GetVersion(const std::string& path);

// The product version of "qevsensor.exe" ("agent") or "qevmon.exe" ("av") in the
// program directory's bin folder, as "a.b.c.d"; "0" when it cannot be had.
std::string GetExecutableVersion(const std::string& productKey);
