#include "device/hid/sim/socket_backend.h"

#include "platform/folders.h"

#include <cstdlib>

// TODO: serve and reach halvek-devsim over a named pipe; Wine has no AF_UNIX sockets. Until
// then the device server says so, and the emulated devices plug into halvekctl's own
// process (--simulate), as they do for every test.

namespace hid::sim {
namespace {

constexpr const char* kUnavailable =
    "the device server is not available on Windows yet; use --simulate without =socket";

class NoServerBackend final : public Backend {
public:
    bool enumerate(std::vector<std::wstring>&) override { return true; }
    std::unique_ptr<Connection> open(const std::wstring&, OpenMode, OpenFailure&) override
    {
        return nullptr;
    }
    bool isPresent(const std::wstring&) override { return false; }
};

} // namespace

platform::Result<std::filesystem::path> deviceServerSocket()
{
    if (const char* named = std::getenv("HALVEK_SIM_SOCKET"); named != nullptr && *named != '\0')
        return std::filesystem::path(named);
    auto folder = platform::instanceRuntimeFolder();
    if (!folder)
        return folder.error();
    return *folder / "devsim.sock";
}

void useDeviceServer(const std::filesystem::path&) {}

Backend& socketBackend()
{
    static NoServerBackend backend;
    return backend;
}

struct DeviceServer::Impl {};

DeviceServer::DeviceServer() = default;
DeviceServer::~DeviceServer() = default;

platform::Result<void> DeviceServer::start(const std::filesystem::path&, ControlHandler)
{
    return platform::makeError(platform::Error::Code::Unavailable, kUnavailable);
}

void DeviceServer::stop() {}

platform::Result<std::string> sendControl(const std::filesystem::path&, const std::string&)
{
    return platform::makeError(platform::Error::Code::Unavailable, kUnavailable);
}

} // namespace hid::sim
