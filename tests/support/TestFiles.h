#pragma once
// Small file helpers for the tests (narrow UTF-8 paths, Windows separators).
#include <string>

std::string ReadWholeFile(const std::string& path);   // "" when missing
bool WriteWholeFile(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);
void RemoveTree(const std::string& path);              // no error when absent
std::string ExecutableDirectory();                     // of the running test binary
std::string SiblingPath(const std::string& relative);  // ExecutableDirectory() + "\" + relative
std::string TempDir();                                 // as GetTempPathA gives it, with its backslash
std::string MakeTempDirectory(const std::string& tag); // fresh, empty, under %TEMP%
