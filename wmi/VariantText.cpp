#include "wmi/VariantText.h"

#include "log/Log.h"
#include "wmi/ComValues.h"

#include <oleauto.h>

namespace {

// Array properties are read at their element 0 only. A multi-dimensional array
// would need more indices than the one given, so it is refused instead.
HRESULT FetchFirstElement(SAFEARRAY* array, void* element) {
    if (array == nullptr || ::SafeArrayGetDim(array) != 1) return E_INVALIDARG;
    LONG index = 0;
    return ::SafeArrayGetElement(array, &index, element);
}

std::wstring BstrText(BSTR text) {
    return text == nullptr ? std::wstring() : std::wstring(text, ::SysStringLen(text));
}

std::wstring FirstStringOf(const VARIANT& value) {
    UniqueBstr element;
    HRESULT hr = FetchFirstElement(value.parray, element.put());
    if (FAILED(hr)) {
        LogError("WMI: Query SafeArrayGetElement() FAILED. hr:0%08X", static_cast<unsigned>(hr));
        return std::wstring();
    }
    return BstrText(element.get());
}

std::wstring FirstVariantStringOf(const VARIANT& value, const std::wstring& propertyName) {
    ScopedVariant element;
    HRESULT hr = FetchFirstElement(value.parray, element.get());
    if (FAILED(hr)) {
        LogError("WMI: Query SafeArrayGetElement() FAILED. hr:0%08X", static_cast<unsigned>(hr));
        return std::wstring();
    }
    if (element.value().vt != VT_BSTR) {
        LogError("Unhandled sub-type %d for type (VT_ARRAY|VT_VARIANT) and property %S",
                 static_cast<int>(element.value().vt), propertyName.c_str());
        return std::wstring();
    }
    return BstrText(element.value().bstrVal);
}

}  // namespace

std::wstring VariantToText(const VARIANT& value, const std::wstring& propertyName) {
    switch (value.vt) {
    case VT_EMPTY:
    case VT_NULL: return std::wstring();
    case VT_I2: return std::to_wstring(value.iVal);
    case VT_I4: return std::to_wstring(value.lVal);
    case VT_R4: return std::to_wstring(static_cast<double>(value.fltVal));  // "%f"
    case VT_R8: return std::to_wstring(value.dblVal);
    case VT_BSTR: return BstrText(value.bstrVal);
    case VT_BOOL: return value.boolVal != 0 ? L"1" : L"0";
    case VT_I1: return std::to_wstring(static_cast<int>(static_cast<signed char>(value.cVal)));
    case VT_UI2: return std::to_wstring(value.uiVal);
    case VT_UI4: return std::to_wstring(value.ulVal);
    case VT_I8: return std::to_wstring(value.llVal);
    case VT_UI8: return std::to_wstring(value.ullVal);
    case VT_INT: return std::to_wstring(value.intVal);
    case VT_ARRAY | VT_BSTR: return FirstStringOf(value);
    case VT_ARRAY | VT_VARIANT: return FirstVariantStringOf(value, propertyName);
    default:
        LogError("Unhandled type %d for property %S", static_cast<int>(value.vt), propertyName.c_str());
        return std::wstring();
    }
}
