#include "command_registry.h"
#include "profile_store.h"

#include "platform/text.h"
#include "profile/json_file.h"

#include <charconv>
#include <cstdio>

namespace {

constexpr const char* kUsage = R"(Usage: halvekctl profile [OPTIONS] list|add|copy|reset|delete
       halvekctl profile [OPTIONS] rename NAME | select INDEX | import FILE | export FILE

Works on the profiles of one device kind in the same folder as the GUI. The list
shows the stored selection with '*'; add, copy and import append a profile (add
stops at 50 profiles); rename, copy, reset, delete and export act on the selected one.

Options:
)";

void printList(const profile::ProfileList& list)
{
    for (std::size_t i = 0; i < list.names().size(); ++i) {
        const bool selected = static_cast<int>(i) == list.storedSelection();
        std::printf("%c %2zu  %s\n", selected ? '*' : ' ', i,
                    platform::toUtf8(list.names()[i]).c_str());
    }
}

int run(const cli::GlobalOptions&, const std::vector<std::string>& arguments)
{
    std::vector<std::string> args = arguments;
    const auto store = cli::takeStoreOptions(args);
    if (!store)
        return 2;
    if (args.empty())
        return cli::usage("profile needs an action");
    const std::string action = args[0];
    const bool takesValue =
        action == "rename" || action == "select" || action == "import" || action == "export";
    if (args.size() != (takesValue ? 2u : 1u))
        return cli::usage("wrong number of arguments for profile " + action);

    profile::ProfileList list;
    cli::openProfiles(*store, list);
    if (action == "list") {
        printList(list);
        return 0;
    }
    if (action == "add") {
        if (!list.AddProfile())
            return cli::refuse("there are 50 profiles already; copy or import to make more");
        std::printf("added %s\n", platform::toUtf8(list.names().back()).c_str());
        return 0;
    }
    if (action == "copy") {
        if (!list.CopyProfile())
            return cli::refuse("the profile list could not be changed");
        std::printf("added %s\n", platform::toUtf8(list.names().back()).c_str());
        return 0;
    }
    if (action == "rename") {
        switch (list.RenameProfile(platform::fromUtf8(args[1]))) {
        case profile::ProfileList::NameBlank:
            return cli::refuse("a profile name cannot be blank");
        case profile::ProfileList::NameTaken:
            return cli::refuse("another profile is named '" + args[1] + "'");
        default:
            return 0;
        }
    }
    if (action == "select") {
        int index = -1;
        const auto [end, error] =
            std::from_chars(args[1].data(), args[1].data() + args[1].size(), index);
        if (error != std::errc() || end != args[1].data() + args[1].size() || index < 0 ||
            index >= static_cast<int>(list.names().size()))
            return cli::refuse("no profile at index '" + args[1] + "'");
        list.SelectProfile(index);
        return 0;
    }
    if (action == "import") {
        if (!profile::ProfileList::isImportable(profile::CJsonFile().ReadJson(args[1])))
            return cli::refuse("'" + args[1] +
                               "' is not a profile file (JSON with profilename and profileUUID)");
        if (!list.ImportProfile(args[1]))
            return cli::refuse("the profile list could not be changed");
        std::printf("added %s\n", platform::toUtf8(list.names().back()).c_str());
        return 0;
    }
    if (action == "export")
        return list.ExportProfile(args[1]) ? 0 : cli::refuse("could not write '" + args[1] + "'");
    if (action == "reset")
        return list.ResetProfile() ? 0 : cli::refuse("no factory data to reset the profile from");
    if (action == "delete") {
        if (list.names().size() < 2)
            return cli::refuse("the last profile cannot be deleted");
        return list.DeleteProfile() ? 0 : cli::refuse("the profile list could not be changed");
    }
    return cli::usage("unknown profile action '" + action + "'");
}

[[maybe_unused]] const bool registered = cli::registerCommand({
    "profile",
    "list and change the stored profiles",
    std::string(kUsage) + cli::kStoreOptionsHelp,
    run,
});

} // namespace
