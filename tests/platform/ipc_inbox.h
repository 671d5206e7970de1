#pragma once

#include "platform/event.h"
#include "platform/ipc.h"

#include <chrono>
#include <mutex>
#include <optional>
#include <vector>

namespace testing_support {

// Collects what an IPC endpoint receives, for a test thread to wait on.
class IpcInbox {
public:
    platform::IpcEndpoint::Handler handler()
    {
        return [this](platform::IpcMessage&& message) {
            {
                std::lock_guard guard(m_lock);
                m_messages.push_back(std::move(message));
            }
            m_arrived.set();
        };
    }

    // The next message not yet taken, waiting up to the time-out for it.
    std::optional<platform::IpcMessage>
    next(std::chrono::milliseconds timeout = std::chrono::seconds(10))
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            {
                std::lock_guard guard(m_lock);
                if (m_taken < m_messages.size())
                    return m_messages[m_taken++];
            }
            if (!m_arrived.waitUntil(deadline))
                return std::nullopt;
        }
    }

    std::size_t count()
    {
        std::lock_guard guard(m_lock);
        return m_messages.size();
    }

private:
    std::mutex m_lock;
    std::vector<platform::IpcMessage> m_messages;
    std::size_t m_taken = 0;
    platform::Event m_arrived{platform::Event::ResetPolicy::Automatic};
};

} // namespace testing_support
