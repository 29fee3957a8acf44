#pragma once
// The one failure value of the agent's UUID (wide) and version (narrow): the
// inspection writes it, and everyone who must tell a failure compares
// against exactly this text.
constexpr char kNotAvailable[] = "N/A";
constexpr wchar_t kNotAvailableWide[] = L"N/A";
