#pragma once
// UTF-16 <-> UTF-8 at the boundary between window texts and files, logs and HTTP.
#include <string>

// Each UTF-16 unit on its own (UCS-2): surrogate halves become 3-byte sequences.
std::string WideToUtf8(const std::wstring& text);

// Throws std::range_error("bad conversion") on undecodable input; never partial.
std::wstring Utf8ToWide(const std::string& text);
std::wstring Utf8ToWide(const char* data, std::size_t length);

// The same decoding without the exception, for scans that expect to meet
// undecodable bytes often: false (and out untouched) where Utf8ToWide throws.
bool TryUtf8ToWide(const char* data, std::size_t length, std::wstring& out);

// The system's text for the calling thread's last error, then "Error code N".
std::string GetLastErrorText();
