#pragma once

// The listener on one consumer-control interface of a device (its cable's or its
// receiver's): a thread of its own reads the interface's input reports, decodes the first
// usage through the consumer-report table and hands every report to the owner's sink. A
// device object holds one listener per link. The listener never sends anything.
//
// Threads: open, close and the destructor belong to one thread (the UI thread). The sink
// runs on the listener's thread: it must not touch UI or wait for the thread that closes
// the listener (post a message, never send one), and return promptly.
//
// Stopping: close() ends a read waiting in the interface at once and waits up to
// kStopTimeout for the thread to end. A thread late past that (its sink still busy) is
// reported and left to end; what it reads from is its own and is freed only when it ends.

#include "device/model/consumer_reports.h"
#include "platform/worker_thread.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace model {

class ReportListener {
public:
    using Sink = std::function<void(const ConsumerReport& report)>;
    static constexpr std::chrono::milliseconds kStopTimeout{500};

    ReportListener(ListenerLink link, Sink sink);
    ~ReportListener();
    ReportListener(const ReportListener&) = delete;
    ReportListener& operator=(const ReportListener&) = delete;

    // Closes the interface open now, then opens the one at path (read and write, shared) and
    // starts the thread. False when the interface cannot be opened: the listener stays
    // closed, with no thread, until the next open.
    bool open(const std::wstring& path);
    // True when the thread had ended (or none ran) within kStopTimeout.
    bool close();

    bool isOpen() const;
    ListenerLink link() const { return m_link; }

private:
    struct Record;
    static void listen(Record& record, platform::Event& stop);

    ListenerLink m_link;
    Sink m_sink;
    std::shared_ptr<Record> m_record; // shared with the thread while it runs
    platform::WorkerThread m_thread;
};

// The code of the last report read on any cable listener of the process (0 before the
// first); the keyboard's synchronisation reads it to tell 0x0402 from 0x0401.
[[nodiscard]] std::uint16_t lastCableUsage();

} // namespace model
