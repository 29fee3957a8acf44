#pragma once
// The program runs elevated and is often started from a Downloads folder: the
// libraries it loads at run time must come from the system directory, never
// from a DLL planted beside the executable or in the current directory.

// Call first thing at start-up, before anything loads a library. False when
// the system offers no way to restrict the search (the current directory is
// still taken out of it).
bool RestrictDllSearchToSystemDirectory();
