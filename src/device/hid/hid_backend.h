#pragma once

// The seam between CHidDevice and the ways of reaching a HID collection: the hidraw
// backend (hidraw/) and the simulated interfaces (sim/). Each backend lists its collections
// as paths and opens one of its own paths as a Connection.

#include "device/hid/hid_types.h"
#include "device/hid/report_descriptor.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace hid {

enum class Transfer {
    Done,
    TimedOut,
    Stopped, // the owner closed the connection
    Gone,    // the device was unplugged
    Failed,
};

// One open top-level collection. Thread-safe: one thread may wait in read or write while
// another calls stop(); a connection stays valid until the last transfer inside it returns.
class Connection {
public:
    Connection(CollectionInfo collection, Attributes attributes, OpenMode mode)
        : m_collection(std::move(collection)), m_attributes(attributes), m_mode(mode)
    {
    }
    virtual ~Connection() = default;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    const CollectionInfo& collection() const { return m_collection; }
    const Attributes& attributes() const { return m_attributes; }
    const OpenMode& mode() const { return m_mode; }

    // Names the device for its ownership lock, the same in every process that reaches it
    // (the node of a hidraw interface; the serving process and its own path for a simulated
    // one). Empty: the path serves.
    [[nodiscard]] virtual std::wstring ownerIdentity() const { return {}; }

    // One input report of the collection, written as exactly input.byteLength bytes
    // (shorter reports zero-padded, longer ones cut); `buffer` holds at least that many.
    [[nodiscard]] virtual Transfer read(std::span<std::uint8_t> buffer,
                                        std::chrono::milliseconds timeout) = 0;
    // One output report of exactly output.byteLength bytes, report id byte first.
    [[nodiscard]] virtual Transfer write(std::span<const std::uint8_t> report,
                                         std::chrono::milliseconds timeout) = 0;
    // Ends every waiting and later transfer with Stopped at once. Any thread.
    virtual void stop() = 0;
    // Drops every input report that came before the call, those the system still holds for
    // the connection included, so the next read can only return a later one.
    virtual void discardInput() = 0;
    // Done while the connection works; Stopped once its owner closed it, Gone once the
    // device went away (a replugged device needs a new connection).
    [[nodiscard]] virtual Transfer endState() const = 0;

private:
    CollectionInfo m_collection;
    Attributes m_attributes;
    OpenMode m_mode;
};

class Backend {
public:
    virtual ~Backend() = default;
    // Appends the path of every collection present; false when the listing failed.
    [[nodiscard]] virtual bool enumerate(std::vector<std::wstring>& paths) = 0;
    // Null when the path is not this backend's or cannot be opened; for a path of its own
    // the backend says why in `failure` (and in the debug output).
    [[nodiscard]] virtual std::unique_ptr<Connection> open(const std::wstring& path, OpenMode mode,
                                                           OpenFailure& failure) = 0;
    // Whether the path is this backend's and its device is still there; no I/O on it.
    [[nodiscard]] virtual bool isPresent(const std::wstring& path) = 0;
    // While on, a backend whose collections come and go outside the system's device events
    // calls notifyChange (hid_changes.h) when they do.
    virtual void watchChanges(bool on) { (void)on; }
};

// Every backend of the build, in the order their collections are listed.
std::span<Backend* const> backends();

} // namespace hid
