#include "support/private_bus.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace testing_support {
namespace {

// Anyone on this private bus may own any name and talk to anyone.
constexpr const char* kConfig = R"(<!DOCTYPE busconfig PUBLIC
 "-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path=@SOCKET@</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

constexpr int kStartTimeoutMs = 10000;

} // namespace

PrivateBus::PrivateBus()
{
    std::string config = kConfig;
    const std::string socket = (m_folder / "bus").string();
    config.replace(config.find("@SOCKET@"), 8, socket);
    const auto configPath = (m_folder / "bus.conf").string();
    std::ofstream(configPath) << config;

    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        m_error = std::string("pipe: ") + std::strerror(errno);
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // The daemon prints its address on its standard output once it listens.
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    // It complains about resource limits it may not raise; tests need none of that.
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const std::string configArgument = "--config-file=" + configPath;
    char* arguments[] = {const_cast<char*>("dbus-daemon"), const_cast<char*>("--nofork"),
                         const_cast<char*>("--print-address"),
                         const_cast<char*>(configArgument.c_str()), nullptr};
    const int spawned =
        ::posix_spawnp(&m_pid, "dbus-daemon", &actions, nullptr, arguments, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    if (spawned != 0) {
        m_pid = -1;
        m_error = std::string("dbus-daemon: ") + std::strerror(spawned);
        ::close(pipeFds[0]);
        return;
    }
    std::string line;
    pollfd readable{pipeFds[0], POLLIN, 0};
    while (line.find('\n') == std::string::npos && ::poll(&readable, 1, kStartTimeoutMs) > 0) {
        char buffer[256];
        const auto got = ::read(pipeFds[0], buffer, sizeof buffer);
        if (got <= 0)
            break;
        line.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(pipeFds[0]);
    if (const auto end = line.find('\n'); end != std::string::npos)
        m_address = line.substr(0, end);
    else
        m_error = "dbus-daemon printed no address";
}

PrivateBus::~PrivateBus()
{
    if (m_pid > 0) {
        ::kill(m_pid, SIGTERM);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
    }
}

} // namespace testing_support
