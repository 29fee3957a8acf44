// Stands for a DLL someone put beside the program: loading it is the fault.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
