#include "device/hid/hidraw/hidraw_backend.h"

#include "device/hid/hid_path.h"
#include "device/hid/input_queue.h"
#include "platform/debug_output.h"
#include "platform/event.h"
#include "platform/text.h"

#include <hidapi/hidapi.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <mutex>
#include <poll.h>
#include <string>
#include <sys/eventfd.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace hid::hidraw {
namespace {

// hidapi's enumeration is not safe to run on two threads at once. hidapi only lists the
// nodes; they are opened and read here, so the reader can sleep on the descriptor.
std::mutex& hidapiLock()
{
    static std::mutex lock;
    return lock;
}

struct HidapiList {
    void operator()(hid_device_info* list) const { hid_free_enumeration(list); }
};
using ListPtr = std::unique_ptr<hid_device_info, HidapiList>;

// One hidraw node as listed: the node's name ("hidraw3"), ids and its parsed collections.
struct Node {
    std::string devicePath; // "/dev/hidraw3"
    std::wstring name;
    Attributes attributes;
    std::optional<std::uint32_t> interfaceNumber;
    std::vector<CollectionInfo> collections;
    std::uint32_t collectionCount = 0;

    std::wstring pathOf(std::uint32_t number) const
    {
        std::optional<std::uint32_t> col;
        if (collectionCount > 1)
            col = number;
        return makePath(attributes.vendorId, attributes.productId, interfaceNumber, col, name);
    }
};

std::vector<std::uint8_t> readDescriptor(const std::string& nodeName)
{
    std::ifstream file("/sys/class/hidraw/" + nodeName + "/device/report_descriptor",
                       std::ios::binary);
    // One byte past the limit, so the parser sees an oversized descriptor and refuses it.
    std::vector<std::uint8_t> bytes(kMaxDescriptorBytes + 1);
    file.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size()));
    bytes.resize(static_cast<std::size_t>(std::max<std::streamsize>(file.gcount(), 0)));
    return bytes;
}

std::vector<Node> listNodes()
{
    std::vector<Node> nodes;
    std::lock_guard guard(hidapiLock());
    // No hidraw nodes (or no udev) gives an empty list, which is not an error.
    const ListPtr list(hid_enumerate(0, 0));
    for (auto* info = list.get(); info != nullptr; info = info->next) {
        const std::string devicePath = info->path ? info->path : "";
        const auto slash = devicePath.rfind('/');
        if (devicePath.empty() || slash == std::string::npos)
            continue;
        // hidapi lists one entry per top-level collection; we number them ourselves.
        bool seen = false;
        for (const auto& node : nodes)
            seen = seen || node.devicePath == devicePath;
        if (seen)
            continue;
        Node node;
        node.devicePath = devicePath;
        const std::string nodeName = devicePath.substr(slash + 1);
        node.name = platform::fromUtf8(nodeName);
        node.attributes = {info->vendor_id, info->product_id, info->release_number};
        if (info->interface_number >= 0)
            node.interfaceNumber = static_cast<std::uint32_t>(info->interface_number);
        auto parsed = parseDescriptor(readDescriptor(nodeName));
        node.collections = std::move(parsed.collections);
        node.collectionCount = parsed.collectionCount;
        if (node.collections.empty())
            platform::debugOutput("hidraw: " + nodeName + " has no usable report descriptor");
        nodes.push_back(std::move(node));
    }
    return nodes;
}

// A descriptor that closes itself.
class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(FileDescriptor&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept
    {
        if (this != &other) {
            if (m_fd >= 0)
                ::close(m_fd);
            m_fd = std::exchange(other.m_fd, -1);
        }
        return *this;
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }
    explicit operator bool() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

class HidrawConnection final : public Connection {
public:
    HidrawConnection(const Node& node, const CollectionInfo& collection, OpenMode mode,
                     FileDescriptor reader, FileDescriptor writer, FileDescriptor wake)
        : Connection(collection, node.attributes, mode), m_queue(collection.input.byteLength),
          m_reader(std::move(reader)), m_writer(std::move(writer)), m_wake(std::move(wake)),
          m_ownerIdentity(L"hidraw-" + platform::fromUtf8(node.devicePath))
    {
        m_readThread = std::thread([this] { readLoop(); });
        if (m_writer)
            m_writeThread = std::thread([this] { writeLoop(); });
    }

    ~HidrawConnection() override
    {
        m_quit.store(true, std::memory_order_relaxed);
        const std::uint64_t one = 1;
        (void)!::write(m_wake.get(), &one, sizeof one);
        m_quitEvent.set();
        m_readThread.join();
        // A write the kernel still holds ends within the kernel's own USB time-out.
        if (m_writeThread.joinable()) {
            if (isWritePending())
                platform::debugOutput("hidraw: closing waits until the system gives up the "
                                      "report the device has not taken");
            m_writeThread.join();
        }
    }

    Transfer read(std::span<std::uint8_t> buffer, std::chrono::milliseconds timeout) override
    {
        return m_queue.pop(buffer, timeout);
    }

    Transfer write(std::span<const std::uint8_t> report, std::chrono::milliseconds timeout) override
    {
        if (!m_writer)
            return Transfer::Failed;
        {
            std::lock_guard guard(m_writeLock);
            if (m_writePending) {
                // The last write timed out and the kernel has not given it back yet.
                const auto held = std::chrono::duration_cast<std::chrono::milliseconds>(
                    std::chrono::steady_clock::now() - m_writeStarted);
                platform::debugOutput("hidraw: report not written: the device has not taken the "
                                      "one written " +
                                      std::to_string(held.count()) +
                                      " ms ago, and the system gives it up only after its USB "
                                      "time-out");
                return Transfer::Failed;
            }
            // The report is copied: an abandoned write keeps its own buffer until the kernel
            // is done with it.
            m_writeBuffer.assign(report.begin(), report.end());
            m_writePending = true;
            m_writeStarted = std::chrono::steady_clock::now();
            m_writeDone.reset();
        }
        m_writeRequested.set();
        const Transfer result = m_queue.waitUntilReady(m_writeDone, timeout);
        if (result != Transfer::Done)
            return result;
        const int error = m_writeError.load(std::memory_order_relaxed);
        if (error == 0)
            return Transfer::Done;
        platform::debugOutput(std::string("hidraw: write failed: ") + std::strerror(error));
        return writeFailure(error);
    }

    void stop() override { m_queue.stop(); }

    // Reports the kernel already holds for this descriptor are as stale as those queued:
    // the reader may lag behind the device, and a reply to the previous holder's request
    // must not reach the next request. The reader pauses meanwhile, so none slips between.
    void discardInput() override
    {
        std::lock_guard guard(m_readLock);
        std::array<std::uint8_t, kMaxReportBytes> buffer{};
        // Bounded: a device that never stops sending cannot hold the caller here.
        for (std::size_t i = 0; i < kDrainLimit; ++i) {
            if (::read(m_reader.get(), buffer.data(), buffer.size()) <= 0)
                break;
        }
        m_queue.clear();
    }

    Transfer endState() const override { return m_queue.endState(); }
    // Every process that opens the node talks to the same device.
    std::wstring ownerIdentity() const override { return m_ownerIdentity; }

private:
    // Sleeps in the kernel until a report comes, the device goes or the connection closes:
    // an idle device costs nothing.
    void readLoop()
    {
        std::array<std::uint8_t, kMaxReportBytes + 1> buffer{};
        const bool numbered = collection().usesReportIds();
        // Unnumbered reports arrive without an id byte; give them the 0 the callers expect.
        std::uint8_t* const data = numbered ? buffer.data() : buffer.data() + 1;
        while (!m_quit.load(std::memory_order_relaxed)) {
            std::array<pollfd, 2> waits{pollfd{m_reader.get(), POLLIN, 0},
                                        pollfd{m_wake.get(), POLLIN, 0}};
            if (::poll(waits.data(), waits.size(), -1) < 0) {
                if (errno == EINTR)
                    continue;
                m_queue.markGone();
                return;
            }
            if (waits[1].revents != 0)
                return;
            if ((waits[0].revents & POLLIN) == 0) {
                // POLLHUP or POLLERR without data: hidraw's way of saying the device left.
                m_queue.markGone();
                return;
            }
            // A discard between the read and the push would miss the report.
            std::lock_guard guard(m_readLock);
            const ssize_t length = ::read(m_reader.get(), data, kMaxReportBytes);
            // EAGAIN also after a discard emptied the descriptor under the poll.
            if (length < 0 && (errno == EAGAIN || errno == EINTR))
                continue;
            if (length <= 0) {
                m_queue.markGone();
                return;
            }
            const std::size_t total = std::size_t(length) + (numbered ? 0 : 1);
            // hidraw opens the whole USB interface, so reports of every collection arrive
            // here; keep only those whose report id belongs to the collection opened.
            if (collection().ownsReportId(buffer[0]))
                m_queue.push(std::span<const std::uint8_t>(buffer.data(), total));
        }
    }

    void writeLoop()
    {
        for (;;) {
            const auto which = platform::Event::waitForAny({&m_quitEvent, &m_writeRequested},
                                                           std::chrono::hours(24));
            if (m_quit.load(std::memory_order_relaxed))
                return;
            if (!which)
                continue;
            const ssize_t written =
                ::write(m_writer.get(), m_writeBuffer.data(), m_writeBuffer.size());
            const int error = written < 0 ? errno : 0;
            m_writeError.store(error, std::memory_order_relaxed);
            if (error != 0 && writeFailure(error) == Transfer::Gone)
                m_queue.markGone();
            {
                std::lock_guard guard(m_writeLock);
                m_writePending = false;
            }
            m_writeDone.set();
        }
    }

    bool isWritePending()
    {
        std::lock_guard guard(m_writeLock);
        return m_writePending;
    }

    // The kernel keeps this many reports per open descriptor.
    static constexpr std::size_t kDrainLimit = 64;

    InputQueue m_queue;
    std::mutex m_readLock; // one read of m_reader and its push, against a discard
    FileDescriptor m_reader;
    FileDescriptor m_writer; // a descriptor of its own: a write may block in the kernel
    FileDescriptor m_wake;   // an eventfd that ends the reader's wait
    std::wstring m_ownerIdentity;
    std::atomic<bool> m_quit{false};
    platform::Event m_quitEvent{platform::Event::ResetPolicy::Manual};

    std::mutex m_writeLock; // m_writePending and m_writeBuffer while no write runs
    bool m_writePending = false;
    std::chrono::steady_clock::time_point m_writeStarted; // of the pending write
    std::vector<std::uint8_t> m_writeBuffer;
    platform::Event m_writeRequested{platform::Event::ResetPolicy::Automatic};
    platform::Event m_writeDone{platform::Event::ResetPolicy::Manual};
    std::atomic<int> m_writeError{0}; // errno of the last write, 0 when it went out

    std::thread m_readThread;
    std::thread m_writeThread;
};

// Opens the node for one direction, saying why not in `failure`.
FileDescriptor openNodeFor(const Node& node, int flags, OpenMode mode, OpenFailure& failure)
{
    FileDescriptor fd(::open(node.devicePath.c_str(), flags | O_CLOEXEC));
    if (fd)
        return fd;
    const int error = errno;
    failure.node = node.devicePath;
    failure.mode = mode;
    failure.reason = std::strerror(error);
    failure.kind = error == EACCES || error == EPERM ? OpenFailure::Kind::PermissionDenied
                   : error == ENOENT || error == ENODEV || error == ENXIO
                       ? OpenFailure::Kind::NotFound
                       : OpenFailure::Kind::Other;
    platform::debugOutput("hidraw: cannot open " + node.devicePath + ": " + failure.reason);
    return fd;
}

class HidrawBackend final : public Backend {
public:
    bool enumerate(std::vector<std::wstring>& paths) override
    {
        for (const auto& node : listNodes()) {
            for (const auto& collection : node.collections)
                paths.push_back(node.pathOf(collection.number));
        }
        return true;
    }

    std::unique_ptr<Connection> open(const std::wstring& path, OpenMode mode,
                                     OpenFailure& failure) override
    {
        if (platform::toLower(path).find(L"#hidraw") == std::wstring::npos)
            return nullptr;
        // Listing again both finds the node and proves it still is the device the path names.
        for (const auto& node : listNodes()) {
            for (const auto& collection : node.collections) {
                if (platform::equalsIgnoreCase(node.pathOf(collection.number), path))
                    return openNode(node, collection, mode, failure);
            }
        }
        failure.kind = OpenFailure::Kind::NotFound;
        failure.reason = "no such collection";
        platform::debugOutput(L"hidraw: no such collection: " + path);
        return nullptr;
    }

    // Asks sysfs only: the node named in the path exists and still belongs to the same
    // vendor and product.
    bool isPresent(const std::wstring& path) override
    {
        const std::wstring lower = platform::toLower(path);
        const auto at = lower.find(L"#hidraw");
        if (at == std::wstring::npos)
            return false;
        const auto end = lower.find(L'#', at + 1);
        const std::string nodeName = platform::toUtf8(lower.substr(at + 1, end - at - 1));
        if (nodeName.find('/') != std::string::npos || nodeName.find("..") != std::string::npos)
            return false;
        std::ifstream uevent("/sys/class/hidraw/" + nodeName + "/device/uevent");
        std::string line;
        while (std::getline(uevent, line)) {
            if (line.rfind("HID_ID=", 0) == 0)
                return matchesIds(platform::fromUtf8(line), parsePath(path));
        }
        return false;
    }

private:
    // "HID_ID=BBBB:VVVVVVVV:PPPPPPPP", hexadecimal.
    static bool matchesIds(const std::wstring& hidId, const PathIds& ids)
    {
        const auto first = hidId.find(L':');
        if (first == std::wstring::npos)
            return false;
        const auto second = hidId.find(L':', first + 1);
        if (second == std::wstring::npos)
            return false;
        return pathNumber(hidId.substr(first), L":") == ids.vendorId &&
               pathNumber(hidId.substr(second), L":") == ids.productId;
    }

    // hidraw has no share modes: an exclusive open is treated as a shared one.
    static std::unique_ptr<Connection> openNode(const Node& node, const CollectionInfo& collection,
                                                OpenMode mode, OpenFailure& failure)
    {
        FileDescriptor reader = openNodeFor(node, O_RDONLY | O_NONBLOCK, mode, failure);
        if (!reader)
            return nullptr;
        FileDescriptor writer;
        if (mode.write) {
            writer = openNodeFor(node, O_WRONLY, mode, failure);
            if (!writer)
                return nullptr;
        }
        FileDescriptor wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
        if (!wake) {
            failure.kind = OpenFailure::Kind::Other;
            failure.node = node.devicePath;
            failure.reason = "no eventfd";
            return nullptr;
        }
        return std::make_unique<HidrawConnection>(node, collection, mode, std::move(reader),
                                                  std::move(writer), std::move(wake));
    }
};

} // namespace

Transfer writeFailure(int error)
{
    return error == ENODEV || error == ESHUTDOWN ? Transfer::Gone : Transfer::Failed;
}

Backend& hidrawBackend()
{
    static HidrawBackend instance;
    return instance;
}

} // namespace hid::hidraw
