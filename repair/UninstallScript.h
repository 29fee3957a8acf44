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
// directory, when the file cannot be opened or when the text is not written
// whole.
bool WriteUninstallScript(std::string& path);
