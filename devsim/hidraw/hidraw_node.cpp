#include "devsim/hidraw/hidraw_node.h"

#include "device/hid/sim/sim_backend.h"
#include "platform/debug_output.h"

#include <algorithm>
#include <cerrno>
#include <chrono>

namespace devsim::hidraw {
namespace {

constexpr std::chrono::milliseconds kUsbWriteTimeout{5000};
// A pump waits this long per read; the connection's stop or the unplug ends it at once.
constexpr std::chrono::hours kPumpWait{1};

} // namespace

OpenFile::OpenFile(std::shared_ptr<std::mutex> nodeLock) : m_lock(std::move(nodeLock)) {}

int OpenFile::read(std::span<std::uint8_t> buffer, bool wait)
{
    std::unique_lock guard(*m_lock);
    if (wait)
        m_changed.wait(guard, [this] { return !m_reports.empty() || m_gone || m_interrupted; });
    if (m_gone)
        return -EIO;
    if (m_reports.empty()) {
        if (m_interrupted) {
            m_interrupted = false;
            return -EINTR;
        }
        return -EAGAIN;
    }
    const auto& report = m_reports.front();
    const std::size_t length = std::min(buffer.size(), report.size());
    std::copy_n(report.begin(), length, buffer.begin());
    m_reports.pop_front();
    return static_cast<int>(length);
}

void OpenFile::interrupt()
{
    {
        std::lock_guard guard(*m_lock);
        m_interrupted = true;
    }
    m_changed.notify_all();
}

bool OpenFile::hasInput() const
{
    std::lock_guard guard(*m_lock);
    return !m_reports.empty();
}

bool OpenFile::isGone() const
{
    std::lock_guard guard(*m_lock);
    return m_gone;
}

void OpenFile::setReadyCallback(std::function<void()> ready)
{
    std::lock_guard guard(*m_lock);
    m_ready = std::move(ready);
}

void OpenFile::pushToAll(std::span<const std::shared_ptr<OpenFile>> files,
                         std::span<const std::uint8_t> report)
{
    if (files.empty())
        return;
    std::vector<OpenFile*> woken;
    {
        std::lock_guard guard(*files.front()->m_lock);
        for (const auto& file : files) {
            // A full buffer drops the new report, as hidraw does for a reader that falls
            // behind.
            if (file->m_gone || file->m_reports.size() >= kQueueLength)
                continue;
            file->m_reports.emplace_back(report.begin(), report.end());
            woken.push_back(file.get());
        }
    }
    for (OpenFile* file : woken) {
        file->m_changed.notify_all();
        file->notifyReady();
    }
}

void OpenFile::markGone()
{
    {
        std::lock_guard guard(*m_lock);
        if (m_gone)
            return;
        m_gone = true;
        m_reports.clear();
    }
    m_changed.notify_all();
    notifyReady();
}

void OpenFile::notifyReady()
{
    std::function<void()> ready;
    {
        std::lock_guard guard(*m_lock);
        ready = m_ready;
    }
    if (ready)
        ready();
}

HidrawNode::HidrawNode(std::string name, hid::sim::PluggedInterface interface, std::string rawName,
                       std::string physicalPath)
    : m_name(std::move(name)), m_interface(std::move(interface)), m_rawName(std::move(rawName)),
      m_physicalPath(std::move(physicalPath))
{
    const auto parsed = hid::parseDescriptor(m_interface.descriptor);
    m_numbered = std::any_of(parsed.collections.begin(), parsed.collections.end(),
                             [](const auto& collection) { return collection.usesReportIds(); });
    for (const auto& collection : parsed.collections) {
        const std::wstring path = hid::sim::simPath(m_interface.identity, m_interface.serial,
                                                    collection.number, parsed.collectionCount);
        hid::OpenFailure failure;
        auto connection = hid::sim::simBackend().open(path, hid::kChannelMode, failure);
        if (!connection) {
            if (failure.kind == hid::OpenFailure::Kind::PermissionDenied)
                m_denied = true;
            else
                platform::debugOutput("hidraw node " + m_name + ": collection " +
                                      std::to_string(collection.number) +
                                      " cannot be opened: " + failure.reason);
            continue;
        }
        m_collections.push_back({std::move(connection), {}});
    }
    for (auto& entry : m_collections) {
        if (entry.connection->collection().input.byteLength > 0)
            entry.pump = std::thread([this, &entry] { pump(*entry.connection); });
    }
}

HidrawNode::~HidrawNode()
{
    markGone();
    for (auto& entry : m_collections)
        entry.connection->stop();
    for (auto& entry : m_collections) {
        if (entry.pump.joinable())
            entry.pump.join();
    }
}

std::shared_ptr<OpenFile> HidrawNode::open(int& error)
{
    std::lock_guard guard(m_lock);
    if (m_gone) {
        error = ENODEV;
        return nullptr;
    }
    if (m_denied) {
        error = EACCES;
        return nullptr;
    }
    auto file = std::make_shared<OpenFile>(m_fileLock);
    m_files.push_back(file);
    return file;
}

void HidrawNode::close(const std::shared_ptr<OpenFile>& file)
{
    std::lock_guard guard(m_lock);
    m_files.erase(std::remove(m_files.begin(), m_files.end(), file), m_files.end());
}

int HidrawNode::write(std::span<const std::uint8_t> report)
{
    if (isGone())
        return -ENODEV;
    if (report.empty())
        return -EINVAL;
    for (auto& entry : m_collections) {
        const auto& collection = entry.connection->collection();
        if (collection.output.byteLength == 0 || !collection.ownsReportId(report[0]))
            continue;
        // The collection's whole report goes on the wire: a short one is padded, a long one cut.
        std::vector<std::uint8_t> out(collection.output.byteLength, 0);
        std::copy_n(report.begin(), std::min(report.size(), out.size()), out.begin());
        switch (entry.connection->write(out, kUsbWriteTimeout)) {
        case hid::Transfer::Done:
            return static_cast<int>(report.size());
        case hid::Transfer::TimedOut:
            return -ETIMEDOUT;
        case hid::Transfer::Gone:
        case hid::Transfer::Stopped:
            return -ENODEV;
        case hid::Transfer::Failed:
            return -EIO;
        }
    }
    // The kernel would send it; the device takes no such report, so nothing can carry it.
    return -EINVAL;
}

void HidrawNode::markGone()
{
    std::vector<std::shared_ptr<OpenFile>> files;
    {
        std::lock_guard guard(m_lock);
        if (m_gone)
            return;
        m_gone = true;
        files = m_files;
    }
    for (const auto& file : files)
        file->markGone();
}

bool HidrawNode::isGone() const
{
    std::lock_guard guard(m_lock);
    return m_gone;
}

void HidrawNode::pump(hid::Connection& connection)
{
    std::vector<std::uint8_t> report(connection.collection().input.byteLength);
    for (;;) {
        const hid::Transfer result = connection.read(report, kPumpWait);
        if (result == hid::Transfer::TimedOut)
            continue;
        if (result != hid::Transfer::Done) {
            // The interface was unplugged: its files see it at once, before the node goes.
            if (result == hid::Transfer::Gone)
                markGone();
            return;
        }
        // Unnumbered reports travel without their id byte.
        std::span<const std::uint8_t> data(report);
        if (!m_numbered)
            data = data.subspan(1);
        std::vector<std::shared_ptr<OpenFile>> files;
        {
            std::lock_guard guard(m_lock);
            files = m_files;
        }
        OpenFile::pushToAll(files, data);
    }
}

} // namespace devsim::hidraw
