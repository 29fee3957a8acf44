#include "wmi/WmiRowReader.h"

#include "inspect/TextConversion.h"
#include "log/Log.h"
#include "wmi/ComValues.h"
#include "wmi/VariantText.h"
#include "wmi/WmiError.h"

#include <oleauto.h>
#include <wbemidl.h>

namespace {

// The names array must be what GetNames promises, one dimension of strings;
// anything else cannot be indexed safely and counts as a failed bound query.
void NameBounds(SAFEARRAY* names, LONG& lower, LONG& upper) {
    VARTYPE type = VT_EMPTY;
    if (names == nullptr || ::SafeArrayGetDim(names) != 1 || FAILED(::SafeArrayGetVartype(names, &type)) ||
        type != VT_BSTR) {
        throw WmiError(E_INVALIDARG);
    }
    HRESULT hr = ::SafeArrayGetLBound(names, 1, &lower);
    if (FAILED(hr)) throw WmiError(hr);
    hr = ::SafeArrayGetUBound(names, 1, &upper);
    if (FAILED(hr)) throw WmiError(hr);
}

UniqueBstr CopyName(SAFEARRAY* names, LONG index) {
    UniqueBstr name;
    HRESULT hr = ::SafeArrayGetElement(names, &index, name.put());
    if (FAILED(hr)) throw WmiError(hr);  // E_OUTOFMEMORY when the copy cannot be made
    return name;
}

WmiRow ReadRow(WmiObject& object, SAFEARRAY* names) {
    LONG lower = 0;
    LONG upper = -1;
    NameBounds(names, lower, upper);
    WmiRow row;
    for (LONG index = lower; index <= upper; ++index) {
        UniqueBstr name = CopyName(names, index);
        const std::wstring wideName = name ? std::wstring(name.get(), ::SysStringLen(name.get())) : std::wstring();
        ScopedVariant value;
        HRESULT hr = object.Get(name.get(), value.get());
        if (FAILED(hr)) {
            LogError("WMI: Query Get() failed. hr: 0%08x er : %s", static_cast<unsigned>(hr),
                     GetLastErrorText().c_str());
            continue;
        }
        std::wstring text = VariantToText(value.value(), wideName);
        if (!text.empty()) row[WideToUtf8(wideName)] = WideToUtf8(text);
    }
    return row;
}

}  // namespace

WmiRows ReadWmiRows(WmiObjectEnumerator& enumerator) {
    WmiRows rows;
    while (std::unique_ptr<WmiObject> object = enumerator.Next()) {
        UniqueSafeArray names;
        HRESULT hr = object->GetNames(names.put());
        if (FAILED(hr)) {
            LogError("WMI: Query GetNames()failed. hr: 0%08x err : %s", static_cast<unsigned>(hr),
                     GetLastErrorText().c_str());
            break;
        }
        WmiRow row = ReadRow(*object, names.get());
        if (!row.empty()) rows.push_back(std::move(row));
    }
    return rows;
}
