#include "device/hid/hid_device.h"

#include "device/hid/hid_backend.h"
#include "device/hid/hid_path.h"
#include "device/hid/open_connections.h"
#include "device/hid/report_values.h"
#include "platform/debug_output.h"

#include <algorithm>

namespace {

// Longer waits are clamped, so a caller's "no time-out" cannot overflow the clock.
constexpr std::chrono::milliseconds kLongestWait = std::chrono::hours(24);

std::chrono::milliseconds clampTimeout(std::chrono::milliseconds timeout)
{
    return std::clamp(timeout, std::chrono::milliseconds::zero(), kLongestWait);
}

const char* describe(hid::Transfer transfer)
{
    switch (transfer) {
    case hid::Transfer::Done:
        return "done";
    case hid::Transfer::TimedOut:
        return "timed out";
    case hid::Transfer::Stopped:
        return "stopped";
    case hid::Transfer::Gone:
        return "device gone";
    case hid::Transfer::Failed:
        break;
    }
    return "failed";
}

// One button entry per button cap, then one value entry per value usage.
std::vector<hid::DataEntry> dataList(const hid::CollectionInfo& collection, hid::ReportKind kind,
                                     std::vector<const hid::ReportCap*>* sources)
{
    const auto& layout = collection.layout(kind);
    std::vector<hid::DataEntry> entries;
    for (const auto& cap : layout.buttonCaps) {
        hid::DataEntry entry;
        entry.isButton = true;
        entry.usagePage = cap.usagePage;
        entry.reportId = cap.reportId;
        entry.usageMin = cap.usageMin;
        entry.usageMax = cap.usageMax;
        entry.maxUsageListLength = hid::maxUsageListLength(collection, kind, cap.usagePage);
        entry.usages.assign(entry.maxUsageListLength, 0);
        entries.push_back(std::move(entry));
        if (sources)
            sources->push_back(&cap);
    }
    for (const auto& cap : layout.valueCaps) {
        for (std::uint32_t usage = cap.usageMin; usage <= cap.usageMax; ++usage) {
            hid::DataEntry entry;
            entry.usagePage = cap.usagePage;
            entry.reportId = cap.reportId;
            entry.usage = static_cast<std::uint16_t>(usage);
            entries.push_back(std::move(entry));
            if (sources)
                sources->push_back(&cap);
        }
    }
    return entries;
}

hid::Caps capsOf(const hid::CollectionInfo& collection)
{
    auto count = [](const std::vector<hid::ReportCap>& caps) {
        return static_cast<std::uint16_t>(caps.size());
    };
    hid::Caps caps;
    caps.usage = collection.usage;
    caps.usagePage = collection.usagePage;
    caps.inputReportByteLength = collection.input.byteLength;
    caps.outputReportByteLength = collection.output.byteLength;
    caps.featureReportByteLength = collection.feature.byteLength;
    caps.numberInputButtonCaps = count(collection.input.buttonCaps);
    caps.numberInputValueCaps = count(collection.input.valueCaps);
    caps.numberOutputButtonCaps = count(collection.output.buttonCaps);
    caps.numberOutputValueCaps = count(collection.output.valueCaps);
    caps.numberFeatureButtonCaps = count(collection.feature.buttonCaps);
    caps.numberFeatureValueCaps = count(collection.feature.valueCaps);
    return caps;
}

} // namespace

CHidDevice::CHidDevice() = default;

CHidDevice::~CHidDevice()
{
    Close();
}

bool CHidDevice::Enumerate()
{
    m_paths.clear();
    m_pathCursor = 0;
    std::vector<std::wstring> paths;
    for (hid::Backend* backend : hid::backends()) {
        if (!backend->enumerate(paths)) {
            platform::debugOutput("HID enumeration failed");
            return false;
        }
    }
    m_paths = std::move(paths);
    return true;
}

std::optional<std::wstring> CHidDevice::NextPath()
{
    if (m_pathCursor >= m_paths.size())
        return std::nullopt;
    return m_paths[m_pathCursor++];
}

void CHidDevice::FreePathList()
{
    m_paths.clear();
    m_paths.shrink_to_fit();
    m_pathCursor = 0;
}

bool CHidDevice::Open(const std::wstring& path, hid::OpenMode mode)
{
    // The previous handle goes first, so a re-open never holds two interfaces.
    Close();
    m_mode = mode;
    m_path = path;
    std::unique_ptr<hid::Connection> opened;
    hid::OpenFailure failure;
    failure.mode = mode;
    for (hid::Backend* backend : hid::backends()) {
        opened = backend->open(path, mode, failure);
        if (opened)
            break;
    }
    if (!opened) {
        m_lastOpenFailure = failure;
        return false;
    }
    m_lastOpenFailure.reset();

    m_attributes = opened->attributes();
    m_caps = capsOf(opened->collection());
    buildDataLists(*opened);
    const hid::PathIds ids = hid::parsePath(path);
    m_interfaceNumber = ids.interfaceNumber;
    m_collectionNumber = ids.collection;

    std::shared_ptr<hid::Connection> shared = std::move(opened);
    hid::registerConnection(path, shared);
    std::lock_guard guard(m_connectionLock);
    m_connection = std::move(shared);
    return true;
}

void CHidDevice::buildDataLists(const hid::Connection& connection)
{
    std::lock_guard guard(m_dataLock);
    m_inputSources.clear();
    m_collectionInfo = std::make_shared<const hid::CollectionInfo>(connection.collection());
    m_inputData = dataList(*m_collectionInfo, hid::ReportKind::Input, &m_inputSources);
    m_outputData = dataList(*m_collectionInfo, hid::ReportKind::Output, nullptr);
    m_featureData = dataList(*m_collectionInfo, hid::ReportKind::Feature, nullptr);
}

void CHidDevice::Close()
{
    std::shared_ptr<hid::Connection> connection;
    {
        std::lock_guard guard(m_connectionLock);
        connection = std::move(m_connection);
    }
    // Ends a read or write waiting on another thread at once; that thread still holds the
    // connection and frees it when it returns. The data lists stay until the next open, so
    // a listener unpacking its last report never reads freed lists.
    if (connection)
        connection->stop();
}

std::shared_ptr<hid::Connection> CHidDevice::connection() const
{
    std::lock_guard guard(m_connectionLock);
    return m_connection;
}

bool CHidDevice::isOpen() const
{
    return connection() != nullptr;
}

std::wstring CHidDevice::ownerIdentity() const
{
    const auto link = connection();
    if (!link)
        return {};
    const std::wstring identity = link->ownerIdentity();
    return identity.empty() ? m_path : identity;
}

bool CHidDevice::isGone() const
{
    const auto link = connection();
    return link && link->endState() == hid::Transfer::Gone;
}

void CHidDevice::discardInput()
{
    if (const auto link = connection())
        link->discardInput();
}

int CHidDevice::Read(std::span<std::uint8_t> buffer, std::uint32_t& bytesRead,
                     std::chrono::milliseconds timeout)
{
    bytesRead = 0;
    const auto link = connection();
    if (!link || !link->mode().read)
        return 0;
    const std::uint16_t length = link->collection().input.byteLength;
    if (length == 0 || buffer.size() < length) {
        platform::debugOutput("HID read: buffer of " + std::to_string(buffer.size()) +
                              " bytes for input reports of " + std::to_string(length));
        return 0;
    }
    const hid::Transfer result = link->read(buffer.first(length), clampTimeout(timeout));
    if (result != hid::Transfer::Done) {
        if (result != hid::Transfer::TimedOut)
            platform::debugOutput(std::string("HID read ") + describe(result));
        return 0;
    }
    bytesRead = length;
    return 1;
}

int CHidDevice::Write(std::span<const std::uint8_t> buffer, std::uint32_t& bytesWritten,
                      std::chrono::milliseconds timeout)
{
    bytesWritten = 0;
    const auto link = connection();
    if (!link || !link->mode().write)
        return 0;
    const auto& collection = link->collection();
    const std::uint16_t length = collection.output.byteLength;
    if (length == 0 || buffer.size() < length || !collection.ownsReportId(buffer[0])) {
        platform::debugOutput("HID write: " + std::to_string(buffer.size()) +
                              "-byte report refused (output reports are " + std::to_string(length) +
                              " bytes)");
        return 0;
    }
    const hid::Transfer result = link->write(buffer.first(length), clampTimeout(timeout));
    if (result != hid::Transfer::Done) {
        if (result != hid::Transfer::TimedOut)
            platform::debugOutput(std::string("HID write ") + describe(result));
        return 0;
    }
    bytesWritten = length;
    return 1;
}

int CHidDevice::UnpackInputReport(std::span<const std::uint8_t> report)
{
    std::lock_guard guard(m_dataLock);
    if (!m_collectionInfo || report.empty())
        return hid::kStatusInvalidReportLength;
    const std::uint16_t length = m_collectionInfo->input.byteLength;
    for (std::size_t i = 0; i < m_inputData.size(); ++i) {
        auto& entry = m_inputData[i];
        if (entry.reportId != report[0])
            continue;
        const hid::ReportCap& cap = *m_inputSources[i];
        if (entry.isButton) {
            std::vector<std::uint16_t> found;
            entry.status = hid::getUsages(cap, report, length, entry.maxUsageListLength, found);
            std::fill(entry.usages.begin(), entry.usages.end(), 0);
            std::copy(found.begin(), found.end(), entry.usages.begin());
            entry.isSet = true;
            continue;
        }
        entry.status = hid::getUsageValue(cap, entry.usage, report, length, entry.value);
        entry.scaledValue = 0;
        if (entry.status == hid::kStatusSuccess)
            (void)hid::getScaledUsageValue(cap, entry.usage, report, length, entry.scaledValue);
        entry.isSet = true;
        if (entry.status != hid::kStatusSuccess)
            return entry.status;
    }
    return hid::kStatusSuccess;
}
