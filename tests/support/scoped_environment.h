#pragma once

#include "support/environment.h"

#include <cstdlib>
#include <optional>
#include <string>

namespace testing_support {

// Sets (or, with nullopt, unsets) an environment variable and puts the old value back when
// it goes. Tests run on one thread while they change the environment.
class ScopedEnvironment {
public:
    ScopedEnvironment(std::string name, const std::optional<std::string>& value)
        : m_name(std::move(name))
    {
        if (const char* old = std::getenv(m_name.c_str()))
            m_old = old;
        setEnvironmentVariable(m_name, value);
    }
    ~ScopedEnvironment() { setEnvironmentVariable(m_name, m_old); }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::string m_name;
    std::optional<std::string> m_old;
};

} // namespace testing_support
