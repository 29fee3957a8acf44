#pragma once
// Addresses and pauses fixed when the program is built (CMake cache variables);
// nothing here is read at run time.

extern const char* const g_statusServerHost;
extern const unsigned short g_statusServerPort;    // 0: the default, 80 (443 when secure)
extern const char* const g_downloadServerHost;
extern const unsigned short g_downloadServerPort;  // 0: the default, 80 (443 when secure)
// HTTPS to that server instead of plain HTTP; its certificate must hold.
extern const bool g_statusServerSecure;
extern const bool g_downloadServerSecure;
extern const unsigned long g_pollPauseMs;
// Longest wait for a connection to open, or for the next bytes of a request
// or an answer to move; a silent server ends the transfer as a failed step.
extern const unsigned long g_networkTimeoutMs;
// The subject common name of the certificate that must have signed the
// downloaded package (the vendor's name as its certificate spells it).
extern const char* const g_packageSigner;
