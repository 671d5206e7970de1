#pragma once

// The keyboard's system settings page inside the keyboard's device page: finds its option,
// slider and label controls by name and shows a settings record. The record and what a
// change does live in pages/models/system_settings_model.h.

#include "profile/system_stages.h"

class CControlUI;

namespace pages {

class KeyboardSystemPage {
public:
    // `devicePage` is the keyboard's device object control.
    explicit KeyboardSystemPage(CControlUI* devicePage) : m_page(devicePage) {}

    void SetPollingRate(int index);
    void SetRepeatDelay(int index);
    void ShowRepeatDelay(int index);
    void SetRepeatRate(int value);
    int GetRepeatRate();
    void SetWinLock(bool on);
    void SetWFlag(bool on);
    void SetSixKeyFlag(bool on);
    bool GetWinLock();
    bool GetWFlag();
    bool GetSixKeyFlag();
    void ClearRepeatInput();
    void SetRepeatInputTip();
    // The texts put together from language texts, again in the current language.
    void RefreshTexts();
    // Every control from the record.
    void Show(const profile::KeyboardSystemStages& stages);

private:
    CControlUI* find(std::wstring_view name) const;
    void selectOne(std::wstring_view prefix, int count, int index);
    void setOption(std::wstring_view name, bool on);
    bool option(std::wstring_view name);
    // The display text of a language text id.
    std::wstring textOf(std::wstring_view id);

    CControlUI* m_page;
};

} // namespace pages
