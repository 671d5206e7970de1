#include "command_registry.h"
#include "profile_store.h"

#include "platform/text.h"
#include "profile/key_codes.h"
#include "profile/key_function_text.h"
#include "profile/key_page_state.h"
#include "profile/macro_library.h"

#include <charconv>
#include <cstdio>

namespace {

constexpr const char* kUsage = R"(Usage: halvekctl key [OPTIONS] list
       halvekctl key [OPTIONS] set POSITION FUNCTION

list shows every key position of the selected profile: position, current and
default code in hex, and the text id of the key's label. set assigns FUNCTION to
the key at POSITION:
  default | none | a key with at most one modifier (Esc, Ctrl+C, Shift+F5, Shift)
  mouse:left|right|middle|back|forward   media:NAME (play, vol_add, web_search, ...)
  system:power|sleep|wake   macro:NAME[:repeat=N|:mode=0..3]   combo:INDEX (0-10)

Options:
)";

std::string labelText(const profile::KeyAssignment& key, std::size_t position,
                      const std::vector<std::wstring>& macros, bool keyboard)
{
    const profile::LabelText label = profile::KeyLabel(key.current, macros);
    switch (label.kind) {
    case profile::LabelText::Kind::NameIds: {
        std::string text;
        // Appended piece by piece: GCC 12 at -O3 reports a false -Wrestrict on chained +.
        for (const auto& id : label.nameIds) {
            if (!text.empty())
                text += '+';
            text += platform::toUtf8(id);
        }
        return text;
    }
    case profile::LabelText::Kind::Literal:
        return platform::toUtf8(label.literal);
    case profile::LabelText::Kind::Unchanged:
        break;
    }
    // The key keeps the label it has: its own name.
    const auto own = keyboard ? profile::keyboardOwnNameId(position) : std::wstring_view();
    return own.empty() ? "-" : platform::toUtf8(own);
}

int run(const cli::GlobalOptions&, const std::vector<std::string>& arguments)
{
    std::vector<std::string> args = arguments;
    const auto store = cli::takeStoreOptions(args);
    if (!store)
        return 2;
    if (args.empty() || (args[0] == "list" && args.size() != 1) ||
        (args[0] == "set" && args.size() != 3) || (args[0] != "list" && args[0] != "set"))
        return cli::usage("key takes 'list' or 'set POSITION FUNCTION'");

    profile::CBasicProfiledata record;
    if (!cli::loadSelectedProfile(*store, record))
        return 1;
    std::vector<profile::KeyAssignment> keys = record.LoadKeyList();
    profile::MacroLibrary macros(store->folder,
                                 profile::macroIndexFileName(cli::storedKind(*store)));
    macros.Load();
    cli::reportNotices(macros.setAsideNotices());
    const bool keyboard = store->kind == detect::DeviceKind::Keyboard;

    if (args[0] == "list") {
        for (std::size_t i = 0; i < keys.size(); ++i)
            std::printf("%3zu  0x%06X  0x%06X  %s\n", i, toInteger(keys[i].current),
                        toInteger(keys[i].defaultCode),
                        labelText(keys[i], i, macros.names(), keyboard).c_str());
        return 0;
    }
    if (keys.empty())
        return cli::refuse("the " + store->deviceName + " profile has no key list");
    std::size_t position = 0;
    const std::string& text = args[1];
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), position);
    if (error != std::errc() || end != text.data() + text.size() || position >= keys.size())
        return cli::refuse("no key position '" + text + "' (0 to " +
                           std::to_string(keys.size() - 1) + ")");
    if (!macros.isReadable() && args[2].rfind("macro:", 0) == 0)
        return cli::refuse("the macro library cannot be read");
    const auto parsed = profile::parseKeyFunction(args[2], keys[position], macros.names());
    if (!parsed.ok)
        return cli::refuse(parsed.error);
    keys[position].current = parsed.code;
    keys[position].current.keyIndex = static_cast<std::uint16_t>(position);
    record.StoreKeyList(keys);
    if (record.SaveProfile() != 0)
        return cli::refuse("the profile file could not be written");
    std::printf("%3zu  0x%06X\n", position, toInteger(parsed.code));
    return 0;
}

[[maybe_unused]] const bool registered = cli::registerCommand({
    "key",
    "show and assign key functions of the selected profile",
    std::string(kUsage) + cli::kStoreOptionsHelp,
    run,
});

} // namespace
