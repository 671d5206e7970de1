#pragma once

#include <string>
#include <utility>
#include <variant>

namespace platform {

// Why an operation failed: a short machine-readable code and a message meant for people.
struct Error {
    enum class Code { Failed, NotFound, InvalidInput, TooLarge, Timeout, Unavailable, Io };

    Code code = Code::Failed;
    std::string message;
};

// A value or the Error that kept it from being produced; shaped like std::expected.
template <class T> class [[nodiscard]] Result {
public:
    Result(T value) : m_state(std::move(value)) {}
    Result(Error error) : m_state(std::move(error)) {}

    bool hasValue() const { return std::holds_alternative<T>(m_state); }
    explicit operator bool() const { return hasValue(); }

    T& value() & { return std::get<T>(m_state); }
    const T& value() const& { return std::get<T>(m_state); }
    T&& value() && { return std::get<T>(std::move(m_state)); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }

    const Error& error() const { return std::get<Error>(m_state); }

private:
    std::variant<T, Error> m_state;
};

// For operations that produce nothing but may fail.
template <> class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Error error) : m_error(std::move(error)), m_failed(true) {}

    bool hasValue() const { return !m_failed; }
    explicit operator bool() const { return hasValue(); }
    const Error& error() const { return m_error; }

private:
    Error m_error;
    bool m_failed = false;
};

inline Error makeError(Error::Code code, std::string message)
{
    return Error{code, std::move(message)};
}

} // namespace platform
