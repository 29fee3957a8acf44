#pragma once
// Owners for the COM values that WMI hands out: strings, arrays and variants.
#include "app/UniqueHandle.h"

#include <oaidl.h>
#include <oleauto.h>

struct BstrTraits {
    static BSTR Invalid() noexcept { return nullptr; }
    static void Close(BSTR text) noexcept { ::SysFreeString(text); }
};
struct SafeArrayTraits {
    static SAFEARRAY* Invalid() noexcept { return nullptr; }
    static void Close(SAFEARRAY* array) noexcept { ::SafeArrayDestroy(array); }
};
using UniqueBstr = UniqueHandle<BSTR, BstrTraits>;
using UniqueSafeArray = UniqueHandle<SAFEARRAY*, SafeArrayTraits>;

// A VARIANT that is cleared when it goes, whatever it came to hold.
class ScopedVariant {
public:
    ScopedVariant() noexcept { ::VariantInit(&m_value); }
    ~ScopedVariant() { ::VariantClear(&m_value); }
    ScopedVariant(const ScopedVariant&) = delete;
    ScopedVariant& operator=(const ScopedVariant&) = delete;

    VARIANT* get() noexcept { return &m_value; }
    const VARIANT& value() const noexcept { return m_value; }

private:
    VARIANT m_value;
};
