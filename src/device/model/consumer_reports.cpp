#include "device/model/consumer_reports.h"

namespace model {
namespace {

constexpr std::uint16_t kSlotNotice = 0x10;      // high byte
constexpr std::uint16_t kSlotValueNotice = 0x11; // high byte

} // namespace

ConsumerReport decodeConsumerUsage(std::uint16_t code, ListenerLink link)
{
    ConsumerReport report;
    report.link = link;
    report.code = code;
    const std::uint16_t high = code >> 8;
    if (code == kUsageSync) {
        report.action = ConsumerAction::Sync;
    } else if (code == kUsageSyncWithProfile && link == ListenerLink::Cable) {
        // Through the receiver it is one more unnamed code.
        report.action = ConsumerAction::SyncWithProfile;
    } else if (high == kSlotNotice || high == kSlotValueNotice) {
        report.action =
            high == kSlotValueNotice ? ConsumerAction::SlotValueNotice : ConsumerAction::SlotNotice;
        report.activeSlot = static_cast<std::uint8_t>(code & 0x0F);
        if (high == kSlotValueNotice)
            report.secondValue = static_cast<std::uint8_t>((code >> 4) & 0x0F);
    }
    return report;
}

std::uint16_t firstUsage(std::span<const hid::DataEntry> entries)
{
    if (entries.empty() || !entries.front().isButton || entries.front().usages.empty())
        return 0;
    return entries.front().usages.front();
}

} // namespace model
