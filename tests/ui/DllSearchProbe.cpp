// Loads a DLL by its bare name, as system libraries do for their helpers, with
// or without the program's start-up restriction ("restricted" as argument).
// Exit code 1 when the DLL beside the probe was loaded, 0 when it was not.
#include "app/DllSearchRestriction.h"

#include <windows.h>

#include <cstring>

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "restricted") == 0 && !RestrictDllSearchToSystemDirectory()) return 2;
    return ::LoadLibraryW(L"qevzun_planted.dll") != nullptr ? 1 : 0;
}
