#include "devsim/simulation.h"

#include "device/hid/sim/socket_backend.h"
#include "devsim/state_file.h"

#include <cstdio>

namespace devsim {
namespace {

class KeyboardSimulation final : public Simulation {
public:
    KeyboardSimulation(std::string program, std::string stateFile)
        : m_program(std::move(program)), m_stateFile(std::move(stateFile))
    {
    }

    ~KeyboardSimulation() override
    {
        m_keyboard.unplug(KeyboardLink::Cable);
        m_keyboard.unplug(KeyboardLink::Receiver);
        if (m_stateFile.empty() || !m_saveOnExit)
            return;
        if (const auto saved = saveKeyboardState(m_stateFile, m_keyboard.memory()); !saved)
            std::fprintf(stderr, "%s: the emulated keyboard's state was not saved: %s\n",
                         m_program.c_str(), saved.error().message.c_str());
    }

    // A missing file is a new device. A corrupt one is reported, the factory state used, and
    // the file left alone so that nothing in it is lost.
    void load()
    {
        if (m_stateFile.empty())
            return;
        auto memory = loadKeyboardState(m_stateFile);
        if (memory) {
            m_keyboard.setMemory(*memory);
        } else if (memory.error().code != platform::Error::Code::NotFound) {
            std::fprintf(stderr,
                         "%s: %s; the emulated keyboard starts from its factory state "
                         "and the file is left as it is\n",
                         m_program.c_str(), memory.error().message.c_str());
            m_saveOnExit = false;
        }
    }

    bool plug(KeyboardLink link) override
    {
        m_keyboard.plug(link);
        return true;
    }
    bool unplug(KeyboardLink link) override
    {
        m_keyboard.unplug(link);
        return true;
    }

private:
    std::string m_program;
    std::string m_stateFile;
    bool m_saveOnExit = true;
    Keyboard m_keyboard;
};

class SocketSimulation final : public Simulation {
public:
    ~SocketSimulation() override { hid::sim::useDeviceServer({}); }
    bool plug(KeyboardLink) override { return false; }
    bool unplug(KeyboardLink) override { return false; }
};

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
                                             const std::string& stateFile, bool& ok)
{
    ok = true;
    const std::string name(program);
    if (mode.empty())
        return nullptr;
    if (mode == "socket") {
        if (!stateFile.empty())
            std::fprintf(stderr,
                         "%s: --sim-state is for the in-process keyboard; halvek-devsim "
                         "keeps its own\n",
                         name.c_str());
        const auto socket = hid::sim::deviceServerSocket();
        if (!socket) {
            std::fprintf(stderr, "%s: %s\n", name.c_str(), socket.error().message.c_str());
            ok = false;
            return nullptr;
        }
        hid::sim::useDeviceServer(*socket);
        return std::make_unique<SocketSimulation>();
    }
    if (mode != "both" && mode != "cable" && mode != "receiver") {
        std::fprintf(stderr, "%s: unknown --simulate mode '%s' (both, cable, receiver or socket)\n",
                     name.c_str(), mode.c_str());
        ok = false;
        return nullptr;
    }
    auto simulation = std::make_unique<KeyboardSimulation>(name, stateFile);
    simulation->load();
    if (mode == "both" || mode == "cable")
        simulation->plug(KeyboardLink::Cable);
    if (mode == "both" || mode == "receiver")
        simulation->plug(KeyboardLink::Receiver);
    return simulation;
}

} // namespace devsim
