#include "windows/audio_companion.h"

#include "platform/debug_output.h"
#include "platform/ipc.h"

#include <initializer_list>

namespace windows {

AudioCompanionLink::AudioCompanionLink(const platform::IpcEndpoint* endpoint) : m_endpoint(endpoint)
{
}

bool AudioCompanionLink::present() const
{
    return m_endpoint && m_endpoint->hasPeer(kAudioCompanionName);
}

bool AudioCompanionLink::command(std::uint64_t wParam, std::int64_t lParam) const
{
    if (!m_endpoint)
        return false;
    const auto sent = m_endpoint->post(kAudioCompanionName, kAudioCommandMessage, wParam, lParam);
    if (!sent) {
        platform::debugOutput("audio companion: command " + std::to_string(wParam) +
                              " not sent: " + sent.error().message);
        return false;
    }
    return *sent > 0;
}

bool AudioCompanionLink::start() const
{
    if (!present())
        return false;
    bool all = true;
    for (const std::uint64_t c : {0, 3, 1})
        all = command(c, 0) && all;
    return all;
}

bool AudioCompanionLink::stop() const
{
    if (!present())
        return false;
    bool all = true;
    for (const std::uint64_t c : {2, 4, 5})
        all = command(c, 0) && all;
    return all;
}

bool AudioCompanionLink::pause() const
{
    if (!present())
        return false;
    bool all = true;
    for (const std::uint64_t c : {2, 4})
        all = command(c, 0) && all;
    return all;
}

bool AudioCompanionLink::slider(wchar_t channel, int value) const
{
    const std::uint64_t which = channel == L'R' ? 6 : channel == L'G' ? 7 : 8;
    return command(which, value);
}

bool AudioCompanionLink::sendStyleColour(const AudioStyles& styles) const
{
    if (!m_endpoint)
        return false;
    const auto data = styleColourData(styles);
    const auto sent = m_endpoint->postCopyData(kAudioCompanionName, 0, kStyleColourCopyData, data);
    platform::debugOutput("2222222222");
    return sent && *sent > 0;
}

} // namespace windows
