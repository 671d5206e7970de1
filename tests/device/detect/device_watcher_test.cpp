#include "device/detect/device_watcher.h"

#include "device/hid/hid_path.h"
#include "device/usb_ids.h"
#include "platform/debug_output.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <mutex>
#include <set>

using namespace std::chrono_literals;
using detect::InterfaceSource;

namespace {

// The system's HID interfaces as a test wants them; counts what the watcher asked.
class ScriptedSource : public InterfaceSource {
public:
    void plug(const std::wstring& path, Probe probe)
    {
        std::lock_guard guard(m_lock);
        m_interfaces[path] = probe;
    }
    void unplug(const std::wstring& path)
    {
        std::lock_guard guard(m_lock);
        m_interfaces.erase(path);
    }
    void failNextEnumeration() { m_failEnumeration = true; }
    void refuseProbe(const std::wstring& path) { m_refused.insert(path); }
    void acceptProbe(const std::wstring& path) { m_refused.erase(path); }
    int enumerations() const { return m_enumerations; }
    platform::Event changes{platform::Event::ResetPolicy::Automatic};
    bool reportsChanges = false;

    std::atomic<bool> hearsSystem{true};

    platform::Event* changeEvent() override { return reportsChanges ? &changes : nullptr; }
    bool hearsSystemChanges() const override { return hearsSystem; }

    std::optional<std::vector<std::wstring>> enumerate() override
    {
        std::lock_guard guard(m_lock);
        ++m_enumerations;
        if (m_failEnumeration) {
            m_failEnumeration = false;
            return std::nullopt;
        }
        std::vector<std::wstring> paths;
        for (const auto& [path, probe] : m_interfaces)
            paths.push_back(path);
        return paths;
    }
    std::optional<Probe> probe(const std::wstring& path) override
    {
        std::lock_guard guard(m_lock);
        const auto found = m_interfaces.find(path);
        if (found == m_interfaces.end() || m_refused.count(path))
            return std::nullopt;
        return found->second;
    }
    bool isPresent(const std::wstring& path) override
    {
        std::lock_guard guard(m_lock);
        return m_interfaces.count(path) != 0;
    }

private:
    std::mutex m_lock;
    std::map<std::wstring, Probe> m_interfaces;
    std::set<std::wstring> m_refused;
    bool m_failEnumeration = false;
    int m_enumerations = 0;
};

class RecordingSink : public detect::WatcherSink {
public:
    void interfaceArrived(std::size_t row, const platform::Event&) override
    {
        std::lock_guard guard(m_lock);
        arrived.push_back(row);
        m_changed.set();
    }
    void interfaceRemoved(std::size_t row, const platform::Event&) override
    {
        std::lock_guard guard(m_lock);
        removed.push_back(row);
        m_changed.set();
    }
    void firstPassDone() override { ++firstPasses; }
    bool waitForChange() { return m_changed.waitFor(10s); }

    std::vector<std::size_t> arrived;
    std::vector<std::size_t> removed;
    int firstPasses = 0;

private:
    std::mutex m_lock;
    platform::Event m_changed{platform::Event::ResetPolicy::Automatic};
};

std::wstring pathOf(std::uint16_t vid, std::uint16_t pid, std::uint32_t mi, std::uint32_t col)
{
    return hid::makePath(vid, pid, mi, col, L"7&1a2b3c&0&000" + std::to_wstring(col));
}

constexpr InterfaceSource::Probe kKeyboardVendor{usb::kHalvekVendorId, usb::kKeyboardCableProductId,
                                                 usb::kCommandUsagePage, usb::kCommandUsage};
constexpr InterfaceSource::Probe kKeyboardConsumer{usb::kHalvekVendorId,
                                                   usb::kKeyboardCableProductId,
                                                   usb::kConsumerUsagePage, usb::kConsumerUsage};

class DeviceWatcherTest : public ::testing::Test {
protected:
    detect::InterfaceTable table;
    ScriptedSource source;
    RecordingSink sink;
    detect::DeviceWatcher watcher{table, source, sink};
    platform::Event stop{platform::Event::ResetPolicy::Manual};

    const std::wstring cableVendor =
        pathOf(usb::kHalvekVendorId, usb::kKeyboardCableProductId, 1, 4);
    const std::wstring cableConsumer =
        pathOf(usb::kHalvekVendorId, usb::kKeyboardCableProductId, 1, 3);
};

} // namespace

TEST_F(DeviceWatcherTest, ClaimsKeyboardCableInterfacesAndPostsFirstPassOnce)
{
    source.plug(cableVendor, kKeyboardVendor);
    source.plug(cableConsumer, kKeyboardConsumer);
    // The boot keyboard interface has no row and must be passed over.
    source.plug(
        hid::makePath(usb::kHalvekVendorId, usb::kKeyboardCableProductId, 0, std::nullopt, L"x"),
        {usb::kHalvekVendorId, usb::kKeyboardCableProductId, 1, 6});
    watcher.runPass(stop);
    watcher.runPass(stop);

    EXPECT_EQ(std::set<std::size_t>(sink.arrived.begin(), sink.arrived.end()),
              (std::set<std::size_t>{0, 1}));
    EXPECT_EQ(sink.arrived.size(), 2u);
    EXPECT_EQ(sink.firstPasses, 1);
    EXPECT_TRUE(table.row(0).present);
    EXPECT_EQ(table.row(0).path, cableVendor);
}

TEST_F(DeviceWatcherTest, CollectionWithOtherUsageIsNeverClaimed)
{
    source.plug(cableVendor, {usb::kHalvekVendorId, usb::kKeyboardCableProductId, 0xFF00, 1});
    watcher.runPass(stop);
    EXPECT_TRUE(sink.arrived.empty());
    EXPECT_FALSE(table.row(0).present);
}

TEST_F(DeviceWatcherTest, UnplugIsReportedAndTheRowBecomesAbsent)
{
    source.plug(cableVendor, kKeyboardVendor);
    watcher.runPass(stop);
    source.unplug(cableVendor);
    watcher.runPass(stop);
    EXPECT_EQ(sink.removed, (std::vector<std::size_t>{0}));
    EXPECT_TRUE(table.row(0).isAbsent());

    source.plug(cableVendor, kKeyboardVendor);
    watcher.runPass(stop);
    EXPECT_EQ(sink.arrived, (std::vector<std::size_t>{0, 0}));
}

TEST_F(DeviceWatcherTest, FailedListingOrProbeIsRetriedOnTheNextPass)
{
    source.plug(cableVendor, kKeyboardVendor);
    source.failNextEnumeration();
    watcher.runPass(stop);
    EXPECT_TRUE(sink.arrived.empty());

    source.refuseProbe(cableVendor);
    watcher.runPass(stop);
    EXPECT_TRUE(sink.arrived.empty());

    source.acceptProbe(cableVendor);
    watcher.runPass(stop);
    EXPECT_EQ(sink.arrived, (std::vector<std::size_t>{0}));
}

TEST_F(DeviceWatcherTest, WithEveryRowPresentOnlyPresenceIsChecked)
{
    for (const auto& row : detect::supportedInterfaces())
        source.plug(pathOf(row.vendorId, row.productId, row.interfaceNumber, row.collection),
                    {row.vendorId, row.productId, row.usagePage, row.usage});
    watcher.runPass(stop);
    EXPECT_EQ(sink.arrived.size(), detect::kSupportedInterfaceCount);
    const int listings = source.enumerations();
    watcher.runPass(stop);
    watcher.runPass(stop);
    EXPECT_EQ(source.enumerations(), listings);
}

TEST_F(DeviceWatcherTest, ThreadReportsArrivalsAndStopsThroughItsEvent)
{
    source.plug(cableVendor, kKeyboardVendor);
    ASSERT_TRUE(watcher.start());
    ASSERT_TRUE(sink.waitForChange());
    EXPECT_TRUE(watcher.stop(5s));
    EXPECT_TRUE(platform::debugLinesContain(L"抓取设备线程设定退出"));
}

TEST_F(DeviceWatcherTest, IdleWatcherSleepsUntilTheSourceReportsAChange)
{
    // No settling and no safety pass: only the change can bring the second arrival.
    source.reportsChanges = true;
    detect::DeviceWatcher idle(table, source, sink, {100ms, 0ms, std::chrono::hours(1)});
    source.plug(cableVendor, kKeyboardVendor);
    ASSERT_TRUE(idle.start());
    ASSERT_TRUE(sink.waitForChange());
    source.plug(cableConsumer, kKeyboardConsumer);
    source.changes.set();
    ASSERT_TRUE(sink.waitForChange());
    EXPECT_TRUE(idle.stop(5s));
    EXPECT_EQ(sink.arrived, (std::vector<std::size_t>{0, 1}));
}

TEST_F(DeviceWatcherTest, DeafSourceIsStillPassedOverQuickly)
{
    // The change event hears only our own devices (no device daemon): a replug that sends no
    // event must still be found by the quick passes, not by the hour-long safety pass.
    source.reportsChanges = true;
    source.hearsSystem = false;
    detect::DeviceWatcher deaf(table, source, sink, {100ms, 0ms, std::chrono::hours(1)});
    source.plug(cableVendor, kKeyboardVendor);
    ASSERT_TRUE(deaf.start());
    ASSERT_TRUE(sink.waitForChange());
    source.plug(cableConsumer, kKeyboardConsumer); // no change event
    ASSERT_TRUE(sink.waitForChange());
    EXPECT_TRUE(deaf.stop(5s));
    EXPECT_EQ(sink.arrived, (std::vector<std::size_t>{0, 1}));
}
