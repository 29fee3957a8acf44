#pragma once
#include <string>

// Expands %NAME% components of a '/'-separated path, creates each missing level
// from the outside in, and returns the path with '\' separators, or "" on failure.
std::string ExpandAndCreateDirectories(std::string path);
