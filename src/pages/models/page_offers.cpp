#include "pages/models/page_offers.h"

#include <initializer_list>
#include <utility>

namespace pages {
namespace {

using model::Capability;

constexpr Offer kNoProfile{false, L"offer_no_profile_tip", L"This device keeps no profile."};
constexpr Offer kNoKeyMap{false, L"offer_no_key_map_tip",
                          L"This device cannot store key assignments."};
constexpr Offer kNoMacros{false, L"offer_no_macros_tip", L"This device has no macro memory."};
constexpr Offer kNoSetting{false, L"offer_no_setting_tip",
                           L"This device does not have this setting."};

// The first refusal of the parts the control needs, in the order given.
Offer needs(const model::Capabilities& device,
            std::initializer_list<std::pair<Capability, Offer>> parts)
{
    for (const auto& [capability, refusal] : parts) {
        if (!device.has(capability))
            return refusal;
    }
    return {};
}

} // namespace

KeyPageOffers keyPageOffers(const model::Capabilities& device)
{
    KeyPageOffers offers;
    offers.keys =
        needs(device, {{Capability::Profile, kNoProfile}, {Capability::KeyMap, kNoKeyMap}});
    offers.macro = needs(device, {{Capability::Profile, kNoProfile},
                                  {Capability::KeyMap, kNoKeyMap},
                                  {Capability::Macros, kNoMacros}});
    return offers;
}

MacroPageOffers macroPageOffers(const model::Capabilities& device)
{
    // The library itself is a file and can be edited on any device.
    return {needs(device, {{Capability::Macros, kNoMacros}, {Capability::KeyMap, kNoKeyMap}})};
}

SystemPageOffers systemPageOffers(const model::Capabilities& device)
{
    SystemPageOffers offers;
    offers.profileFields =
        needs(device, {{Capability::Profile, kNoProfile}, {Capability::KeyMap, kNoSetting}});
    offers.deviceFields =
        needs(device, {{Capability::Profile, kNoProfile}, {Capability::SlotRecord, kNoSetting}});
    return offers;
}

DpiPageOffers dpiPageOffers(const model::Capabilities& device)
{
    return {
        needs(device, {{Capability::Profile, kNoProfile}, {Capability::SlotRecord, kNoSetting}})};
}

} // namespace pages
