#pragma once
// One owner for any Windows handle-like value: closed exactly once, on every path.
#include <utility>

template <typename T, typename Traits>
class UniqueHandle {
public:
    UniqueHandle() noexcept : m_value(Traits::Invalid()) {}
    explicit UniqueHandle(T value) noexcept : m_value(value) {}
    ~UniqueHandle() { reset(); }

    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : m_value(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }

    T get() const noexcept { return m_value; }
    explicit operator bool() const noexcept { return m_value != Traits::Invalid(); }

    T release() noexcept { return std::exchange(m_value, Traits::Invalid()); }
    void reset(T value = Traits::Invalid()) noexcept {
        T old = std::exchange(m_value, value);
        if (old != Traits::Invalid()) Traits::Close(old);
    }
    // For out-parameters: releases what is held and hands out the slot.
    T* put() noexcept { reset(); return &m_value; }

private:
    T m_value;
};
