#pragma once
// Holds one reference on a COM interface and gives it back when it goes.
#include <unknwn.h>
#include <utility>

template <typename T>
class ComPtr {
public:
    ComPtr() noexcept = default;
    ~ComPtr() { reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) { reset(); m_p = std::exchange(other.m_p, nullptr); }
        return *this;
    }

    T* get() const noexcept { return m_p; }
    T* operator->() const noexcept { return m_p; }
    explicit operator bool() const noexcept { return m_p != nullptr; }

    void reset() noexcept {
        if (T* p = std::exchange(m_p, nullptr)) p->Release();
    }
    // Out-parameter slot for calls that hand back a new reference.
    T** put() noexcept { reset(); return &m_p; }
    void** put_void() noexcept { return reinterpret_cast<void**>(put()); }

private:
    T* m_p = nullptr;
};
