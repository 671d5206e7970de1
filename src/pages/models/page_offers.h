#pragma once

// Which controls of the key, macro, system and DPI pages a device family can act on. A page
// offers only what the family has and says why in a disabled control's tooltip, instead of
// answering "not supported" after the click. UI-free: the pages and the tests read the same
// table.

#include "device/model/capabilities.h"

#include <string_view>

namespace pages {

struct Offer {
    bool enabled = true;
    std::wstring_view reasonId{}; // the tooltip's language text id while refused
    std::wstring_view english{};  // its English words, where the language file lacks the id
};

struct KeyPageOffers {
    Offer keys;  // a key's function applied to the profile's key list and written
    Offer macro; // the macro function: a key that plays a macro from the device's memory
};

struct MacroPageOffers {
    Offer write; // applying: the macro block and the key map written
};

struct SystemPageOffers {
    Offer deviceFields;  // polling rate and the flags: the slot record
    Offer profileFields; // repeat rate and delay: the profile only, for a device with keys
};

struct DpiPageOffers {
    Offer stages; // stages and report rate: the slot record, read back
};

[[nodiscard]] KeyPageOffers keyPageOffers(const model::Capabilities& device);
[[nodiscard]] MacroPageOffers macroPageOffers(const model::Capabilities& device);
[[nodiscard]] SystemPageOffers systemPageOffers(const model::Capabilities& device);
[[nodiscard]] DpiPageOffers dpiPageOffers(const model::Capabilities& device);

} // namespace pages
