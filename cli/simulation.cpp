#include "simulation.h"

#include "device/hid/sim/socket_backend.h"
#include "devsim/control.h"
#include "devsim/keyboard.h"
#include "devsim/mouse.h"
#include "devsim/state_file.h"

#include <cstdio>

namespace cli {
namespace {

class DeviceSimulation final : public Simulation {
public:
    DeviceSimulation(std::unique_ptr<devsim::EmulatedDevice> device, std::string stateFile)
        : m_stateFile(std::move(stateFile)), m_device(std::move(device))
    {
    }

    ~DeviceSimulation() override
    {
        m_device->unplug(devsim::KeyboardLink::Cable);
        m_device->unplug(devsim::KeyboardLink::Receiver);
        if (m_stateFile.empty() || !m_saveOnExit)
            return;
        const auto& model = m_device->model();
        if (const auto saved = devsim::saveState(model, m_stateFile, m_device->memory()); !saved)
            std::fprintf(stderr, "halvekctl: the emulated %s's state was not saved: %s\n",
                         std::string(model.name).c_str(), saved.error().message.c_str());
    }

    // A missing file is a new device. A corrupt one is reported, the factory state used, and
    // the file left alone so that nothing in it is lost.
    void load()
    {
        if (m_stateFile.empty())
            return;
        auto memory = devsim::loadState(m_device->model(), m_stateFile);
        if (memory) {
            m_device->setMemory(*memory);
        } else if (memory.error().code != platform::Error::Code::NotFound) {
            std::fprintf(stderr,
                         "halvekctl: %s; the emulated %s starts from its factory state "
                         "and the file is left as it is\n",
                         memory.error().message.c_str(),
                         std::string(m_device->model().name).c_str());
            m_saveOnExit = false;
        }
    }

    void plug(devsim::KeyboardLink link) { m_device->plug(link); }

    platform::Result<std::string> control(const std::string& line) override
    {
        return m_control.run(line);
    }

private:
    std::string m_stateFile;
    bool m_saveOnExit = true;
    std::unique_ptr<devsim::EmulatedDevice> m_device;
    devsim::Control m_control{*m_device, {}};
};

std::unique_ptr<devsim::EmulatedDevice> emulatedDevice(const std::string& kind)
{
    if (kind == "mouse")
        return std::make_unique<devsim::Mouse>();
    return std::make_unique<devsim::Keyboard>();
}

class SocketSimulation final : public Simulation {
public:
    explicit SocketSimulation(std::filesystem::path socket) : m_socket(std::move(socket)) {}
    ~SocketSimulation() override { hid::sim::useDeviceServer({}); }

    platform::Result<std::string> control(const std::string& line) override
    {
        return hid::sim::sendControl(m_socket, line);
    }

private:
    std::filesystem::path m_socket;
};

} // namespace

std::unique_ptr<Simulation> attachSimulation(const GlobalOptions& options, bool& ok)
{
    ok = true;
    const std::string& mode = options.simulate;
    if (mode.empty())
        return nullptr;
    if (mode == "socket") {
        if (!options.simState.empty())
            std::fputs("halvekctl: --sim-state is for the in-process device; halvek-devsim "
                       "keeps its own\n",
                       stderr);
        const auto socket = hid::sim::deviceServerSocket();
        if (!socket) {
            std::fprintf(stderr, "halvekctl: %s\n", socket.error().message.c_str());
            ok = false;
            return nullptr;
        }
        hid::sim::useDeviceServer(*socket);
        return std::make_unique<SocketSimulation>(*socket);
    }
    auto simulation =
        std::make_unique<DeviceSimulation>(emulatedDevice(options.device), options.simState);
    simulation->load();
    if (mode == "both" || mode == "cable")
        simulation->plug(devsim::KeyboardLink::Cable);
    if (mode == "both" || mode == "receiver")
        simulation->plug(devsim::KeyboardLink::Receiver);
    return simulation;
}

std::unique_ptr<Simulation> attachSimulation(const std::string& mode, bool& ok)
{
    GlobalOptions options;
    options.simulate = mode;
    return attachSimulation(options, ok);
}

} // namespace cli
