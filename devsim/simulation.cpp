#include "devsim/simulation.h"

#include "device/hid/sim/socket_backend.h"
#include "devsim/control.h"
#include "devsim/mouse.h"
#include "devsim/state_file.h"

#include <cstdio>

namespace devsim {
namespace {

const char* linkWord(KeyboardLink link)
{
    return link == KeyboardLink::Cable ? "cable" : "receiver";
}

class DeviceSimulation final : public Simulation {
public:
    DeviceSimulation(std::string program, std::unique_ptr<EmulatedDevice> device,
                     std::string stateFile)
        : m_program(std::move(program)), m_stateFile(std::move(stateFile)),
          m_device(std::move(device))
    {
    }

    ~DeviceSimulation() override
    {
        m_device->unplug(KeyboardLink::Cable);
        m_device->unplug(KeyboardLink::Receiver);
        if (m_stateFile.empty() || !m_saveOnExit)
            return;
        const auto& model = m_device->model();
        if (const auto saved = saveState(model, m_stateFile, m_device->memory()); !saved)
            std::fprintf(stderr, "%s: the emulated %s's state was not saved: %s\n",
                         m_program.c_str(), std::string(model.name).c_str(),
                         saved.error().message.c_str());
    }

    // A missing file is a new device. A corrupt one is reported, the factory state used, and
    // the file left alone so that nothing in it is lost.
    void load()
    {
        if (m_stateFile.empty())
            return;
        auto memory = loadState(m_device->model(), m_stateFile);
        if (memory) {
            m_device->setMemory(*memory);
        } else if (memory.error().code != platform::Error::Code::NotFound) {
            std::fprintf(stderr,
                         "%s: %s; the emulated %s starts from its factory state "
                         "and the file is left as it is\n",
                         m_program.c_str(), memory.error().message.c_str(),
                         std::string(m_device->model().name).c_str());
            m_saveOnExit = false;
        }
    }

    bool plug(KeyboardLink link) override
    {
        m_device->plug(link);
        return true;
    }
    bool unplug(KeyboardLink link) override
    {
        m_device->unplug(link);
        return true;
    }

    platform::Result<std::string> control(const std::string& line) override
    {
        return m_control.run(line);
    }

private:
    std::string m_program;
    std::string m_stateFile;
    bool m_saveOnExit = true;
    std::unique_ptr<EmulatedDevice> m_device;
    Control m_control{*m_device, {}};
};

// The devices of a halvek-devsim server are plugged through its control lines.
class SocketSimulation final : public Simulation {
public:
    explicit SocketSimulation(std::filesystem::path socket) : m_socket(std::move(socket)) {}
    ~SocketSimulation() override { hid::sim::useDeviceServer({}); }

    bool plug(KeyboardLink link) override
    {
        return control(std::string("plug ") + linkWord(link)).hasValue();
    }
    bool unplug(KeyboardLink link) override
    {
        return control(std::string("unplug ") + linkWord(link)).hasValue();
    }
    platform::Result<std::string> control(const std::string& line) override
    {
        return hid::sim::sendControl(m_socket, line);
    }
    std::optional<std::string> absence() override
    {
        if (const auto reached = hid::sim::reachDeviceServer(m_socket); !reached)
            return reached.error().message;
        return std::nullopt;
    }

private:
    std::filesystem::path m_socket;
};

std::unique_ptr<EmulatedDevice> emulatedDevice(const std::string& kind)
{
    if (kind == "mouse")
        return std::make_unique<Mouse>();
    return std::make_unique<Keyboard>();
}

} // namespace

std::optional<KeyboardLink> linkNamed(std::string_view name)
{
    if (name == "cable")
        return KeyboardLink::Cable;
    if (name == "receiver")
        return KeyboardLink::Receiver;
    return std::nullopt;
}

std::unique_ptr<Simulation> attachSimulation(std::string_view program, const std::string& mode,
                                             const std::string& stateFile, bool& ok,
                                             const std::string& device)
{
    ok = true;
    const std::string name(program);
    if (mode.empty())
        return nullptr;
    if (mode == "socket") {
        if (!stateFile.empty())
            std::fprintf(stderr,
                         "%s: --sim-state is for the in-process device; halvek-devsim "
                         "keeps its own\n",
                         name.c_str());
        const auto socket = hid::sim::deviceServerSocket();
        if (!socket) {
            std::fprintf(stderr, "%s: %s\n", name.c_str(), socket.error().message.c_str());
            ok = false;
            return nullptr;
        }
        hid::sim::useDeviceServer(*socket);
        return std::make_unique<SocketSimulation>(*socket);
    }
    if (mode != "both" && mode != "cable" && mode != "receiver") {
        std::fprintf(stderr, "%s: unknown --simulate mode '%s' (both, cable, receiver or socket)\n",
                     name.c_str(), mode.c_str());
        ok = false;
        return nullptr;
    }
    auto simulation = std::make_unique<DeviceSimulation>(name, emulatedDevice(device), stateFile);
    simulation->load();
    if (mode == "both" || mode == "cable")
        simulation->plug(KeyboardLink::Cable);
    if (mode == "both" || mode == "receiver")
        simulation->plug(KeyboardLink::Receiver);
    return simulation;
}

} // namespace devsim
