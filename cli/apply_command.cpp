#include "command_registry.h"
#include "device_model_factory.h"
#include "keyboard_session.h"
#include "profile_store.h"

#include "device/model/profile_apply.h"
#include "device/model/usb_device_model.h"

#include <json/json.h>

#include <chrono>
#include <cstdio>

namespace {

constexpr const char* kApplyUsage =
    R"(Usage: halvekctl [--simulate[=MODE]] [--trace] apply [OPTIONS]

Writes the selected profile to the device the way the program does when the device
arrives: the full read, the profile, then macros, key map, slot record, custom colours
and lighting. Each step is printed with its status, the request frames it sent and the
time it took. The profile file is not changed.

Options:
)";

constexpr const char* kStateUsage =
    R"(Usage: halvekctl [--simulate[=MODE]] [--trace] state [OPTIONS]

Reads the device's active settings back into the selected profile, saves it, and prints
every value that changed ("nothing changed" when none did). On failure the profile file
is left as it was; a save that fails exits 1 after the values read.

Options:
)";

void printStep(const model::StepReport& step)
{
    std::printf("%-15s %-28s %4llu frames %8.1f ms%s%s\n", step.name.c_str(),
                step.skipped ? "skipped" : protocol::describe(step.status).c_str(),
                static_cast<unsigned long long>(step.frames), step.took.count(),
                step.detail.empty() ? "" : "  ", step.detail.c_str());
}

struct Prepared {
    std::unique_ptr<model::UsbDeviceModel> device;
    std::optional<cli::DeviceStore> store;
};

// The store options and no others; the device object for them.
std::optional<Prepared> prepare(const std::vector<std::string>& arguments, const char* name,
                                int& status)
{
    std::vector<std::string> args = arguments;
    Prepared prepared;
    prepared.store = cli::takeStoreOptions(args);
    if (!prepared.store) {
        status = 2;
        return std::nullopt;
    }
    if (!args.empty()) {
        status = cli::usage(std::string(name) + " takes no argument '" + args[0] + "'");
        return std::nullopt;
    }
    prepared.device = cli::makeDeviceModel(*prepared.store, name);
    if (!prepared.device) {
        status = 1;
        return std::nullopt;
    }
    return prepared;
}

int runApply(const cli::GlobalOptions& options, const std::vector<std::string>& arguments)
{
    int status = 0;
    auto prepared = prepare(arguments, "apply", status);
    if (!prepared)
        return status;
    model::UsbDeviceModel& device = *prepared->device;
    // The total is the clock's, from finding the device to its links closed: time spent waiting
    // for the device, its server or a write it holds shows there, not only the steps' own.
    const auto started = std::chrono::steady_clock::now();
    cli::KeyboardSession session(options, "apply", device);
    if (!session.open())
        return session.exitStatus();
    const model::ApplyReport report = model::reapplyOnAttach(device, model::AfterApply::Nothing);
    const bool cableRefused = session.hasRefusedLink() && session.onReceiver();
    session.close();
    session.flushTrace();
    std::uint64_t frames = 0;
    for (const model::StepReport& step : report.steps) {
        printStep(step);
        frames += step.frames;
    }
    const std::chrono::duration<double, std::milli> total =
        std::chrono::steady_clock::now() - started;
    std::printf("%-15s %-28s %4llu frames %8.1f ms\n", "total", "",
                static_cast<unsigned long long>(frames), total.count());
    if (const model::StepReport* failed = report.firstFailure()) {
        std::fprintf(stderr, "halvekctl apply: %s: %s failed: %s\n",
                     prepared->store->deviceName.c_str(), failed->name.c_str(),
                     failed->detail.c_str());
        return 1;
    }
    if (cableRefused) {
        // What only the cable carries is not on the device, though every step went well.
        std::fprintf(stderr,
                     "halvekctl apply: %s: written through the receiver, not the cable it may "
                     "not open: what only the cable carries was not written\n",
                     prepared->store->deviceName.c_str());
        return 1;
    }
    return 0;
}

// Every leaf of `after` that differs from `before`, as "path: old -> new".
void collectChanges(const Json::Value& before, const Json::Value& after, const std::string& path,
                    std::vector<std::string>& changes)
{
    if (after.isObject() && before.isObject()) {
        for (const auto& name : after.getMemberNames())
            collectChanges(before[name], after[name], path.empty() ? name : path + "." + name,
                           changes);
        return;
    }
    if (after.isArray() && before.isArray() && after.size() == before.size()) {
        for (Json::ArrayIndex i = 0; i < after.size(); ++i)
            collectChanges(before[i], after[i], path + "[" + std::to_string(i) + "]", changes);
        return;
    }
    if (before == after)
        return;
    Json::StreamWriterBuilder writer;
    writer["indentation"] = "";
    changes.push_back(path + ": " + Json::writeString(writer, before) + " -> " +
                      Json::writeString(writer, after));
}

int runState(const cli::GlobalOptions& options, const std::vector<std::string>& arguments)
{
    int status = 0;
    auto prepared = prepare(arguments, "state", status);
    if (!prepared)
        return status;
    model::UsbDeviceModel& device = *prepared->device;
    profile::CBasicProfiledata* record = device.profileRecord();
    if (record == nullptr)
        return cli::refuse(prepared->store->deviceName + " keeps no state to read");
    cli::KeyboardSession session(options, "state", device);
    if (!session.open())
        return session.exitStatus();
    if (device.LoadProfile() != model::ProfileResult::Ok) {
        std::fprintf(stderr, "halvekctl state: %s: the selected profile could not be loaded\n",
                     prepared->store->deviceName.c_str());
        return 1;
    }
    const Json::Value before = record->deviceData();
    const protocol::Status read = device.ReadDeviceState();
    session.flushTrace();
    if (read != protocol::Status::Ok) {
        std::fprintf(stderr, "halvekctl state: %s: reading the slot record failed: %s\n",
                     prepared->store->deviceName.c_str(), protocol::describe(read).c_str());
        return 1;
    }
    std::vector<std::string> changes;
    collectChanges(before, record->deviceData(), "", changes);
    if (changes.empty())
        std::puts("nothing changed");
    for (const std::string& change : changes)
        std::printf("%s\n", change.c_str());
    // What was read is shown either way; only the file says whether it was kept.
    if (const model::ProfileResult saved = device.readBackSave();
        saved != model::ProfileResult::Ok) {
        std::fprintf(stderr, "halvekctl state: %s: the settings read were not saved: %s\n",
                     prepared->store->deviceName.c_str(), model::describe(saved).c_str());
        return 1;
    }
    return 0;
}

[[maybe_unused]] const bool applyRegistered = cli::registerCommand({
    "apply",
    "write the selected profile to the device, step by step",
    std::string(kApplyUsage) + cli::kStoreOptionsHelp,
    runApply,
});

[[maybe_unused]] const bool stateRegistered = cli::registerCommand({
    "state",
    "read the device's settings back into the selected profile",
    std::string(kStateUsage) + cli::kStoreOptionsHelp,
    runState,
});

} // namespace
