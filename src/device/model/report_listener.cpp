#include "device/model/report_listener.h"

#include "device/hid/hid_device.h"
#include "platform/debug_output.h"

#include <atomic>
#include <vector>

namespace model {
namespace {

std::atomic<std::uint16_t> g_lastCableUsage{0};

// Reports come when something changes on the device, which may be never: the read waits
// for one or for the close, whichever comes first, and is not timed.
constexpr std::chrono::hours kNoTimeout{24};

} // namespace

struct ReportListener::Record {
    ListenerLink link = ListenerLink::Cable;
    Sink sink;
    CHidDevice device;
};

std::uint16_t lastCableUsage()
{
    return g_lastCableUsage.load(std::memory_order_relaxed);
}

ReportListener::ReportListener(ListenerLink link, Sink sink) : m_link(link), m_sink(std::move(sink))
{
}

ReportListener::~ReportListener()
{
    close();
}

bool ReportListener::open(const std::wstring& path)
{
    close();
    auto record = std::make_shared<Record>();
    record->link = m_link;
    record->sink = m_sink;
    if (!record->device.Open(path, hid::kChannelMode)) {
        platform::debugOutput(L"listener: the consumer interface could not be opened: " + path);
        return false;
    }
    m_record = record;
    m_thread.start("report listener", [record](platform::Event& stop) { listen(*record, stop); });
    return true;
}

bool ReportListener::close()
{
    if (!m_record)
        return true;
    if (auto* stop = m_thread.stopEvent())
        stop->set();
    // Ends the read the thread waits in; the thread still holds the record.
    m_record->device.Close();
    const bool ended = m_thread.stop(kStopTimeout);
    platform::debugOutput(ended ? L"线程退出：：对象处于激发状态"
                                : L"线程退出：：对象处于非激发状态，超时");
    m_record.reset();
    return ended;
}

bool ReportListener::isOpen() const
{
    return m_record && m_record->device.isOpen();
}

void ReportListener::listen(Record& record, platform::Event& stop)
{
    std::vector<std::uint8_t> buffer(record.device.caps().inputReportByteLength);
    while (!stop.isSet()) {
        std::uint32_t received = 0;
        if (record.device.Read(buffer, received, kNoTimeout) != 1) {
            // Closed, or the device is gone: nothing more will come on this interface, and a
            // replugged device is opened again by a new open. Wait for the close.
            if (!record.device.isOpen() || record.device.isGone() || buffer.empty())
                stop.wait();
            continue;
        }
        (void)record.device.UnpackInputReport(buffer);
        const std::uint16_t code = firstUsage(record.device.inputData());
        if (record.link == ListenerLink::Cable)
            g_lastCableUsage.store(code, std::memory_order_relaxed);
        platform::debugOutput(L"接收到自动添加设备的同步信息要求  TEST");
        const ConsumerReport report = decodeConsumerUsage(code, record.link);
        if (report.action == ConsumerAction::Sync ||
            report.action == ConsumerAction::SyncWithProfile)
            platform::debugOutput(L"接收到自动添加设备的同步信息要求");
        if (record.sink)
            record.sink(report);
    }
    platform::debugOutput(L"MS 设备同步线程设定退出");
}

} // namespace model
