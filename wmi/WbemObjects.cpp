#include "wmi/WbemObjects.h"

#include <utility>

namespace {

class WbemObject : public WmiObject {
public:
    explicit WbemObject(ComPtr<IWbemClassObject> object) noexcept : m_object(std::move(object)) {}

    HRESULT GetNames(SAFEARRAY** names) override {
        return m_object->GetNames(nullptr, WBEM_FLAG_NONSYSTEM_ONLY, nullptr, names);
    }
    HRESULT Get(BSTR name, VARIANT* value) override {
        CIMTYPE type = 0;  // asked for, never used
        return m_object->Get(name, 0, value, &type, nullptr);
    }

private:
    ComPtr<IWbemClassObject> m_object;
};

class WbemEnumerator : public WmiObjectEnumerator {
public:
    explicit WbemEnumerator(ComPtr<IEnumWbemClassObject> enumerator) noexcept : m_enumerator(std::move(enumerator)) {}

    std::unique_ptr<WmiObject> Next() override {
        ComPtr<IWbemClassObject> object;
        ULONG returned = 0;
        // Only the count matters: no object returned ends the enumeration.
        m_enumerator->Next(static_cast<LONG>(WBEM_INFINITE), 1, object.put(), &returned);
        if (returned == 0 || !object) return nullptr;
        return std::make_unique<WbemObject>(std::move(object));
    }

private:
    ComPtr<IEnumWbemClassObject> m_enumerator;
};

}  // namespace

std::unique_ptr<WmiObjectEnumerator> WrapWbemEnumerator(ComPtr<IEnumWbemClassObject> enumerator) {
    if (!enumerator) return nullptr;
    return std::make_unique<WbemEnumerator>(std::move(enumerator));
}
