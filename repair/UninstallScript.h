#pragma once
// The script that removes the installed agent before a reinstall, carried in
// the program and written to the temporary directory to be run by wscript.
#include <string>

// The script text in standard base64, generated from QEVUinstall.vbs when the
// program is built; decoded it is ASCII VBScript with LF line ends.
extern const char* const g_uninstallScriptBase64;

// Writes the decoded script to the temporary directory as "QEVUinstall.vbe"
// and sets path to that file's full path, also on failure. False, with a log
// line, when the name does not fit within MAX_PATH after the temporary
// directory, when the file cannot be created afresh (whatever was at the path
// is removed first) or when the text is not written whole.
bool WriteUninstallScript(std::string& path);

// The decoded script, as WriteUninstallScript writes it; empty if the
// embedded text is not valid base64.
std::string UninstallScriptText();

// More than any script text the program carries: a longer file is not ours.
constexpr unsigned long kMaxUninstallScriptBytes = 1048576;
