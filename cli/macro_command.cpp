#include "command_registry.h"
#include "profile_store.h"

#include "platform/folders.h"
#include "platform/text.h"
#include "profile/key_codes.h"
#include "profile/macro_library.h"
#include "profile/macro_references.h"

#include <cstdio>

namespace {

constexpr const char* kUsage = R"(Usage: halvekctl macro [OPTIONS] list | add
       halvekctl macro [OPTIONS] show NAME | rename NAME NEW | delete NAME
       halvekctl macro [OPTIONS] import FILE | export NAME FILE

Works on the macro library of one device kind. Deleting a macro gives keys that
used it their default function back and renumbers keys that use later macros, in
every profile of the device. A library holds at most 50 macros.

Options:
)";

const char* eventKind(std::uint8_t type)
{
    switch (type) {
    case 1:
        return "mouse";
    case 4:
        return "move-x";
    case 5:
        return "move-y";
    case 9:
        return "modifier";
    case 10:
        return "key";
    default:
        return "other";
    }
}

int run(const cli::GlobalOptions&, const std::vector<std::string>& arguments)
{
    std::vector<std::string> args = arguments;
    const auto store = cli::takeStoreOptions(args);
    if (!store)
        return 2;
    if (args.empty())
        return cli::usage("macro needs an action");
    const std::string action = args[0];
    const std::size_t wanted = action == "list" || action == "add"                            ? 1
                               : action == "show" || action == "delete" || action == "import" ? 2
                                                                                              : 3;
    if (args.size() != wanted)
        return cli::usage("wrong number of arguments for macro " + action);

    profile::MacroLibrary library(store->folder,
                                  profile::macroIndexFileName(cli::storedKind(*store)));
    library.Load();
    cli::reportNotices(library.setAsideNotices());
    if (!library.isReadable() && action != "list")
        return cli::refuse("the macro library " + library.indexPath().string() +
                           " exists but cannot be read");
    auto byName = [&](const std::string& name) { return library.find(platform::fromUtf8(name)); };

    if (action == "list") {
        for (std::size_t i = 0; i < library.count(); ++i)
            std::printf("%2zu  %s  %zu events\n", i, platform::toUtf8(library.names()[i]).c_str(),
                        library.LoadEvents(static_cast<int>(i)).size());
        return 0;
    }
    if (action == "add" || action == "import") {
        (void)platform::createFolders(store->folder); // the library's own error follows
        if (library.count() >= profile::kMaxMacros)
            return cli::refuse("the library holds 50 macros already");
        const std::wstring name =
            action == "add" ? library.NewMacro() : library.ImportMacro(args[1]);
        if (name.empty())
            return cli::refuse(action == "add" ? "the macro library could not be written"
                                               : "'" + args[1] + "' is not a readable macro file");
        std::printf("added %s\n", platform::toUtf8(name).c_str());
        return 0;
    }
    const int index = byName(args[1]);
    if (index < 0)
        return cli::refuse("no macro named '" + args[1] + "'");
    if (action == "show") {
        if (const auto rows = library.LoadMacro(index); !rows)
            return cli::refuse("macro '" + args[1] + "' cannot be shown: " + rows.error().message);
        for (const auto& event : library.LoadEvents(index))
            std::printf("%-8s %-4s 0x%02X  delay %u\n", eventKind(event.type),
                        event.down ? "down" : "up", event.button, event.delay);
        return 0;
    }
    if (action == "export")
        return library.ExportMacro(index, args[2])
                   ? 0
                   : cli::refuse("macro '" + args[1] + "' has no saved events to export");
    if (action == "rename") {
        using Result = profile::MacroLibrary::RenameResult;
        const std::wstring name = platform::fromUtf8(args[2]);
        if (name.size() > profile::kMaxMacroNameLength)
            return cli::refuse("a macro name has at most " +
                               std::to_string(profile::kMaxMacroNameLength) + " characters");
        switch (library.RenameMacro(index, name)) {
        case Result::Renamed:
            return 0;
        case Result::Blank:
            return cli::refuse("a macro name cannot be blank");
        case Result::Taken:
            return cli::refuse("a macro named '" + args[2] + "' exists already");
        default:
            return cli::refuse("the macro library could not be written");
        }
    }
    if (action == "delete") {
        // The profiles first, as the editor does: a key never names a macro that moved.
        profile::ProfileList list;
        cli::openProfiles(*store, list);
        // Keys in profiles that cannot be visited would point at the wrong macros after.
        if (!list.isReadable())
            return cli::refuse("the profile list cannot be read, so no macro is deleted");
        profile::CBasicProfiledata scratch;
        scratch.SetDefaultPath(store->factoryFile);
        const int changed = profile::renumberMacroInProfiles(list, scratch, index, {});
        if (!library.DeleteMacro(index))
            return cli::refuse("the macro library could not be written");
        std::printf("deleted %s; %d profile(s) updated\n", args[1].c_str(), changed);
        return 0;
    }
    return cli::usage("unknown macro action '" + action + "'");
}

[[maybe_unused]] const bool registered = cli::registerCommand({
    "macro",
    "list and change the macro library",
    std::string(kUsage) + cli::kStoreOptionsHelp,
    run,
});

} // namespace
