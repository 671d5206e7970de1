// The system's open and save dialog. GetOpenFileNameW and GetSaveFileNameW run their own
// modal loop until the user is done, so they run on a thread of the chooser's: the caller's
// thread goes on handling the program's messages meanwhile, as with the desktop portal.

#include "platform/desktop_file_chooser.h"

#include "platform/debug_output.h"
#include "platform/file_choice_state.h"
#include "platform/hex.h"
#include "platform/text.h"

#include <cwchar>
#include <thread>
#include <windows.h>
// commdlg.h and objbase.h need the types of windows.h first.
#include <commdlg.h>
#include <objbase.h>

namespace platform {
namespace {

// Long enough for any path the system takes, as the program has always asked.
constexpr std::size_t kFileBufferSize = 26261;
constexpr auto kStopTimeout = std::chrono::milliseconds(2000);

HWND ownerOf(std::string_view parent)
{
    constexpr std::string_view kPrefix = "windows:";
    if (parent.substr(0, kPrefix.size()) == kPrefix)
        parent.remove_prefix(kPrefix.size());
    const auto value = parent.empty() ? std::nullopt : parseHex(parent, UINTPTR_MAX);
    const HWND owner =
        value ? reinterpret_cast<HWND>(static_cast<std::uintptr_t>(*value)) : nullptr;
    return owner && IsWindow(owner) ? owner : nullptr;
}

} // namespace

struct DesktopFileChooser::State {
    FileChoiceState choice;
    // guarded by choice's lock
    bool withdrawn = false;
    bool ended = false; // the thread is done with the dialog
    HWND dialog = nullptr;
    std::thread thread;

    void finish(FileChoice answer)
    {
        choice.finish(std::move(answer), [this] { dialog = nullptr; });
    }

    // The dialog's window, as it is activated: the request is taken, or withdrawn already.
    void activated(HWND window)
    {
        bool close = false;
        {
            const auto held = choice.lock();
            // Later activations are the dialog's own prompts.
            if (dialog)
                return;
            dialog = window;
            if (!choice.isFinished(held))
                choice.markTaken(held);
            close = withdrawn;
        }
        choice.notifyChanged();
        if (close)
            PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
    }

    void run(const FileChoiceRequest& request);

    // The chooser thread's state, for the hook that sees the dialog's window come.
    static thread_local State* current;
    static LRESULT CALLBACK watchActivation(int code, WPARAM wParam, LPARAM lParam)
    {
        if (code == HCBT_ACTIVATE && current)
            current->activated(reinterpret_cast<HWND>(wParam));
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
};

thread_local DesktopFileChooser::State* DesktopFileChooser::State::current = nullptr;

void DesktopFileChooser::State::run(const FileChoiceRequest& request)
{
    // The explorer-style dialog uses the shell's objects.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    current = this;
    const HHOOK hook = SetWindowsHookExW(WH_CBT, watchActivation, nullptr, GetCurrentThreadId());

    const bool save = request.mode == FileChoiceRequest::Mode::Save;
    std::wstring file(kFileBufferSize, L'\0');
    if (save && request.fileName.size() < kFileBufferSize &&
        request.fileName.find(L'\0') == std::wstring::npos)
        file.replace(0, request.fileName.size(), request.fileName);
    const std::wstring filters = systemFilterString(request.filters);
    const std::wstring folder = request.folder.wstring();
    OPENFILENAMEW dialogRecord{};
    dialogRecord.lStructSize = sizeof dialogRecord;
    dialogRecord.hwndOwner = ownerOf(request.parentWindow);
    dialogRecord.lpstrFilter = request.filters.empty() ? nullptr : filters.c_str();
    dialogRecord.nFilterIndex = 1;
    dialogRecord.lpstrFile = file.data();
    dialogRecord.nMaxFile = static_cast<DWORD>(file.size());
    dialogRecord.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    dialogRecord.lpstrTitle = request.title.empty() ? nullptr : request.title.c_str();
    // A new file can be named when saving, and an existing one is not replaced unasked; the
    // process's working folder stays where it was.
    dialogRecord.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY |
                         (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
    const BOOL chosen = save ? GetSaveFileNameW(&dialogRecord) : GetOpenFileNameW(&dialogRecord);
    const DWORD failure = chosen ? 0 : CommDlgExtendedError();

    if (hook)
        UnhookWindowsHookEx(hook);
    current = nullptr;
    if (SUCCEEDED(com))
        CoUninitialize();
    bool withdrawnNow = false;
    {
        const auto held = choice.lock();
        withdrawnNow = withdrawn;
        ended = true;
    }
    choice.notifyChanged();
    if (chosen && !withdrawnNow) {
        file.resize(std::wcslen(file.c_str()));
        finish({FileChoiceOutcome::Chosen, std::filesystem::path(file), {}});
    } else if (failure == 0) {
        finish({FileChoiceOutcome::Cancelled, {}, {}});
    } else {
        finish({FileChoiceOutcome::Unavailable,
                {},
                "the system file dialog failed (" + std::to_string(failure) + ")"});
    }
}

DesktopFileChooser::DesktopFileChooser(std::string) : m_state(std::make_shared<State>()) {}

DesktopFileChooser::~DesktopFileChooser()
{
    State& state = *m_state;
    HWND open = nullptr;
    {
        const auto held = state.choice.lock();
        state.choice.forgetOnFinished(held);
        state.withdrawn = true;
        open = state.dialog;
    }
    if (!state.thread.joinable())
        return;
    if (open)
        PostMessageW(open, WM_COMMAND, IDCANCEL, 0);
    auto held = state.choice.lock();
    const bool ended = state.choice.waitFor(held, kStopTimeout, [&] { return state.ended; });
    held.unlock();
    if (ended) {
        state.thread.join();
    } else {
        // Left to end on its own; the thread holds the state it uses.
        debugOutput(L"desktop file chooser: the system dialog did not close in time");
        state.thread.detach();
    }
}

bool DesktopFileChooser::start(const FileChoiceRequest& request, std::function<void()> finished)
{
    State* state = m_state.get();
    {
        const auto held = state->choice.lock();
        if (state->thread.joinable())
            return false; // one request per chooser
    }
    state->choice.setOnFinished(std::move(finished));
    state->thread = std::thread([keep = m_state, request] { keep->run(request); });
    // A dialog that comes after this is closed as it opens; the caller's own one serves.
    return state->choice.awaitTaken(kTakeTimeout, "the system file dialog did not open",
                                    [state] { state->withdrawn = true; });
}

bool DesktopFileChooser::isFinished() const
{
    return m_state->choice.isFinished();
}

FileChoice DesktopFileChooser::result() const
{
    return m_state->choice.result();
}

} // namespace platform
