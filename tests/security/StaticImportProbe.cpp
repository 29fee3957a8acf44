// Imports WinINet statically, as the program once did: shows that the
// planted-DLL test can see a DLL taken from beside the executable.
#include <windows.h>
#include <wininet.h>

int main() {
    DWORD flags = 0;
    return ::InternetGetConnectedState(&flags, 0) ? 0 : 1;
}
