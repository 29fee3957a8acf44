#pragma once
// Whether a Windows service of the given name is registered and can be opened
// with full rights (so: only when running elevated).
#include <string>

bool CheckIsServiceExist(std::string serviceName);
