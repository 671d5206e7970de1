#include "support/device_server.h"

#include <chrono>
#include <thread>

namespace testing_support {
namespace {

using namespace std::chrono_literals;

// A program start under Wine takes a second or more on a loaded machine.
constexpr auto kStartLimit = 60s;
constexpr auto kQuitLimit = 20s;

} // namespace

DeviceServer::DeviceServer(const std::filesystem::path& socket,
                           const std::vector<std::string>& arguments)
    : m_socket("HALVEK_SIM_SOCKET", [&] {
          const auto utf8 = socket.u8string();
          return std::string(utf8.begin(), utf8.end());
      }())
{
    auto started = platform::ChildProcess::start(builtProgramPath("halvek-devsim"), arguments);
    if (!started) {
        m_failure = started.error().message;
        return;
    }
    m_process = std::move(*started);
    // Its output goes nowhere, so the first answered control line says it is serving.
    const auto deadline = std::chrono::steady_clock::now() + kStartLimit;
    while (std::chrono::steady_clock::now() < deadline) {
        if (!m_process.isRunning()) {
            m_failure = "halvek-devsim ended at start with status " +
                        std::to_string(m_process.exitStatus().value_or(-1));
            return;
        }
        if (control("status").status == 0) {
            m_serving = true;
            return;
        }
        std::this_thread::sleep_for(100ms);
    }
    m_failure = "halvek-devsim did not answer within a minute";
}

DeviceServer::~DeviceServer()
{
    if (m_process.isRunning())
        (void)quit();
}

CommandRun DeviceServer::control(const std::string& line)
{
    return runBuiltProgram("halvek-devsim", "ctl " + line);
}

std::optional<int> DeviceServer::quit()
{
    if (m_process.isRunning())
        (void)control("quit");
    return waitForEnd();
}

std::optional<int> DeviceServer::waitForEnd()
{
    if (!m_process.waitForExit(kQuitLimit)) {
        m_process.terminate(1s);
        return std::nullopt;
    }
    return m_process.exitStatus();
}

} // namespace testing_support
