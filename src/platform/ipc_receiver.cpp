#include "platform/ipc_receiver.h"

#include "platform/debug_output.h"
#include "platform/ipc_datagram.h"
#include "platform/text.h"

#include <algorithm>

namespace platform {

IpcReceiver::IpcReceiver(Setup setup)
    : m_name(std::move(setup.name)), m_handler(std::move(setup.handler)),
      m_buffer(kMaxIpcDatagramSize + 1)
{
    for (const auto& accepted : setup.acceptedNames)
        m_acceptedNames.push_back(toLower(accepted));
}

void IpcReceiver::receive(std::size_t size, std::int32_t senderProcessId)
{
    auto decoded = decodeIpcDatagram(std::span(m_buffer.data(), std::min(size, m_buffer.size())));
    if (!decoded) {
        debugOutput("ipc: datagram of " + std::to_string(size) +
                    " bytes dropped: " + decoded.error().message);
        return;
    }
    if (!decoded->target.empty() && !equalsIgnoreCase(decoded->target, m_name)) {
        debugOutput(L"ipc: message for \"" + decoded->target + L"\" reached \"" + m_name +
                    L"\"; dropped");
        return;
    }
    if (decoded->message.kind == IpcMessage::Kind::Registered && !m_acceptedNames.empty() &&
        std::find(m_acceptedNames.begin(), m_acceptedNames.end(), toLower(decoded->message.name)) ==
            m_acceptedNames.end()) {
        // Counted, and noted only now and then: a flood must not flood the trace too.
        const std::uint64_t count = ++m_dropped;
        if ((count & (count - 1)) == 0)
            debugOutput("ipc: " + std::to_string(count) +
                        " message(s) of a name not taken from other programs dropped");
        return;
    }
    decoded->message.senderProcessId = senderProcessId;
    m_handler(std::move(decoded->message));
}

} // namespace platform
