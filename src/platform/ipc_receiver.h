#pragma once

#include "platform/ipc.h"

#include <atomic>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace platform {

// What an endpoint's listener does with one message that arrived, on every system: decodes
// it, drops one meant for another endpoint, and with a table of accepted names drops (and
// counts) a registered message named outside it; the rest goes to the handler. Used on
// the listener thread only, but for the count.
class IpcReceiver {
public:
    struct Setup {
        std::wstring name; // the endpoint's
        IpcEndpoint::Handler handler;
        std::vector<std::wstring> acceptedNames; // any letter case; empty: every name
    };
    explicit IpcReceiver(Setup setup);

    // Room for the largest message and one byte more, so that a larger one shows.
    std::span<std::uint8_t> buffer() { return m_buffer; }
    // The first `size` bytes of buffer(), from the process the system names.
    void receive(std::size_t size, std::int32_t senderProcessId);
    std::uint64_t dropped() const { return m_dropped.load(); }

private:
    std::wstring m_name;
    IpcEndpoint::Handler m_handler;
    std::vector<std::wstring> m_acceptedNames; // lower case; empty: every name
    std::atomic<std::uint64_t> m_dropped{0};
    std::vector<std::uint8_t> m_buffer;
};

} // namespace platform
