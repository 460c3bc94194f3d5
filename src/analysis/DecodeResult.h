#pragma once

#include "analysis/DecodeError.h"

#include <concepts>
#include <utility>
#include <variant>

// What a decoding step gives back: its value, or the reason there is none.
// Test it before taking the value; value() and error() on the wrong side throw
// std::bad_variant_access.
template <typename T> class [[nodiscard]] DecodeResult {
public:
    template <typename U>
    requires std::convertible_to<U&&, T> DecodeResult(U&& value)
        : m_state(std::in_place_index<0>, std::forward<U>(value)) {}
    DecodeResult(DecodeError error) : m_state(std::in_place_index<1>, error) {}
    // From a result of a narrower type: a derived stream for a base one.
    template <typename U>
    requires(!std::same_as<U, T> && std::convertible_to<U&&, T>)
        DecodeResult(DecodeResult<U>&& other)
        : m_state(other ? State(std::in_place_index<0>, std::move(*other))
                        : State(std::in_place_index<1>, other.error())) {}

    bool ok() const { return m_state.index() == 0; }
    explicit operator bool() const { return ok(); }

    T& value() { return std::get<0>(m_state); }
    const T& value() const { return std::get<0>(m_state); }
    T& operator*() { return value(); }
    const T& operator*() const { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }

    DecodeError error() const { return std::get<1>(m_state); }

private:
    using State = std::variant<T, DecodeError>;
    State m_state;
};
