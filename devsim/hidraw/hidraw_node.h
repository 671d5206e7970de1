#pragma once

// One hidraw node's device side: the emulated interface's collections opened in this
// process, each input report handed to every open file of the node, each output report
// written to the collection that owns its report id. Once the interface goes, open files
// see the unplug the way hidraw shows it: reads fail with EIO, writes and opens with ENODEV.

#include "device/hid/hid_backend.h"
#include "device/hid/sim/sim_interface.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace devsim::hidraw {

// One open() of the node: its own queue of input reports, as hidraw keeps per open file.
// The files of one node share one lock, as hidraw's do.
class OpenFile {
public:
    static constexpr std::size_t kQueueLength = 64; // hidraw's own buffer

    explicit OpenFile(std::shared_ptr<std::mutex> nodeLock);

    // Copies the oldest report into `buffer` and returns its length, or -errno: -EAGAIN when
    // none waits and `wait` is false, -EIO once the device is gone, -EINTR when interrupted.
    int read(std::span<std::uint8_t> buffer, bool wait);
    void interrupt();
    bool hasInput() const;
    bool isGone() const;
    // Called, outside the node's lock, whenever a report arrives or the device goes.
    void setReadyCallback(std::function<void()> ready);

    // Hands a report to every file of one node at once: no reader sees it before every
    // file holds it, so a process that drains its file after another read its reply there
    // finds that reply too.
    static void pushToAll(std::span<const std::shared_ptr<OpenFile>> files,
                          std::span<const std::uint8_t> report);
    void markGone();

private:
    void notifyReady();

    std::shared_ptr<std::mutex> m_lock; // the node's
    std::condition_variable m_changed;
    std::deque<std::vector<std::uint8_t>> m_reports;
    bool m_gone = false;
    bool m_interrupted = false;
    std::function<void()> m_ready;
};

class HidrawNode {
public:
    // Opens every collection of the plugged interface. A node whose interface refuses this
    // process (access denied) is served too, and refuses every open with EACCES.
    // `rawName` and `physicalPath` are what the kernel reports for the HID device.
    HidrawNode(std::string name, hid::sim::PluggedInterface interface, std::string rawName = {},
               std::string physicalPath = {});
    ~HidrawNode();
    HidrawNode(const HidrawNode&) = delete;
    HidrawNode& operator=(const HidrawNode&) = delete;

    const std::string& name() const { return m_name; }
    const hid::sim::PluggedInterface& interface() const { return m_interface; }
    bool isDenied() const { return m_denied; }
    const std::string& rawName() const { return m_rawName; }
    const std::string& physicalPath() const { return m_physicalPath; }

    // Null with `error` set (ENODEV, EACCES) when the node cannot be opened.
    std::shared_ptr<OpenFile> open(int& error);
    void close(const std::shared_ptr<OpenFile>& file);
    // One output report, report id first: its length, or -errno. A report the device does
    // not take within 5 s fails with ETIMEDOUT, as the kernel's USB time-out has it.
    int write(std::span<const std::uint8_t> report);

    void markGone();
    bool isGone() const;

private:
    struct Collection {
        std::unique_ptr<hid::Connection> connection;
        std::thread pump;
    };

    void pump(hid::Connection& connection);

    std::string m_name;
    hid::sim::PluggedInterface m_interface;
    std::string m_rawName;
    std::string m_physicalPath;
    bool m_numbered = false;
    bool m_denied = false;
    std::vector<Collection> m_collections;

    mutable std::mutex m_lock; // m_files and m_gone
    std::shared_ptr<std::mutex> m_fileLock = std::make_shared<std::mutex>();
    std::vector<std::shared_ptr<OpenFile>> m_files;
    bool m_gone = false;
};

} // namespace devsim::hidraw
