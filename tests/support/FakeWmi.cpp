#include "tests/support/FakeWmi.h"

#include "wmi/WmiQuery.h"

#include <oleauto.h>

namespace {

class FakeWmiObject : public WmiObject {
public:
    explicit FakeWmiObject(FakeWmiObjectSpec spec) : m_spec(std::move(spec)) {}

    HRESULT GetNames(SAFEARRAY** names) override {
        *names = nullptr;
        if (FAILED(m_spec.namesResult)) {
            ::SetLastError(ERROR_INVALID_FUNCTION);
            return m_spec.namesResult;
        }
        if (m_spec.namesMissing) return S_OK;
        SAFEARRAY* array = ::SafeArrayCreateVector(VT_BSTR, 0, static_cast<ULONG>(m_spec.properties.size()));
        for (LONG i = 0; i < static_cast<LONG>(m_spec.properties.size()); ++i) {
            BSTR name = ::SysAllocStringLen(m_spec.properties[i].name.data(),
                                            static_cast<UINT>(m_spec.properties[i].name.size()));
            ::SafeArrayPutElement(array, &i, name);  // copies
            ::SysFreeString(name);
        }
        *names = array;
        return S_OK;
    }

    HRESULT Get(BSTR name, VARIANT* value) override {
        std::wstring wanted(name, ::SysStringLen(name));
        // The last property of that name answers, as a later duplicate would.
        for (auto it = m_spec.properties.rbegin(); it != m_spec.properties.rend(); ++it) {
            if (it->name != wanted) continue;
            if (FAILED(it->getResult)) return it->getResult;
            it->fill(value);
            return S_OK;
        }
        return WBEM_E_NOT_FOUND_HR;
    }

private:
    static constexpr HRESULT WBEM_E_NOT_FOUND_HR = static_cast<HRESULT>(0x80041002L);
    FakeWmiObjectSpec m_spec;
};

struct FakeQueryState {
    std::vector<FakeWmiObjectSpec> objects;
    HRESULT execResult = S_OK;
    int calls = 0;
    std::wstring language;
    std::wstring query;
};
FakeQueryState* g_fakeQuery = nullptr;

HRESULT FakeExecQuery(IWbemServices*, const wchar_t* language, const wchar_t* query,
                      std::unique_ptr<WmiObjectEnumerator>& objects) {
    ++g_fakeQuery->calls;
    g_fakeQuery->language = language;
    g_fakeQuery->query = query;
    if (FAILED(g_fakeQuery->execResult)) {
        ::SetLastError(ERROR_ACCESS_DENIED);
        return g_fakeQuery->execResult;
    }
    objects = std::make_unique<FakeWmiEnumerator>(g_fakeQuery->objects);
    return S_OK;
}

}  // namespace

FakeWmiProperty TextProperty(const std::wstring& name, const std::wstring& text) {
    return {name, [text](VARIANT* v) {
                v->vt = VT_BSTR;
                v->bstrVal = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
            }};
}

FakeWmiProperty NullProperty(const std::wstring& name) {
    return {name, [](VARIANT* v) { v->vt = VT_NULL; }};
}

FakeWmiObjectSpec MacObject(const std::wstring& mac) {
    FakeWmiObjectSpec spec;
    spec.properties.push_back(TextProperty(L"MACAddress", mac));
    return spec;
}

FakeWmiEnumerator::FakeWmiEnumerator(std::vector<FakeWmiObjectSpec> objects, int* delivered)
    : m_objects(std::move(objects)), m_delivered(delivered) {}

std::unique_ptr<WmiObject> FakeWmiEnumerator::Next() {
    if (m_next == m_objects.size()) return nullptr;
    if (m_delivered != nullptr) ++*m_delivered;
    return std::make_unique<FakeWmiObject>(m_objects[m_next++]);
}

ScopedFakeWmiQuery::ScopedFakeWmiQuery(std::vector<FakeWmiObjectSpec> objects, HRESULT execResult) {
    g_fakeQuery = new FakeQueryState{std::move(objects), execResult, 0, {}, {}};
    g_wmiExecQuery = &FakeExecQuery;
}

ScopedFakeWmiQuery::~ScopedFakeWmiQuery() {
    g_wmiExecQuery = &ExecWbemQuery;
    delete g_fakeQuery;
    g_fakeQuery = nullptr;
}

int ScopedFakeWmiQuery::Calls() const { return g_fakeQuery->calls; }
std::wstring ScopedFakeWmiQuery::Language() const { return g_fakeQuery->language; }
std::wstring ScopedFakeWmiQuery::Query() const { return g_fakeQuery->query; }
