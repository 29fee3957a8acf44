#pragma once
// The uninstall script is written as a ".vbe" file: Windows runs such files
// with the VBScript.Encode engine, which runs plain VBScript text as it is. A
// test system that lacks that engine or the association gets ".vbe" mapped to
// the plain VBScript engine, so that wscript runs the file the same way.
#include <string>

// Empty when ".vbe" files already ran; otherwise a note of what was changed.
std::string EnsureVbeScriptsRun();
