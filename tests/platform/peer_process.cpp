#include "platform/peer_process.h"

#include "platform/event.h"
#include "platform/folders.h"
#include "platform/ipc.h"
#include "platform/single_instance.h"

#include <cerrno>
#include <cstdlib>
#include <spawn.h>
#include <string_view>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace testing_support {
namespace {

using namespace std::chrono_literals;

constexpr const char* kRoleVariable = "HALVEK_TEST_PEER_ROLE";
constexpr const char* kFolderVariable = "HALVEK_TEST_PEER_FOLDER";

std::size_t reached(const platform::Result<std::size_t>& result)
{
    return result ? *result : 0;
}

int echo(const std::filesystem::path& folder)
{
    platform::IpcEndpoint endpoint(folder, L"peer");
    platform::Event quit(platform::Event::ResetPolicy::Manual);
    auto started = endpoint.startReceiving([&](platform::IpcMessage&& message) {
        if (message.name == L"quit") {
            quit.set();
        } else if (message.kind == platform::IpcMessage::Kind::CopyData) {
            (void)endpoint.postCopyData(message.senderName, message.wParam, message.copyDataId,
                                        message.data);
        } else {
            (void)endpoint.post(message.senderName, message.name, message.wParam, message.lParam,
                                message.data);
        }
    });
    if (!started || reached(endpoint.post(L"test", L"ready", 0, 0)) != 1)
        return 1;
    return quit.waitFor(60s) ? 0 : 2;
}

int instance(const std::filesystem::path& folder)
{
    platform::SingleInstance single;
    auto claim = single.claim(folder, platform::kInstanceIdentifier);
    if (!claim)
        return kPeerFailed;
    if (*claim == platform::SingleInstance::Claim::First)
        return kPeerFirst;
    auto woken = platform::wakeRunningInstance(folder, platform::kInstanceIdentifier);
    return reached(woken) >= 1 ? kPeerWokeFirst : kPeerFailed;
}

int hold(const std::filesystem::path& folder)
{
    platform::SingleInstance single;
    auto claim = single.claim(folder, platform::kInstanceIdentifier);
    if (!claim || *claim != platform::SingleInstance::Claim::First)
        return kPeerFailed;
    const platform::IpcEndpoint endpoint(folder, L"holder");
    if (reached(endpoint.post(L"test", L"ready", 0, 0)) != 1)
        return kPeerFailed;
    platform::Event never(platform::Event::ResetPolicy::Manual);
    (void)never.waitFor(60s); // until the test kills us
    return kPeerFailed;
}

int playRole(std::string_view role, const char* folder)
{
    if (folder == nullptr)
        return kPeerFailed;
    if (role == "echo")
        return echo(folder);
    if (role == "instance")
        return instance(folder);
    if (role == "hold")
        return hold(folder);
    return kPeerFailed;
}

// Before main(): the peer never reaches the test runner.
[[maybe_unused]] const bool kPeerRolePlayed = [] {
    if (const char* role = std::getenv(kRoleVariable))
        std::_Exit(playRole(role, std::getenv(kFolderVariable)));
    return false;
}();

} // namespace

pid_t startPeer(const std::string& role, const std::filesystem::path& folder)
{
    std::vector<std::string> variables;
    for (char** entry = environ; *entry != nullptr; ++entry)
        variables.emplace_back(*entry);
    variables.push_back(std::string(kRoleVariable) + "=" + role);
    variables.push_back(std::string(kFolderVariable) + "=" + folder.string());
    std::vector<char*> environment;
    for (auto& variable : variables)
        environment.push_back(variable.data());
    environment.push_back(nullptr);
    char program[] = "/proc/self/exe";
    char* arguments[] = {program, nullptr};
    pid_t pid = -1;
    if (::posix_spawn(&pid, program, nullptr, nullptr, arguments, environment.data()) != 0)
        return -1;
    return pid;
}

int waitForPeer(pid_t pid)
{
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return -1000;
    }
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    return WIFSIGNALED(status) ? -WTERMSIG(status) : -1000;
}

} // namespace testing_support
