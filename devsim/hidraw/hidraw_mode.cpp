#include "devsim/hidraw/hidraw_mode.h"

namespace devsim::hidraw {

HidrawMode::~HidrawMode()
{
    stop();
}

platform::Result<void> HidrawMode::enter()
{
    return m_runner.enter();
}

platform::Result<void> HidrawMode::start()
{
    if (auto mounted = m_files.start(m_runner.nodeFolder()); !mounted)
        return mounted;
    if (auto opened = m_events.open(); !opened)
        return opened;
    m_bridge.sync();
    if (!m_bridge.start())
        return platform::makeError(platform::Error::Code::Failed,
                                   "the hidraw bridge cannot be started");
    return {};
}

void HidrawMode::stop()
{
    m_bridge.stop();
    m_files.stop();
}

} // namespace devsim::hidraw
