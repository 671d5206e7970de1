#include "pages/models/system_settings_model.h"

#include "device/model/keyboard_model.h"

namespace pages {

int clampOptionIndex(int index)
{
    return index < 0 || index > 3 ? 0 : index;
}

int repeatDelayMilliseconds(int index)
{
    return clampOptionIndex(index) * 250 + 250;
}

std::wstring repeatDelayLabel(std::wstring_view prefix, int index)
{
    return std::wstring(prefix) + std::to_wstring(repeatDelayMilliseconds(index)) + L"ms";
}

profile::KeyboardSystemStages withChange(profile::KeyboardSystemStages stages, SystemField field,
                                         int value)
{
    const auto flag = static_cast<std::uint16_t>(value != 0 ? 1 : 0);
    switch (field) {
    case SystemField::PollingRate:
        stages.pollingRate = static_cast<std::uint16_t>(clampOptionIndex(value));
        break;
    case SystemField::RepeatDelay:
        stages.repeatDelay = static_cast<std::uint16_t>(clampOptionIndex(value));
        break;
    case SystemField::RepeatRate:
        stages.repeat = static_cast<std::uint16_t>(value);
        break;
    case SystemField::SixKey:
        stages.key6Flag = flag;
        break;
    case SystemField::WFlag:
        stages.wFlag = flag;
        break;
    case SystemField::WinLock:
        stages.winFlag = flag;
        break;
    }
    return stages;
}

bool writesDevice(SystemField field)
{
    return field != SystemField::RepeatDelay && field != SystemField::RepeatRate;
}

SystemChange applySystemChange(model::KeyboardModel& keyboard, SystemField field, int value)
{
    auto& data = keyboard.profile();
    SystemChange change;
    change.stages = withChange(data.LoadSystemStages(), field, value);
    const profile::StageWords words = profile::toWords(change.stages);
    data.StoreSystemStages(words[0], words[1], words[2]);
    change.result.save(keyboard.CommitProfile());
    if (writesDevice(field))
        change.result.device(keyboard.WriteSlotRecord(0, 0));
    return change;
}

} // namespace pages
