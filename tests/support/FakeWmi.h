#pragma once
// WMI objects made up by a test, delivered through the row reader's interfaces
// or, with ScopedFakeWmiQuery, through WmiQuery's query seam.
#include "wmi/WmiObjects.h"

#include <oaidl.h>
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

struct FakeWmiProperty {
    std::wstring name;
    std::function<void(VARIANT*)> fill;  // writes the value into an initialised VARIANT
    HRESULT getResult = S_OK;            // a failure leaves the VARIANT untouched
};

struct FakeWmiObjectSpec {
    std::vector<FakeWmiProperty> properties;
    HRESULT namesResult = S_OK;
    bool namesMissing = false;  // GetNames succeeds but hands back no array
};

FakeWmiProperty TextProperty(const std::wstring& name, const std::wstring& text);
FakeWmiProperty NullProperty(const std::wstring& name);
FakeWmiObjectSpec MacObject(const std::wstring& mac);  // one "MACAddress" text property

class FakeWmiEnumerator : public WmiObjectEnumerator {
public:
    explicit FakeWmiEnumerator(std::vector<FakeWmiObjectSpec> objects, int* delivered = nullptr);
    std::unique_ptr<WmiObject> Next() override;

private:
    std::vector<FakeWmiObjectSpec> m_objects;
    std::size_t m_next = 0;
    int* m_delivered;
};

// While alive, WmiQuery::QueryMacAddresses gets these objects (or this failure)
// instead of asking WMI; the real connection is still made.
class ScopedFakeWmiQuery {
public:
    explicit ScopedFakeWmiQuery(std::vector<FakeWmiObjectSpec> objects, HRESULT execResult = S_OK);
    ~ScopedFakeWmiQuery();
    ScopedFakeWmiQuery(const ScopedFakeWmiQuery&) = delete;
    ScopedFakeWmiQuery& operator=(const ScopedFakeWmiQuery&) = delete;

    int Calls() const;
    std::wstring Language() const;
    std::wstring Query() const;
};
