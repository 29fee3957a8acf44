#pragma once
// Standard base64 (RFC 4648 alphabet, "=" padding), the form in which the
// program carries texts of its own.
#include <string>

// True with the bytes in decoded, or false (decoded left empty) when encoded
// is not well-formed base64: a length that is no multiple of four, a foreign
// character, padding anywhere but at the end, or pad bits that are not zero.
bool DecodeBase64(const std::string& encoded, std::string& decoded);
