#include "platform/file_choice_state.h"

#include "platform/debug_output.h"
#include "platform/text.h"

#include <utility>

namespace platform {

void FileChoiceState::setOnFinished(std::function<void()> notify)
{
    const Lock held = lock();
    m_onFinished = std::move(notify);
}

bool FileChoiceState::finish(FileChoice choice, const std::function<void()>& alongside)
{
    std::function<void()> notify;
    {
        const Lock held = lock();
        if (m_finished)
            return false;
        m_finished = true;
        m_result = std::move(choice);
        if (alongside)
            alongside();
        notify = m_onFinished;
    }
    m_changed.notify_all();
    if (notify)
        notify();
    return true;
}

void FileChoiceState::giveUp(const Lock&, std::string why)
{
    if (m_finished)
        return;
    m_finished = true;
    m_result = {FileChoiceOutcome::Unavailable, {}, std::move(why)};
}

bool FileChoiceState::awaitTaken(std::chrono::milliseconds limit, const std::string& late,
                                 const std::function<void()>& onLate)
{
    Lock held = lock();
    m_changed.wait_for(held, limit, [this] { return m_taken || m_finished; });
    if (!m_taken && !m_finished) {
        if (onLate)
            onLate();
        giveUp(held, late);
    }
    if (m_result.outcome == FileChoiceOutcome::Unavailable && m_finished) {
        debugOutput(L"desktop file chooser: " + fromUtf8(m_result.why));
        return false;
    }
    return true;
}

bool FileChoiceState::isFinished() const
{
    const Lock held = lock();
    return m_finished;
}

FileChoice FileChoiceState::result() const
{
    const Lock held = lock();
    return m_result;
}

} // namespace platform
