#pragma once
// An open registry key for the tests, closed exactly once.
#include "app/UniqueHandle.h"

#include <windows.h>

struct RegistryKeyTraits {
    static HKEY Invalid() noexcept { return nullptr; }
    static void Close(HKEY key) noexcept { ::RegCloseKey(key); }
};
using UniqueRegistryKey = UniqueHandle<HKEY, RegistryKeyTraits>;
