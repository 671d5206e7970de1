#pragma once

// The mouse's DPI and report rate page, installed as the window's handler of the mouse's
// controls. A thin view over MouseDpiModel: each edit is stored, written to the mouse and read
// back, and the page then shows what the mouse holds.

#include "device/model/mouse_conversions.h"
#include "pages/control_binding.h"
#include "pages/models/mouse_dpi_model.h"
#include "pages/models/page_offers.h"
#include "pages/page_handlers.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

class CTessaryMouseDevice;

namespace pages {

// The DPI page's controls of one mouse, bound once below its device page.
class MouseDpiControls {
public:
    explicit MouseDpiControls(CControlUI* mousePage);

    // Offers only what the mouse has; a refused control says why in its tooltip.
    void showOffers(const DpiPageOffers& offers);
    // The stages and report rate the profile holds.
    void show(const MouseDpiModel& dpi);
    // The sliders and edits range over what the sensor can do.
    void showRanges(const model::DpiScale& scale);
    // While a slider moves, its number follows.
    void showSliderDpi(int stage, std::int64_t dpi);
    // The outcome line, in the current language; the message's ids and English must be
    // static texts, since it is kept to be shown again after a language switch.
    void showStatus(const PanelMessage& message);
    void refreshTexts();

private:
    struct Stage {
        OfferedControl enable;
        OfferedControl select;
        OfferedControl slider;
        OfferedControl edit;
        OfferedControl colour;
    };

    std::array<Stage, kDpiStageCount> m_stages;
    std::array<OfferedControl, kReportRateOptions> m_reportRates;
    CControlUI* m_status = nullptr;
    std::optional<PanelMessage> m_statusShown;
    DpiPageOffers m_offers;
};

void installMouseDpiPage(shell::PageHost& window, const PageHooks& hooks);

// Shows the mouse's stages and report rate on its page (after a start, a read or a switch).
void showMouseDpiPage(CTessaryMouseDevice& mouse);

} // namespace pages
