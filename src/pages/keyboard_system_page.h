#pragma once

// The keyboard's system settings page inside the keyboard's device page: binds its option,
// slider and label controls once and shows a settings record. The record and what a change
// does live in pages/models/system_settings_model.h.

#include "pages/control_binding.h"
#include "pages/models/page_offers.h"
#include "pages/models/system_settings_model.h"
#include "profile/system_stages.h"

#include <array>
#include <string>

class COptionUI;
class CSliderUI;

namespace pages {

class KeyboardSystemPage {
public:
    // `devicePage` is the keyboard's device object control; the page's controls are found
    // below it now, once.
    explicit KeyboardSystemPage(CControlUI* devicePage);

    void SetPollingRate(int index);
    void SetRepeatDelay(int index);
    void ShowRepeatDelay(int index);
    void SetRepeatRate(int value);
    int GetRepeatRate() const;
    void SetWinLock(bool on);
    void SetWFlag(bool on);
    void SetSixKeyFlag(bool on);
    bool GetWinLock() const;
    bool GetWFlag() const;
    bool GetSixKeyFlag() const;
    void ClearRepeatInput();
    void SetRepeatInputTip();
    // The texts put together from language texts, again in the current language.
    void RefreshTexts();
    // Every control from the record.
    void Show(const profile::KeyboardSystemStages& stages);
    // Offers only what the device has; a refused control says why in its tooltip.
    void ShowOffers(const SystemPageOffers& offers);

private:
    struct Controls {
        std::array<OfferedControl, kPollingRateOptions> pollingRate;
        std::array<OfferedControl, kRepeatDelayOptions> repeatDelay;
        OfferedControl repeatRate;
        OfferedControl winLock;
        OfferedControl wFlag;
        OfferedControl sixKey;
        CControlUI* delayLabel = nullptr;
        CControlUI* repeatInput = nullptr;
        CControlUI* textLookup = nullptr;
    };

    // The display text of a language text id.
    std::wstring textOf(std::wstring_view id) const;

    Controls m_controls;
};

} // namespace pages
