#include "device/hid/windows/setupapi_backend.h"

#include "device/hid/input_queue.h"
#include "device/hid/windows/system_caps.h"
#include "device/hid/windows/system_path.h"
#include "platform/debug_output.h"
#include "platform/text.h"

#include <algorithm>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <windows.h>
// The HID and SetupAPI headers need the types of windows.h first; hid.dll's header leaves
// C linkage to its includer.
extern "C" {
#include <hidsdi.h>
}
#include <setupapi.h>

namespace hid::windows {
namespace {

class Handle {
public:
    Handle() = default;
    explicit Handle(HANDLE handle) : m_handle(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
    ~Handle()
    {
        if (m_handle != nullptr)
            CloseHandle(m_handle);
    }
    Handle(Handle&& other) noexcept : m_handle(std::exchange(other.m_handle, nullptr)) {}
    Handle& operator=(Handle&&) = delete;
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }

private:
    HANDLE m_handle = nullptr;
};

struct DeviceList {
    HDEVINFO set;
    explicit DeviceList(HDEVINFO made) : set(made) {}
    ~DeviceList()
    {
        if (set != INVALID_HANDLE_VALUE)
            SetupDiDestroyDeviceInfoList(set);
    }
    DeviceList(const DeviceList&) = delete;
    DeviceList& operator=(const DeviceList&) = delete;
};

// Far more interfaces than a machine has; ends a listing that never says it is done.
constexpr DWORD kMostInterfaces = 4096;

// nullopt when the system gave no listing: that is not "no devices", and the caller keeps
// what it knew rather than take every device as gone.
std::optional<std::vector<std::wstring>> listInterfacePaths()
{
    GUID hidClass{};
    HidD_GetHidGuid(&hidClass);
    DeviceList list(
        SetupDiGetClassDevsW(&hidClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));
    if (list.set == INVALID_HANDLE_VALUE) {
        platform::debugOutput("hid: no HID interface listing, error " +
                              std::to_string(GetLastError()));
        return std::nullopt;
    }
    std::vector<std::wstring> paths;
    SP_DEVICE_INTERFACE_DATA item{};
    item.cbSize = sizeof item;
    for (DWORD index = 0; index < kMostInterfaces; ++index) {
        if (!SetupDiEnumDeviceInterfaces(list.set, nullptr, &hidClass, index, &item)) {
            if (GetLastError() == ERROR_NO_MORE_ITEMS)
                break;
            continue; // one member the system cannot describe does not hide the others
        }
        DWORD size = 0;
        SetupDiGetDeviceInterfaceDetailW(list.set, &item, nullptr, 0, &size, nullptr);
        if (size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W))
            continue;
        std::vector<std::uint8_t> buffer(size);
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
        if (SetupDiGetDeviceInterfaceDetailW(list.set, &item, detail, size, nullptr, nullptr))
            paths.emplace_back(detail->DevicePath);
    }
    return paths;
}

// Opened with no access at all, a collection still answers for its attributes and caps;
// keyboards and mice the system holds open for itself refuse anything more.
Handle openForQuery(const std::wstring& path)
{
    return Handle(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr));
}

struct Described {
    Attributes attributes;
    CollectionInfo collection;
};

HIDP_REPORT_TYPE reportType(ReportKind kind)
{
    return kind == ReportKind::Input    ? HidP_Input
           : kind == ReportKind::Output ? HidP_Output
                                        : HidP_Feature;
}

// The system's parser writing into a blank report, to show where a cap's bits lie.
class ParserWriter final : public ReportWriter {
public:
    explicit ParserWriter(PHIDP_PREPARSED_DATA preparsed) : m_preparsed(preparsed) {}

    bool getUsages(ReportKind kind, const SystemCap& cap, std::span<const std::uint8_t> report,
                   std::vector<std::uint16_t>& usages) override
    {
        ULONG length = HidP_MaxUsageListLength(reportType(kind), cap.usagePage, m_preparsed);
        std::vector<USAGE> list(std::max<ULONG>(length, 1));
        // The parser takes the report as writable though it only reads it.
        std::vector<std::uint8_t> copy(report.begin(), report.end());
        if (HidP_GetUsages(reportType(kind), cap.usagePage, cap.linkCollection, list.data(),
                           &length, m_preparsed, reinterpret_cast<PCHAR>(copy.data()),
                           static_cast<ULONG>(copy.size())) != HIDP_STATUS_SUCCESS)
            return false;
        usages.assign(list.begin(), list.begin() + std::min<std::size_t>(length, list.size()));
        return true;
    }

    bool setUsages(ReportKind kind, const SystemCap& cap, std::span<const std::uint16_t> usages,
                   std::span<std::uint8_t> report) override
    {
        std::vector<USAGE> list(usages.begin(), usages.end());
        ULONG length = static_cast<ULONG>(list.size());
        return HidP_SetUsages(reportType(kind), cap.usagePage, cap.linkCollection, list.data(),
                              &length, m_preparsed, reinterpret_cast<PCHAR>(report.data()),
                              static_cast<ULONG>(report.size())) == HIDP_STATUS_SUCCESS;
    }

    bool setValue(ReportKind kind, const SystemCap& cap, std::uint16_t usage, std::uint32_t value,
                  std::span<std::uint8_t> report) override
    {
        const auto bytes = reinterpret_cast<PCHAR>(report.data());
        const auto length = static_cast<ULONG>(report.size());
        if (cap.isRange || cap.reportCount <= 1)
            return HidP_SetUsageValue(reportType(kind), cap.usagePage, cap.linkCollection, usage,
                                      value, m_preparsed, bytes, length) == HIDP_STATUS_SUCCESS;
        // One usage over several slots takes the whole array at once; the first slot shows
        // where they start.
        std::vector<char> slots((std::size_t(cap.bitSize) * cap.reportCount + 7) / 8, 0);
        for (std::uint16_t bit = 0; bit < std::min<std::uint16_t>(cap.bitSize, 32); ++bit) {
            if ((value >> bit) & 1u)
                slots[bit / 8] = static_cast<char>(slots[bit / 8] | (1 << (bit % 8)));
        }
        return HidP_SetUsageValueArray(reportType(kind), cap.usagePage, cap.linkCollection, usage,
                                       slots.data(), static_cast<USHORT>(slots.size()), m_preparsed,
                                       bytes, length) == HIDP_STATUS_SUCCESS;
    }

private:
    PHIDP_PREPARSED_DATA m_preparsed;
};

template <typename SystemCaps> SystemCap commonCap(const SystemCaps& caps)
{
    SystemCap cap;
    cap.reportId = caps.ReportID;
    cap.usagePage = caps.UsagePage;
    cap.linkCollection = caps.LinkCollection;
    cap.bitField = caps.BitField;
    cap.isRange = caps.IsRange != 0;
    cap.usageMin = caps.IsRange ? caps.Range.UsageMin : caps.NotRange.Usage;
    cap.usageMax = caps.IsRange ? caps.Range.UsageMax : caps.NotRange.Usage;
    return cap;
}

// `named` gains every cap the system names, for the collection's report ids.
ReportLayout layoutOf(PHIDP_PREPARSED_DATA preparsed, ReportKind kind, std::uint16_t byteLength,
                      std::uint16_t buttonCount, std::uint16_t valueCount,
                      std::vector<SystemCap>& named)
{
    const HIDP_REPORT_TYPE type = reportType(kind);
    std::vector<SystemCap> buttons;
    std::vector<SystemCap> values;
    if (buttonCount > 0) {
        std::vector<HIDP_BUTTON_CAPS> caps(buttonCount);
        USHORT count = buttonCount;
        if (HidP_GetSpecificButtonCaps(type, 0, 0, 0, caps.data(), &count, preparsed) ==
            HIDP_STATUS_SUCCESS) {
            for (USHORT i = 0; i < count && i < buttonCount; ++i)
                buttons.push_back(commonCap(caps[i]));
        }
    }
    if (valueCount > 0) {
        std::vector<HIDP_VALUE_CAPS> caps(valueCount);
        USHORT count = valueCount;
        if (HidP_GetSpecificValueCaps(type, 0, 0, 0, caps.data(), &count, preparsed) ==
            HIDP_STATUS_SUCCESS) {
            for (USHORT i = 0; i < count && i < valueCount; ++i) {
                SystemCap cap = commonCap(caps[i]);
                cap.bitSize = caps[i].BitSize;
                cap.reportCount = caps[i].ReportCount;
                cap.logicalMin = caps[i].LogicalMin;
                cap.logicalMax = caps[i].LogicalMax;
                cap.physicalMin = caps[i].PhysicalMin;
                cap.physicalMax = caps[i].PhysicalMax;
                values.push_back(cap);
            }
        }
    }
    named.insert(named.end(), buttons.begin(), buttons.end());
    named.insert(named.end(), values.begin(), values.end());
    ParserWriter writer(preparsed);
    return placeCaps(kind, byteLength, buttons, values, writer);
}

std::optional<Described> describe(HANDLE device, const std::wstring& path)
{
    HIDD_ATTRIBUTES attributes{};
    attributes.Size = sizeof attributes;
    if (!HidD_GetAttributes(device, &attributes))
        return std::nullopt;
    PHIDP_PREPARSED_DATA preparsed = nullptr;
    if (!HidD_GetPreparsedData(device, &preparsed))
        return std::nullopt;
    HIDP_CAPS caps{};
    if (HidP_GetCaps(preparsed, &caps) != HIDP_STATUS_SUCCESS) {
        HidD_FreePreparsedData(preparsed);
        return std::nullopt;
    }
    Described found;
    found.attributes = {attributes.VendorID, attributes.ProductID, attributes.VersionNumber};
    const std::uint32_t number = parseSystemPath(path).value_or(PathIds{}).collection;
    found.collection.number = number == 0 ? 1 : number;
    found.collection.usagePage = caps.UsagePage;
    found.collection.usage = caps.Usage;
    // The reports always travel with their id byte, 0 when unnumbered.
    std::vector<SystemCap> named;
    found.collection.input = layoutOf(preparsed, ReportKind::Input, caps.InputReportByteLength,
                                      caps.NumberInputButtonCaps, caps.NumberInputValueCaps, named);
    found.collection.output =
        layoutOf(preparsed, ReportKind::Output, caps.OutputReportByteLength,
                 caps.NumberOutputButtonCaps, caps.NumberOutputValueCaps, named);
    found.collection.feature =
        layoutOf(preparsed, ReportKind::Feature, caps.FeatureReportByteLength,
                 caps.NumberFeatureButtonCaps, caps.NumberFeatureValueCaps, named);
    HidD_FreePreparsedData(preparsed);
    found.collection.reportIds = reportIdsOf(named);
    return found;
}

// Waits for an overlapped transfer up to the time-out, or until `stop` is set; cancels it
// otherwise, and only returns once the system is done with the buffer.
Transfer finish(HANDLE device, OVERLAPPED& overlapped, BOOL started, HANDLE stop, DWORD timeoutMs,
                DWORD& moved)
{
    moved = 0;
    if (!started) {
        const DWORD error = GetLastError();
        if (error != ERROR_IO_PENDING)
            return error == ERROR_DEVICE_NOT_CONNECTED ? Transfer::Gone : Transfer::Failed;
    }
    const HANDLE waits[] = {overlapped.hEvent, stop};
    const DWORD waited = WaitForMultipleObjects(2, waits, FALSE, timeoutMs);
    if (waited != WAIT_OBJECT_0) {
        CancelIoEx(device, &overlapped);
        GetOverlappedResult(device, &overlapped, &moved, TRUE);
        return waited == WAIT_OBJECT_0 + 1 ? Transfer::Stopped : Transfer::TimedOut;
    }
    if (GetOverlappedResult(device, &overlapped, &moved, FALSE))
        return Transfer::Done;
    const DWORD error = GetLastError();
    return error == ERROR_DEVICE_NOT_CONNECTED || error == ERROR_OPERATION_ABORTED
               ? Transfer::Gone
               : Transfer::Failed;
}

class HidConnection final : public Connection {
public:
    HidConnection(const Described& described, OpenMode mode, Handle device)
        : Connection(described.collection, described.attributes, mode),
          m_queue(described.collection.input.byteLength), m_device(std::move(device)),
          m_stop(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
          m_readDone(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
          m_writeDone(CreateEventW(nullptr, TRUE, FALSE, nullptr))
    {
        if (mode.read && collection().input.byteLength > 0)
            m_readThread = std::thread([this] { readLoop(); });
    }

    ~HidConnection() override
    {
        SetEvent(m_stop.get());
        if (m_readThread.joinable())
            m_readThread.join();
    }

    Transfer read(std::span<std::uint8_t> buffer, std::chrono::milliseconds timeout) override
    {
        return m_queue.pop(buffer, timeout);
    }

    Transfer write(std::span<const std::uint8_t> report, std::chrono::milliseconds timeout) override
    {
        if (!mode().write)
            return Transfer::Failed;
        if (const Transfer ended = m_queue.endState(); ended != Transfer::Done)
            return ended;
        std::lock_guard guard(m_writeLock);
        // The system wants exactly the output report length.
        std::vector<std::uint8_t> bytes(report.begin(), report.end());
        bytes.resize(collection().output.byteLength, 0);
        OVERLAPPED overlapped{};
        overlapped.hEvent = m_writeDone.get();
        ResetEvent(m_writeDone.get());
        const BOOL started = WriteFile(m_device.get(), bytes.data(),
                                       static_cast<DWORD>(bytes.size()), nullptr, &overlapped);
        DWORD written = 0;
        const Transfer result = finish(m_device.get(), overlapped, started, m_stop.get(),
                                       static_cast<DWORD>(timeout.count()), written);
        if (result == Transfer::Gone)
            m_queue.markGone();
        return result;
    }

    void stop() override
    {
        m_queue.stop();
        SetEvent(m_stop.get());
    }

    // The driver's buffer holds reports as stale as the queued ones, and so does a read the
    // system has already completed but the reader not yet taken: a reply to another program
    // must not answer the next request. A read still pending can only complete with a later
    // report, and stays.
    void discardInput() override
    {
        std::lock_guard guard(m_readLock);
        if (!m_readThread.joinable())
            return; // nothing is read on this handle
        if (!HidD_FlushQueue(m_device.get()))
            platform::debugOutput("hid: the driver's input buffer was not flushed, error " +
                                  std::to_string(GetLastError()));
        if (m_pendingRead != nullptr && HasOverlappedIoCompleted(m_pendingRead))
            m_readIsStale = true;
        m_queue.clear();
    }

    Transfer endState() const override { return m_queue.endState(); }

private:
    // Sleeps in the system until a report comes, the device goes or the connection closes.
    void readLoop()
    {
        std::vector<std::uint8_t> buffer(collection().input.byteLength);
        for (;;) {
            OVERLAPPED overlapped{};
            overlapped.hEvent = m_readDone.get();
            BOOL started = FALSE;
            DWORD startError = ERROR_SUCCESS;
            {
                std::lock_guard guard(m_readLock);
                ResetEvent(m_readDone.get());
                started = ReadFile(m_device.get(), buffer.data(), static_cast<DWORD>(buffer.size()),
                                   nullptr, &overlapped);
                if (!started)
                    startError = GetLastError();
                m_pendingRead = &overlapped;
                m_readIsStale = false;
            }
            // finish() looks at ReadFile's error, which the lock's release may have replaced.
            SetLastError(startError);
            DWORD got = 0;
            const Transfer result =
                finish(m_device.get(), overlapped, started, m_stop.get(), INFINITE, got);
            std::lock_guard guard(m_readLock);
            m_pendingRead = nullptr;
            if (result == Transfer::Stopped)
                return;
            if (result != Transfer::Done) {
                m_queue.markGone();
                return;
            }
            if (got > 0 && !m_readIsStale)
                m_queue.push(std::span<const std::uint8_t>(buffer.data(), got));
        }
    }

    InputQueue m_queue;
    Handle m_device;
    Handle m_stop;
    Handle m_readDone;
    Handle m_writeDone;
    std::mutex m_writeLock; // one overlapped write at a time on m_writeDone
    std::mutex m_readLock;  // the read in flight and its push, against a discard
    OVERLAPPED* m_pendingRead = nullptr;
    bool m_readIsStale = false; // the read in flight completed before a discard
    std::thread m_readThread;
};

bool isSystemPath(const std::wstring& path)
{
    return parseSystemPath(path).has_value();
}

class SetupApiBackend final : public Backend {
public:
    bool enumerate(std::vector<std::wstring>& paths) override
    {
        auto listed = listInterfacePaths();
        if (!listed)
            return false;
        for (auto& path : *listed) {
            if (Handle device = openForQuery(path); device && describe(device.get(), path))
                paths.push_back(std::move(path));
        }
        return true;
    }

    std::unique_ptr<Connection> open(const std::wstring& path, OpenMode mode,
                                     OpenFailure& failure) override
    {
        if (!isSystemPath(path))
            return nullptr;
        DWORD access = 0;
        if (mode.read)
            access |= GENERIC_READ;
        if (mode.write)
            access |= GENERIC_WRITE;
        const DWORD share = mode.exclusive ? 0 : FILE_SHARE_READ | FILE_SHARE_WRITE;
        Handle device(CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING,
                                  mode.overlapped ? FILE_FLAG_OVERLAPPED : 0, nullptr));
        if (!device) {
            const DWORD error = GetLastError();
            failure.node = platform::toUtf8(path);
            failure.mode = mode;
            failure.reason = "error " + std::to_string(error);
            failure.kind = error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION
                               ? OpenFailure::Kind::PermissionDenied
                           : error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                               ? OpenFailure::Kind::NotFound
                               : OpenFailure::Kind::Other;
            platform::debugOutput("hid: cannot open " + failure.node + ": " + failure.reason);
            return nullptr;
        }
        const auto described = describe(device.get(), path);
        if (!described) {
            failure.kind = OpenFailure::Kind::Other;
            failure.node = platform::toUtf8(path);
            failure.reason = "no HID attributes or caps";
            return nullptr;
        }
        return std::make_unique<HidConnection>(*described, mode, std::move(device));
    }

    bool isPresent(const std::wstring& path) override
    {
        if (!isSystemPath(path))
            return false;
        return static_cast<bool>(openForQuery(path));
    }
};

} // namespace

Backend& setupApiBackend()
{
    static SetupApiBackend instance;
    return instance;
}

} // namespace hid::windows
