#pragma once
// Text from outside the program (a UUID read from an agent file) made safe to
// stand in the path of an HTTP request target.
#include <string>

// Ends at the first zero byte, as a C string would. Bytes that may not stand raw
// in a request path (control bytes, space, DEL, bytes from 0x80 up, and
// " # % < > ? [ \ ] ^ ` { | }) become %XX; everything else passes unchanged.
std::string EscapeRequestPathText(const std::string& text);
