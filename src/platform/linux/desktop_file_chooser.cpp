// The desktop's file chooser through the XDG desktop portal: OpenFile or SaveFile on
// org.freedesktop.portal.FileChooser answers with a request object at once, and the
// request's Response signal carries the user's choice when the chooser closes.

#include "platform/desktop_file_chooser.h"

#include "platform/file_choice_state.h"
#include "platform/linux/bus_thread.h"
#include "platform/text.h"

#include <atomic>
#include <systemd/sd-bus.h>
#include <unistd.h>

namespace platform {
namespace {

constexpr const char* kPortal = "org.freedesktop.portal.Desktop";
constexpr const char* kPortalPath = "/org/freedesktop/portal/desktop";
constexpr const char* kFileChooser = "org.freedesktop.portal.FileChooser";
constexpr const char* kRequest = "org.freedesktop.portal.Request";
constexpr auto kStopTimeout = std::chrono::milliseconds(2000);
// The portal's answer codes in Response.
constexpr std::uint32_t kResponseSuccess = 0;
constexpr std::uint32_t kResponseCancelled = 1;

std::atomic<unsigned> g_nextToken{0};

bool ok(int r)
{
    return r >= 0;
}

// One (name, [(0, pattern)...]) filter; kind 0 is a glob.
int appendFilter(sd_bus_message* m, const FileChoiceRequest::Filter& filter)
{
    int r = sd_bus_message_open_container(m, 'r', "sa(us)");
    if (ok(r))
        r = sd_bus_message_append(m, "s", toUtf8(filter.name).c_str());
    if (ok(r))
        r = sd_bus_message_open_container(m, 'a', "(us)");
    for (const auto& pattern : filter.patterns) {
        if (ok(r))
            r = sd_bus_message_append(m, "(us)", 0u, toUtf8(pattern).c_str());
    }
    if (ok(r))
        r = sd_bus_message_close_container(m);
    if (ok(r))
        r = sd_bus_message_close_container(m);
    return r;
}

int openEntry(sd_bus_message* m, const char* key, const char* type)
{
    int r = sd_bus_message_open_container(m, 'e', "sv");
    if (ok(r))
        r = sd_bus_message_append(m, "s", key);
    if (ok(r))
        r = sd_bus_message_open_container(m, 'v', type);
    return r;
}

int closeEntry(sd_bus_message* m)
{
    int r = sd_bus_message_close_container(m);
    if (ok(r))
        r = sd_bus_message_close_container(m);
    return r;
}

int appendOptions(sd_bus_message* m, const FileChoiceRequest& request, const std::string& token)
{
    int r = sd_bus_message_open_container(m, 'a', "{sv}");
    if (ok(r))
        r = openEntry(m, "handle_token", "s");
    if (ok(r))
        r = sd_bus_message_append(m, "s", token.c_str());
    if (ok(r))
        r = closeEntry(m);
    if (ok(r))
        r = openEntry(m, "modal", "b");
    if (ok(r))
        r = sd_bus_message_append(m, "b", 1);
    if (ok(r))
        r = closeEntry(m);
    if (ok(r) && !request.filters.empty()) {
        r = openEntry(m, "filters", "a(sa(us))");
        if (ok(r))
            r = sd_bus_message_open_container(m, 'a', "(sa(us))");
        for (const auto& filter : request.filters) {
            if (ok(r))
                r = appendFilter(m, filter);
        }
        if (ok(r))
            r = sd_bus_message_close_container(m);
        if (ok(r))
            r = closeEntry(m);
        if (ok(r))
            r = openEntry(m, "current_filter", "(sa(us))");
        if (ok(r))
            r = appendFilter(m, request.filters.front());
        if (ok(r))
            r = closeEntry(m);
    }
    if (ok(r) && !request.folder.empty()) {
        // A byte string with its NUL, as the portal expects file names.
        const std::string folder = request.folder.string();
        r = openEntry(m, "current_folder", "ay");
        if (ok(r))
            r = sd_bus_message_append_array(m, 'y', folder.c_str(), folder.size() + 1);
        if (ok(r))
            r = closeEntry(m);
    }
    if (ok(r) && request.mode == FileChoiceRequest::Mode::Save && !request.fileName.empty()) {
        r = openEntry(m, "current_name", "s");
        if (ok(r))
            r = sd_bus_message_append(m, "s", toUtf8(request.fileName).c_str());
        if (ok(r))
            r = closeEntry(m);
    }
    if (ok(r))
        r = sd_bus_message_close_container(m);
    return r;
}

// The first address of "uris" in the Response results; empty when there is none.
std::string firstUri(sd_bus_message* m)
{
    std::string uri;
    if (!ok(sd_bus_message_enter_container(m, 'a', "{sv}")))
        return uri;
    while (sd_bus_message_enter_container(m, 'e', "sv") > 0) {
        const char* key = nullptr;
        if (!ok(sd_bus_message_read(m, "s", &key)))
            return uri;
        if (key && std::string_view(key) == "uris" &&
            sd_bus_message_enter_container(m, 'v', "as") > 0) {
            if (ok(sd_bus_message_enter_container(m, 'a', "s"))) {
                const char* first = nullptr;
                if (sd_bus_message_read(m, "s", &first) > 0 && first && uri.empty())
                    uri = first;
                sd_bus_message_skip(m, nullptr);
                sd_bus_message_exit_container(m);
            }
            sd_bus_message_exit_container(m);
        } else {
            sd_bus_message_skip(m, "v");
        }
        sd_bus_message_exit_container(m);
    }
    sd_bus_message_exit_container(m);
    return uri;
}

} // namespace

struct DesktopFileChooser::State {
    std::string address;
    BusThread bus;
    FileChoiceState choice;
    std::string requestPath; // guarded by choice's lock
    // bus thread only
    sd_bus_slot* responseSlot = nullptr;
    sd_bus_slot* callSlot = nullptr;

    void finish(FileChoice answer) { choice.finish(std::move(answer)); }

    static int onResponse(sd_bus_message* m, void* userdata, sd_bus_error*)
    {
        auto* state = static_cast<State*>(userdata);
        {
            const auto held = state->choice.lock();
            const char* path = sd_bus_message_get_path(m);
            if (!path || state->requestPath.empty() || state->requestPath != path)
                return 0;
        }
        std::uint32_t response = 2;
        if (!ok(sd_bus_message_read(m, "u", &response))) {
            state->finish(
                {FileChoiceOutcome::Unavailable, {}, "the chooser's answer was unreadable"});
            return 0;
        }
        if (response == kResponseCancelled) {
            state->finish({FileChoiceOutcome::Cancelled, {}, {}});
            return 0;
        }
        const std::string uri = response == kResponseSuccess ? firstUri(m) : std::string();
        const auto file = pathFromFileUri(uri);
        if (!file) {
            state->finish({FileChoiceOutcome::Unavailable,
                           {},
                           response == kResponseSuccess ? "the chooser named no local file: " + uri
                                                        : "the chooser ended without an answer"});
            return 0;
        }
        state->finish({FileChoiceOutcome::Chosen, *file, {}});
        return 0;
    }

    static int onCallReply(sd_bus_message* m, void* userdata, sd_bus_error*)
    {
        auto* state = static_cast<State*>(userdata);
        if (const sd_bus_error* error = sd_bus_message_get_error(m)) {
            state->finish({FileChoiceOutcome::Unavailable,
                           {},
                           std::string("no file chooser portal: ") +
                               (error->message ? error->message : error->name)});
            return 0;
        }
        const char* handle = nullptr;
        if (!ok(sd_bus_message_read(m, "o", &handle)) || !handle) {
            state->finish({FileChoiceOutcome::Unavailable, {}, "the portal gave no request"});
            return 0;
        }
        {
            const auto held = state->choice.lock();
            // Older portals choose the path themselves; the answer comes from there then.
            state->requestPath = handle;
            state->choice.markTaken(held);
        }
        state->choice.notifyChanged();
        return 0;
    }
};

DesktopFileChooser::DesktopFileChooser(std::string busAddress) : m_state(std::make_shared<State>())
{
    m_state->address = std::move(busAddress);
}

DesktopFileChooser::~DesktopFileChooser()
{
    std::string open;
    {
        const auto held = m_state->choice.lock();
        if (m_state->choice.isOpen(held))
            open = m_state->requestPath;
        m_state->choice.forgetOnFinished(held);
    }
    State* state = m_state.get();
    if (!open.empty()) {
        state->bus.post([open](sd_bus* bus) {
            sd_bus_call_method_async(bus, nullptr, kPortal, open.c_str(), kRequest, "Close",
                                     nullptr, nullptr, "");
            sd_bus_flush(bus);
        });
    }
    state->bus.post([state](sd_bus*) {
        state->responseSlot = sd_bus_slot_unref(state->responseSlot);
        state->callSlot = sd_bus_slot_unref(state->callSlot);
    });
    state->bus.stop(kStopTimeout);
}

bool DesktopFileChooser::start(const FileChoiceRequest& request, std::function<void()> finished)
{
    State* state = m_state.get();
    state->choice.setOnFinished(std::move(finished));
    const std::string token =
        "halvek" + std::to_string(::getpid()) + "_" + std::to_string(g_nextToken.fetch_add(1));
    const auto started = state->bus.start(
        "file chooser", BusThread::Bus::Session, state->address,
        [state, request, token](sd_bus* bus) -> Result<void> {
            const char* unique = nullptr;
            if (!ok(sd_bus_get_unique_name(bus, &unique)) || !unique)
                return makeError(Error::Code::Failed, "no name on the session bus");
            // The request's path is known before the call, so no answer can be missed.
            std::string sender(unique + 1);
            for (char& c : sender)
                c = c == '.' ? '_' : c;
            {
                const auto held = state->choice.lock();
                state->requestPath = std::string(kPortalPath) + "/request/" + sender + "/" + token;
            }
            if (!ok(sd_bus_match_signal(bus, &state->responseSlot, nullptr, nullptr, kRequest,
                                        "Response", State::onResponse, state)))
                return makeError(Error::Code::Failed, "cannot listen for the chooser's answer");
            sd_bus_message* call = nullptr;
            int r = sd_bus_message_new_method_call(
                bus, &call, kPortal, kPortalPath, kFileChooser,
                request.mode == FileChoiceRequest::Mode::Save ? "SaveFile" : "OpenFile");
            if (ok(r))
                r = sd_bus_message_append(call, "ss", request.parentWindow.c_str(),
                                          toUtf8(request.title).c_str());
            if (ok(r))
                r = appendOptions(call, request, token);
            if (ok(r))
                r = sd_bus_call_async(bus, &state->callSlot, call, State::onCallReply, state,
                                      std::chrono::microseconds(kTakeTimeout).count());
            sd_bus_message_unref(call);
            if (!ok(r))
                return makeError(Error::Code::Failed, "the chooser request could not be sent");
            return {};
        },
        [state] {
            state->finish({FileChoiceOutcome::Unavailable, {}, "the session bus went away"});
        },
        kTakeTimeout);
    if (!started) {
        state->choice.giveUp(state->choice.lock(), started.error().message);
        return false;
    }
    return state->choice.awaitTaken(kTakeTimeout + std::chrono::milliseconds(500),
                                    "no file chooser answered in time");
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
