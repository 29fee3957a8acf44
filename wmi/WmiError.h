#pragma once
// What the WMI row reader throws when it cannot walk an object's names at all;
// the MAC collection catches it and falls back to the adapter enumeration.
#include <windows.h>

#include <cstdio>
#include <stdexcept>
#include <string>

class WmiError : public std::runtime_error {
public:
    explicit WmiError(HRESULT hr) : std::runtime_error(Describe(hr)), m_hr(hr) {}
    HRESULT hr() const noexcept { return m_hr; }

private:
    static std::string Describe(HRESULT hr) {
        char text[32] = {};
        std::snprintf(text, sizeof text, "WMI error 0%08x", static_cast<unsigned>(hr));
        return text;
    }
    HRESULT m_hr;
};
