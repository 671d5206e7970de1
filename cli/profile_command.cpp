#include "command_registry.h"
#include "profile_store.h"

#include "pages/models/profile_panel_model.h"
#include "platform/text.h"
#include "profile/json_file.h"

#include <charconv>
#include <cstdio>

namespace {

constexpr const char* kUsage = R"(Usage: halvekctl profile [OPTIONS] list|add|copy|reset|delete
       halvekctl profile [OPTIONS] rename NAME | select INDEX | import FILE | export FILE

Works on the profiles of one device kind in the same folder as the GUI, with the
rules of the GUI's profile panel. The list shows the stored selection with '*'; add,
copy and import append a profile (add stops at 50 profiles); rename, copy, reset,
delete and export act on the selected one.

Options:
)";

void printList(const pages::ProfilePanelModel& panel)
{
    for (std::size_t i = 0; i < panel.items().size(); ++i) {
        const bool selected = static_cast<int>(i) == panel.storedSelection();
        std::printf("%c %2zu  %s\n", selected ? '*' : ' ', i,
                    platform::toUtf8(panel.items()[i]).c_str());
    }
}

int refuse(const pages::PanelMessage& message)
{
    return cli::refuse(platform::toUtf8(message.englishText()));
}

// The panel's outcome as an exit status, printing its message.
int finish(const pages::PanelOutcome& outcome)
{
    return outcome.message ? refuse(*outcome.message) : 0;
}

int added(const pages::ProfilePanelModel& panel, const pages::PanelOutcome& outcome)
{
    if (outcome.message)
        return refuse(*outcome.message);
    std::printf("added %s\n", platform::toUtf8(panel.items().back()).c_str());
    return 0;
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

    pages::ProfilePanelModel panel(store->kind, store->folder, store->factoryFile);
    const auto problem = panel.initialize();
    const std::size_t reported = panel.list().setAsideNotices().size();
    cli::reportNotices(panel.list().setAsideNotices());
    if (problem)
        return refuse(*problem);
    if (action == "list") {
        printList(panel);
        return 0;
    }
    if (action == "add")
        return added(panel, panel.add());
    if (action == "copy")
        return added(panel, panel.copy());
    if (action == "import")
        return added(panel, panel.importFrom(args[1]));
    if (action == "rename") {
        if (args[1].empty())
            return refuse(pages::ProfilePanelModel::blankNameMessage());
        const std::wstring name = platform::fromUtf8(args[1]);
        if (name.size() > profile::kMaxProfileNameLength)
            return cli::refuse("a profile name has at most " +
                               std::to_string(profile::kMaxProfileNameLength) + " characters");
        return finish(panel.rename(name));
    }
    if (action == "select") {
        int index = -1;
        const auto [end, error] =
            std::from_chars(args[1].data(), args[1].data() + args[1].size(), index);
        if (error != std::errc() || end != args[1].data() + args[1].size() || index < 0 ||
            index >= static_cast<int>(panel.items().size()))
            return cli::refuse("no profile at index '" + args[1] + "'");
        return finish(panel.select(index));
    }
    if (action == "export")
        return finish(panel.exportTo(args[1]));
    if (action == "reset") {
        const pages::PanelOutcome outcome = panel.reset();
        cli::reportNotices(panel.list().setAsideNotices(), reported);
        return finish(outcome);
    }
    if (action == "delete")
        return finish(panel.remove());
    return cli::usage("unknown profile action '" + action + "'");
}

[[maybe_unused]] const bool registered = cli::registerCommand({
    "profile",
    "list and change the stored profiles",
    std::string(kUsage) + cli::kStoreOptionsHelp,
    run,
});

} // namespace
