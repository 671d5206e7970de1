#include "platform/desktop_file_chooser.h"

// No desktop chooser is asked on Windows yet: the program's own dialog serves.

namespace platform {

struct DesktopFileChooser::State {};

DesktopFileChooser::DesktopFileChooser(std::string) : m_state(std::make_shared<State>()) {}

DesktopFileChooser::~DesktopFileChooser() = default;

bool DesktopFileChooser::start(const FileChoiceRequest&, std::function<void()>)
{
    return false;
}

bool DesktopFileChooser::isFinished() const
{
    return true;
}

FileChoice DesktopFileChooser::result() const
{
    return FileChoice{FileChoiceOutcome::Unavailable, {}, "no desktop file chooser on Windows"};
}

} // namespace platform
