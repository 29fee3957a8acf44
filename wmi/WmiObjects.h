#pragma once
// The two calls the row reader makes on each WMI object, and the enumeration
// that delivers the objects. The real WMI classes stand behind these; tests
// put their own objects here to show what WMI on a test machine never does.
#include <oaidl.h>

#include <memory>

class WmiObject {
public:
    virtual ~WmiObject() = default;
    // IWbemClassObject::GetNames for the non-system properties.
    virtual HRESULT GetNames(SAFEARRAY** names) = 0;
    // IWbemClassObject::Get of one property into an initialised VARIANT.
    virtual HRESULT Get(BSTR name, VARIANT* value) = 0;
};

class WmiObjectEnumerator {
public:
    virtual ~WmiObjectEnumerator() = default;
    // The next object, waiting as long as it takes; null once none is returned.
    virtual std::unique_ptr<WmiObject> Next() = 0;
};
