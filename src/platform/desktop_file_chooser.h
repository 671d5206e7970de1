#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct FileChoiceRequest {
    enum class Mode { Open, Save };
    Mode mode = Mode::Open;
    std::wstring title;
    struct Filter {
        std::wstring name;                  // "Macro Files(*.mac)"
        std::vector<std::wstring> patterns; // "*.mac"
    };
    std::vector<Filter> filters;
    std::filesystem::path folder;
    std::wstring fileName; // suggested name when saving
    // The window the chooser belongs to, in the desktop's form ("x11:1a00004"; on Windows the
    // window's handle in hex, "windows:1a00004"); may be empty.
    std::string parentWindow;
};

enum class FileChoiceOutcome {
    Chosen,
    Cancelled,
    // No desktop chooser took the request, or it went away: the caller shows its own.
    Unavailable,
};

struct FileChoice {
    FileChoiceOutcome outcome = FileChoiceOutcome::Unavailable;
    std::filesystem::path file;
    std::string why; // for Unavailable
};

// The desktop's own file chooser (on Linux the XDG desktop portal over the session bus, on
// Windows the system's open and save dialog on a thread of the chooser's).
// start() returns at once; the answer arrives later, when the user is done, and
// `finished` runs then on a thread of the chooser's, so the caller's loop goes on.
class DesktopFileChooser {
public:
    // How long the desktop has to take the request before the caller's own dialog is used.
    static constexpr std::chrono::milliseconds kTakeTimeout{3000};

    // An empty address is the user's session bus.
    explicit DesktopFileChooser(std::string busAddress = {});
    // A request still open is withdrawn.
    ~DesktopFileChooser();
    DesktopFileChooser(const DesktopFileChooser&) = delete;
    DesktopFileChooser& operator=(const DesktopFileChooser&) = delete;

    // False when no chooser took the request within kTakeTimeout (result() says why).
    bool start(const FileChoiceRequest& request, std::function<void()> finished);
    bool isFinished() const;
    FileChoice result() const;

private:
    struct State;
    std::shared_ptr<State> m_state;
};

// The filters in the system dialog's form: "name\0pattern;pattern\0...", ending in two NULs
// (one when there is no filter). A NUL inside a name or pattern would end the list there, so
// such a filter is left out.
[[nodiscard]] std::wstring
systemFilterString(const std::vector<FileChoiceRequest::Filter>& filters);

// A file:// address as a path: percent escapes decoded; nullopt for any other kind.
[[nodiscard]] std::optional<std::filesystem::path> pathFromFileUri(std::string_view uri);

} // namespace platform
