#include "devsim/control.h"

#include "devsim/state_file.h"

#include <cstdio>
#include <sstream>
#include <vector>

namespace devsim {
namespace {

std::string error(const std::string& why)
{
    return "error: " + why + "\n";
}

std::optional<KeyboardLink> linkNamed(const std::string& name)
{
    if (name == "cable")
        return KeyboardLink::Cable;
    if (name == "receiver")
        return KeyboardLink::Receiver;
    return std::nullopt;
}

// Decimal, or hexadecimal after 0x; nullopt past max or on anything else.
std::optional<unsigned long> number(const std::string& text, unsigned long max, int base = 0)
{
    if (text.empty())
        return std::nullopt;
    std::size_t used = 0;
    unsigned long value = 0;
    try {
        value = std::stoul(text, &used, base);
    } catch (const std::exception&) {
        return std::nullopt;
    }
    if (used != text.size() || value > max || text[0] == '-')
        return std::nullopt;
    return value;
}

std::string hexDump(std::span<const std::uint8_t> bytes)
{
    std::string out;
    char cell[24];
    std::size_t used = bytes.size();
    while (used > 0 && bytes[used - 1] == 0)
        --used;
    for (std::size_t i = 0; i < used; ++i) {
        if (i % 16 == 0) {
            std::snprintf(cell, sizeof cell, "%04zx:", i);
            out += cell;
        }
        std::snprintf(cell, sizeof cell, " %02x", bytes[i]);
        out += cell;
        if (i % 16 == 15 || i + 1 == used)
            out += '\n';
    }
    if (used < bytes.size())
        out += "(zeros up to " + std::to_string(bytes.size()) + " bytes)\n";
    return out;
}

} // namespace

Control::Control(EmulatedDevice& device, std::filesystem::path stateFile)
    : m_targets{{&device, std::move(stateFile)}}
{
}

Control::Control(std::vector<Target> targets) : m_targets(std::move(targets)) {}

std::string Control::help()
{
    return "plug cable|receiver      unplug cable|receiver\n"
           "sleep                    wake\n"
           "deny cable|receiver      allow cable|receiver  (opens refused; hidraw: from the next "
           "plug)\n"
           "hold on|off              writes wait, as on a device that takes no reports\n"
           "report USAGE             send a consumer usage (hex, e.g. 0401)\n"
           "profile N                the on-device profile switch to slot N (0-15)\n"
           "fault NAME [COUNT]       the next COUNT requests show the fault (default 1)\n"
           "fault clear              release                  (the held late replies)\n"
           "timing on|off            one report per direction per millisecond\n"
           "dump [AREA]              memory in hex: info layout ledmap keymap settings\n"
           "                         macros colours live power\n"
           "senders                  who sent each request since last asked: sender\n"
           "                         (one number per connection over the socket), command\n"
           "status                   save                     quit\n"
           "With two devices, start a line with keyboard or mouse to choose one (default:\n"
           "the first, the keyboard).\n"
           "faults: lost late wrong-echo wrong-echo-twice wrong-echo-twice-ff receiver-mark\n"
           "        status-ff status-fe unplug-before-reply unplug-mid-write\n"
           "        foreign-offset foreign-length\n";
}

std::string Control::run(const std::string& line)
{
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string word; in >> word;)
        words.push_back(word);
    if (words.empty())
        return {};
    if (words[0] == "quit") {
        m_quit = true;
        return "bye\n";
    }
    if (m_targets.empty())
        return error("no device");
    for (const auto& target : m_targets) {
        if (words[0] == target.device->model().name) {
            if (words.size() == 1)
                return error("what should the " + words[0] + " do? (try help)");
            words.erase(words.begin());
            return run(target, words);
        }
    }
    return run(m_targets.front(), words);
}

std::string Control::run(const Target& target, const std::vector<std::string>& words)
{
    EmulatedDevice& device = *target.device;
    const std::string& verb = words[0];
    const std::string argument = words.size() > 1 ? words[1] : std::string();

    if (verb == "help")
        return help();
    if (verb == "plug" || verb == "unplug") {
        const auto link = linkNamed(argument);
        if (!link)
            return error("say cable or receiver");
        if (verb == "plug")
            device.plug(*link);
        else
            device.unplug(*link);
        return verb + "ged " + argument + "\n";
    }
    if (verb == "deny" || verb == "allow") {
        const auto link = linkNamed(argument);
        if (!link)
            return error("say cable or receiver");
        auto& interfaces = device.interfaces(*link);
        interfaces.bootInterface().denyAccess(verb == "deny");
        interfaces.compositeInterface().denyAccess(verb == "deny");
        return "access to the " + argument + " " + (verb == "deny" ? "denied" : "allowed") + "\n";
    }
    if (verb == "hold") {
        if (argument != "on" && argument != "off")
            return error("hold on or off");
        for (const auto link : {KeyboardLink::Cable, KeyboardLink::Receiver})
            device.interfaces(link).compositeInterface().holdWrites(argument == "on");
        return argument == "on" ? "writes held\n" : "writes taken\n";
    }
    if (verb == "sleep" || verb == "wake") {
        device.setAsleep(verb == "sleep");
        return verb == "sleep" ? "asleep\n" : "awake\n";
    }
    if (verb == "report") {
        const auto usage = number(argument, 0xFFFF, 16);
        if (!usage)
            return error("report takes a 16-bit usage in hex");
        if (!device.sendConsumerUsage(static_cast<std::uint16_t>(*usage)))
            return error("no link can carry the report (unplugged, or asleep behind the "
                         "receiver)");
        return "sent " + argument + "\n";
    }
    if (verb == "profile") {
        const auto slot = number(argument, 15);
        if (!slot)
            return error("profile takes a slot 0-15");
        if (!device.switchProfile(static_cast<std::uint8_t>(*slot)))
            return "switched to slot " + argument + "; no link to tell the host\n";
        return "switched to slot " + argument + "\n";
    }
    if (verb == "fault") {
        if (argument == "clear") {
            device.clearFaults();
            return "faults cleared\n";
        }
        const auto fault = faultNamed(argument);
        if (!fault)
            return error("unknown fault '" + argument + "'");
        const auto count = words.size() > 2 ? number(words[2], 1000) : std::optional(1ul);
        if (!count)
            return error("fault count must be 0-1000");
        for (unsigned long i = 0; i < *count; ++i)
            device.injectFault(*fault);
        return "fault " + argument + " armed\n";
    }
    if (verb == "release") {
        device.releaseLateReplies();
        return "released\n";
    }
    if (verb == "timing") {
        if (argument != "on" && argument != "off")
            return error("timing on or off");
        device.setUsbTiming(argument == "on");
        return "USB timing " + argument + "\n";
    }
    if (verb == "dump") {
        const auto memory = device.memory();
        if (!argument.empty()) {
            const auto area = areaNamed(argument);
            if (!area)
                return error("unknown area '" + argument + "'");
            return hexDump(memory.area(*area));
        }
        std::string out;
        for (std::size_t i = 0; i < kAreaCount; ++i) {
            const auto area = static_cast<Area>(i);
            out += std::string(areaName(area)) + ":\n" + hexDump(memory.area(area));
        }
        return out;
    }
    if (verb == "senders") {
        std::string out;
        for (const auto& request : device.takeSenders()) {
            char line[16];
            std::snprintf(line, sizeof line, "%d %02x\n", request.sender, request.command);
            out += line;
        }
        return out;
    }
    if (verb == "status") {
        const auto plugged = [&](KeyboardLink link) {
            return device.isPlugged(link) ? "plugged" : "unplugged";
        };
        return std::string("cable ") + plugged(KeyboardLink::Cable) + ", receiver " +
               plugged(KeyboardLink::Receiver) + ", " + (device.isAsleep() ? "asleep" : "awake") +
               ", active slot " + std::to_string(device.memory().activeSlot()) + "\n";
    }
    if (verb == "save")
        return save(target);
    return error("unknown command '" + verb + "' (try help)");
}

std::string Control::save(const Target& target)
{
    if (target.stateFile.empty())
        return error("no state file (start with --state FILE)");
    const auto& device = *target.device;
    if (const auto saved = saveState(device.model(), target.stateFile, device.memory()); !saved)
        return error(saved.error().message);
    return "saved to " + target.stateFile.string() + "\n";
}

} // namespace devsim
