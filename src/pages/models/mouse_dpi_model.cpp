#include "pages/models/mouse_dpi_model.h"

#include "device/model/mouse_model.h"

#include <algorithm>

namespace pages {
namespace {

namespace record = protocol::mouse_record;

constexpr std::int64_t kTypedLimit = 1'000'000;

std::uint16_t get16(std::span<const std::uint8_t> bytes, std::size_t at)
{
    return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

bool isStage(int stage)
{
    return stage >= 0 && stage < kDpiStageCount;
}

} // namespace

std::optional<std::int64_t> parseTypedDpi(std::wstring_view text)
{
    const auto first = text.find_first_not_of(L" \t");
    if (first == std::wstring_view::npos)
        return 0;
    text = text.substr(first, text.find_last_not_of(L" \t") - first + 1);
    std::int64_t value = 0;
    for (const wchar_t c : text) {
        if (c < L'0' || c > L'9')
            return std::nullopt;
        value = std::min(value * 10 + (c - L'0'), kTypedLimit);
    }
    return value;
}

model::DpiScale MouseDpiModel::scale() const
{
    return m_mouse.dpiScale();
}

DpiStageShown MouseDpiModel::stage(int index) const
{
    DpiStageShown shown;
    const auto& stages = m_mouse.dpiStages();
    if (!isStage(index) || std::size_t(index) >= stages.size())
        return shown;
    const profile::DpiStage& held = stages[std::size_t(index)];
    shown.present = true;
    shown.enabled = held.enabled != 0;
    shown.current = index == m_mouse.activeStage();
    // The stage is packed: copy the field before anything binds a reference to it.
    const std::uint16_t dpi = held.dpiX;
    shown.dpi = dpi;
    shown.slider = model::dpiToSlider(scale(), std::int64_t{dpi});
    shown.red = held.red;
    shown.green = held.green;
    shown.blue = held.blue;
    return shown;
}

int MouseDpiModel::currentStage() const
{
    return m_mouse.activeStage();
}

std::optional<int> MouseDpiModel::reportRateOption() const
{
    const std::uint16_t stage = m_mouse.profile().LoadMouseSystemStages().reportStage;
    if (stage >= kReportRateOptions)
        return std::nullopt;
    return int(stage);
}

std::int64_t MouseDpiModel::dpiOfSlider(int slider) const
{
    const model::DpiScale shown = scale();
    return model::sliderToDpi(shown, std::clamp(slider, 0, int(shown.sliderMaximum)));
}

bool MouseDpiModel::storeStage(int stage, const profile::DpiStage& value)
{
    return m_mouse.setDpiStage(stage, value);
}

bool MouseDpiModel::setEnabled(int stage, bool enabled)
{
    if (!isStage(stage))
        return false;
    const auto& stages = m_mouse.dpiStages();
    profile::DpiStage value =
        std::size_t(stage) < stages.size() ? stages[std::size_t(stage)] : profile::DpiStage{};
    if ((value.enabled != 0) == enabled)
        return true;
    if (!enabled) {
        // The DPI button steps through enabled stages only: one must stay.
        const auto others = std::count_if(stages.begin(), stages.end(), [&](const auto& s) {
            return s.enabled != 0 && &s != &stages[std::size_t(stage)];
        });
        if (others == 0)
            return false;
    }
    if (enabled && value.dpiX == 0) {
        // A stage listed empty starts at the lowest DPI the sensor takes.
        value.dpiX = model::snapDpi(scale(), 0);
        value.dpiY = value.dpiX;
    }
    value.enabled = enabled ? 1 : 0;
    if (!storeStage(stage, value))
        return false;
    if (!enabled && stage == m_mouse.activeStage()) {
        const auto& now = m_mouse.dpiStages();
        for (int step = 1; step < kDpiStageCount; ++step) {
            const int next = (stage + step) % kDpiStageCount;
            if (std::size_t(next) < now.size() && now[std::size_t(next)].enabled != 0) {
                (void)m_mouse.setActiveStage(next);
                break;
            }
        }
    }
    return true;
}

bool MouseDpiModel::selectCurrent(int stage)
{
    const DpiStageShown shown = this->stage(stage);
    if (!shown.present || !shown.enabled)
        return false;
    return m_mouse.setActiveStage(stage);
}

bool MouseDpiModel::setSlider(int stage, int slider)
{
    return setTyped(stage, std::to_wstring(dpiOfSlider(slider)));
}

bool MouseDpiModel::setTyped(int stage, std::wstring_view text)
{
    const auto typed = parseTypedDpi(text);
    if (!typed || !this->stage(stage).present)
        return false;
    return m_mouse.setStageDpi(stage, *typed).has_value();
}

bool MouseDpiModel::setColour(int stage, std::uint8_t red, std::uint8_t green, std::uint8_t blue)
{
    const auto& stages = m_mouse.dpiStages();
    if (!isStage(stage) || std::size_t(stage) >= stages.size())
        return false;
    profile::DpiStage value = stages[std::size_t(stage)];
    value.red = red;
    value.green = green;
    value.blue = blue;
    return storeStage(stage, value);
}

bool MouseDpiModel::setReportRate(int option)
{
    if (option < 0 || option >= kReportRateOptions)
        return false;
    m_mouse.setReportStage(std::uint16_t(option));
    return true;
}

DpiCommit MouseDpiModel::commit()
{
    DpiCommit outcome;
    outcome.result.save(m_mouse.CommitProfile());
    const protocol::Status written = m_mouse.WriteSlotRecord(0, 0);
    outcome.result.device(written);
    if (written != protocol::Status::Ok)
        return outcome;
    // What was written, before the read-back can move the current stage.
    const std::vector<profile::DpiStage> stages = m_mouse.dpiStages();
    const int active = m_mouse.activeStage();
    const std::uint16_t report = m_mouse.profile().LoadMouseSystemStages().reportStage;
    const protocol::Status read = m_mouse.ReadDeviceState();
    outcome.result.device(read);
    if (read != protocol::Status::Ok)
        return outcome;
    outcome.result.save(m_mouse.readBackSave());
    const protocol::MouseRecord& held = m_mouse.lastSlotRecord();
    bool same = held[record::kReportStage] == std::uint8_t(report) &&
                held[record::kActiveDpiStage] == std::uint8_t(active);
    for (std::size_t i = 0; i < record::kDpiStageCount && i < stages.size(); ++i) {
        const std::size_t at = record::kDpiStages + i * record::kDpiStageSize;
        const profile::DpiStage& s = stages[i];
        same = same && held[at] == s.enabled && get16(held, at + 2) == s.dpiX &&
               get16(held, at + 4) == s.dpiY && held[at + 6] == s.red && held[at + 7] == s.green &&
               held[at + 8] == s.blue;
    }
    outcome.heldAsWritten = same;
    return outcome;
}

} // namespace pages
