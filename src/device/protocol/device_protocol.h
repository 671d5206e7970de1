#pragma once

// CDeviceProtocol: the command channel to one configurable device. It owns the device's two
// HID links (its own cable, the wired link; its 2.4 GHz receiver, the receiver link), knows
// which one is in use, and carries one command at a time as a 64-byte frame, then reads
// frames until the answer to that command arrives.
//
// Threads: commands come from the UI thread; the lighting, listener and synchronisation
// threads only read the flags (and the listener re-opens its links under the locks).
// Every command returns a protocol::Status; callers test for exactly Status::Ok.

#include "device/hid/hid_device.h"
#include "device/protocol/commands.h"
#include "device/protocol/frame.h"
#include "device/protocol/status.h"
#include "platform/device_lock.h"
#include "platform/event.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace protocol {

enum class Link { Wired, Receiver };
// The link modes of the supported-interface table: 2 is the receiver, anything else wired.
enum class LinkMode { Wired = 1, Receiver = 2 };
[[nodiscard]] constexpr LinkMode linkModeFromValue(int value)
{
    return value == static_cast<int>(LinkMode::Receiver) ? LinkMode::Receiver : LinkMode::Wired;
}

inline constexpr std::chrono::milliseconds kWiredTimeout{1000};
inline constexpr std::chrono::milliseconds kReceiverTimeout{5000};
inline constexpr std::uint8_t kWiredChunkSize = 56;
inline constexpr std::uint8_t kReceiverChunkSize = 24;
// The recoil pattern command ignores the link's chunk size.
inline constexpr std::uint8_t kShootDataChunkSize = 56;
inline constexpr std::chrono::milliseconds kEndDelay{10};
// How long a command or sequence waits while another program holds the device. Far longer
// than any sequence of ours; a holder that keeps it longer is stuck or streaming for good.
inline constexpr std::chrono::milliseconds kDeviceWait{5000};
// A live frame waits for another sequence only this long, then is dropped. It goes first
// once that sequence ends, so this need only outlast one sequence on the cable: dropped,
// the sender backs off for a whole 200 ms, which costs the stream far more than the wait.
// A whole apply is one sequence, about 75 ms on the cable (33 frames); one that takes
// longer costs the stream its frames either way, and a longer wait would only hold up
// whoever stops the stream. The frames handed over meanwhile replace the waiting one on
// the pump, not queue behind.
inline constexpr std::chrono::milliseconds kLiveFrameWait{100};

} // namespace protocol

class CDeviceProtocol;

namespace protocol {
// Holds a channel's device for a scope; status() is Ok while it does. A closed channel sends
// nothing and needs no hold: Ok at once.
class DeviceHold {
public:
    explicit DeviceHold(CDeviceProtocol& channel, std::chrono::milliseconds wait = kDeviceWait,
                        platform::DeviceLock::Turn turn = platform::DeviceLock::Turn::Queue);
    ~DeviceHold();
    DeviceHold(const DeviceHold&) = delete;
    DeviceHold& operator=(const DeviceHold&) = delete;
    Status status() const { return m_status; }
    bool isHeld() const { return m_status == Status::Ok; }

private:
    CDeviceProtocol& m_channel;
    bool m_holding = false;
    Status m_status = Status::Ok;
};
} // namespace protocol

class CDeviceProtocol {
public:
    CDeviceProtocol();
    ~CDeviceProtocol();
    CDeviceProtocol(const CDeviceProtocol&) = delete;
    CDeviceProtocol& operator=(const CDeviceProtocol&) = delete;

    // Above 512 is refused and changes nothing.
    [[nodiscard]] bool setBlockSize(std::size_t size);
    std::uint16_t blockSize() const { return m_blockSize; }

    // Receiver: receiver link, 5000 ms, 24-byte chunks. Wired: wired link, 1000 ms, 56 bytes.
    void setLinkMode(protocol::LinkMode mode);
    bool isReceiverMode() const { return m_receiverMode.load(std::memory_order_relaxed); }
    // The listener's holder channel uses the flag alone to mean "receiver listener open".
    void setReceiverMode(bool on) { m_receiverMode.store(on, std::memory_order_relaxed); }
    std::uint8_t chunkSize() const { return m_chunkSize.load(std::memory_order_relaxed); }

    bool isOpen() const { return m_open.load(std::memory_order_relaxed); }
    void setOpen(bool open);
    bool isBusy() const { return m_busy.load(std::memory_order_relaxed); }
    // Request frames written to the device whole, by every command of this channel. Figures
    // that count frames take them from here: only the channel knows how many went out.
    std::uint64_t framesSent() const { return m_framesSent.load(std::memory_order_relaxed); }
    bool isLightingSync() const { return m_lightingSync.load(std::memory_order_relaxed); }
    void setLightingSync(bool on);
    // `changed` is set after the open or the synchronised-lighting flag changes, for threads
    // that sleep until one does. Held weakly: a watcher that ends needs no goodbye, and one
    // watching already is not added twice. Any thread.
    void watchFlags(const std::weak_ptr<platform::Event>& changed);

    // Detection and the listener open, close and switch links under these locks themselves.
    CHidDevice& wiredLink() { return m_wiredLink; }
    CHidDevice& receiverLink() { return m_receiverLink; }
    std::recursive_mutex& transferLock() { return m_transferLock; }
    std::recursive_mutex& secondLock() { return m_secondLock; }

    // Holds the device against other programs and this program's other threads, for a whole
    // sequence (Begin … End, a block write, a whole apply, one live frame's chunks). Re-entrant;
    // every command holds it too. Ok, or DeviceHeld after waiting `wait` (refusal() says who holds
    // it), or NoReply when the device's lock file cannot be used. Each Ok pairs with one
    // releaseDevice() on the same thread. Lock order: before the command and live locks.
    // A live frame goes First: it takes the device before waiting sequences, of this
    // program and of others, as soon as the current holder lets go.
    [[nodiscard]] protocol::Status
    holdDevice(std::chrono::milliseconds wait = protocol::kDeviceWait,
               platform::DeviceLock::Turn turn = platform::DeviceLock::Turn::Queue);
    void releaseDevice();
    // Why the last hold was refused: "device held by halvekctl (pid 4121) for more than ...".
    [[nodiscard]] std::string refusal() const;

    // Opens one link for commands under the transfer lock and, on success, marks the channel
    // open, and names the device's lock after the link. The link mode is the caller's to choose.
    [[nodiscard]] bool openLink(protocol::Link link, const std::wstring& path);
    // Under the transfer lock: clears the open flag and closes both links.
    void closeLinks();

    // The logged exchange of every command but 18: one write, then up to two reads until the
    // reply echoes the request's command, length and offset; two that do not are NoReply.
    // A report of any length but a whole frame counts as a failed read; at most reply.size()
    // bytes are copied. bytesRead is 0 on failure.
    [[nodiscard]] protocol::Status Transact(std::span<const std::uint8_t> request,
                                            std::span<std::uint8_t> reply,
                                            std::uint32_t& bytesRead);
    // Command 18's exchange: wired link, matched as Transact, no trace, busy untouched.
    [[nodiscard]] protocol::Status QuickTransact(std::span<const std::uint8_t> request,
                                                 std::span<std::uint8_t> reply,
                                                 std::uint32_t& bytesRead);

    // The device's commands. Each takes its lock, sends its frames through Transact (command
    // 18 through QuickTransact) and maps the reply. Sizes come from the spans; a span too
    // small for what the command moves, or a transfer that would run past offset 0xFFFF, is
    // refused with NoReply and nothing is sent.
    [[nodiscard]] protocol::Status Begin();
    // The device wants a 10 ms pause before End; it is taken before the command lock, so
    // other commands are not held up by it.
    [[nodiscard]] protocol::Status End();
    [[nodiscard]] protocol::Status ReadInfo(std::span<std::uint8_t> info);
    [[nodiscard]] protocol::Status ReadSettings(std::span<std::uint8_t> destination,
                                                std::size_t offset);
    [[nodiscard]] protocol::Status WriteSettings(std::span<const std::uint8_t> data,
                                                 std::size_t offset);
    // Block-size bytes from offset 0.
    [[nodiscard]] protocol::Status ReadKeyLayout(std::span<std::uint8_t> destination);
    // Block-size bytes of keyMap at bank × 512 + position; only bank 0 exists (BankRefused).
    [[nodiscard]] protocol::Status WriteKeyMap(std::span<const std::uint8_t> keyMap, int bank,
                                               std::size_t position);
    // At group × stride + position, under the live lock.
    [[nodiscard]] protocol::Status WriteCustomColours(std::span<const std::uint8_t> colours,
                                                      std::size_t group, std::size_t stride,
                                                      std::size_t position);
    // Wired only and never waiting for a logged exchange: a chunk that meets one is dropped.
    // NoReply when anything was dropped or not sent, so the sender can back off.
    [[nodiscard]] protocol::Status LiveColours(std::span<const std::uint8_t> colours,
                                               std::size_t position);
    [[nodiscard]] protocol::Status WriteMacros(std::span<const std::uint8_t> block,
                                               std::size_t position);
    // No lock of its own; 56-byte chunks on either link.
    [[nodiscard]] protocol::Status WriteShootData(std::span<const std::uint8_t> block,
                                                  std::size_t position);
    // One frame: at most 56 bytes.
    [[nodiscard]] protocol::Status ReadPower(std::span<std::uint8_t> destination,
                                             std::uint16_t offset);
    // Block-size / 3 bytes from offset 0.
    [[nodiscard]] protocol::Status ReadLedMap(std::span<std::uint8_t> destination);
    [[nodiscard]] protocol::Status HostLighting();
    // Whether the device behind the receiver is reachable; true on the cable without asking.
    [[nodiscard]] bool LinkStatus();

private:
    // The four command shapes; the caller holds the command's lock.
    [[nodiscard]] protocol::Status simpleCommand(std::uint8_t command,
                                                 protocol::Frame* reply = nullptr);
    [[nodiscard]] protocol::Status chunkedWrite(std::uint8_t command,
                                                std::span<const std::uint8_t> data,
                                                std::size_t base, std::size_t chunkSize);
    [[nodiscard]] protocol::Status chunkedRead(std::uint8_t command,
                                               std::span<std::uint8_t> destination,
                                               std::size_t base, std::size_t chunkSize);
    [[nodiscard]] protocol::Status
    singleRead(std::uint8_t command, std::span<std::uint8_t> destination, std::uint16_t offset);
    [[nodiscard]] protocol::Status exchange(const protocol::Frame& request, protocol::Frame& reply);

    // One request and its answer: stale input dropped, the write, up to two reads.
    [[nodiscard]] protocol::Status sendAndAwait(CHidDevice& link, const protocol::Frame& frame,
                                                std::span<std::uint8_t> reply,
                                                std::uint32_t& bytesRead,
                                                std::chrono::milliseconds timeout, bool receiver);
    void flagsChanged();

    [[nodiscard]] static protocol::Status readFrame(CHidDevice& link, protocol::Frame& frame,
                                                    std::chrono::milliseconds timeout);

    // Declaration order is construction order; the links go after the locks on destruction.
    std::uint16_t m_blockSize = protocol::kMaxBlockSize;
    std::atomic<bool> m_busy{false};
    std::atomic<bool> m_open{false};
    std::atomic<bool> m_lightingSync{false};
    std::mutex m_watchLock;
    std::vector<std::weak_ptr<platform::Event>> m_flagWatchers;
    CHidDevice m_wiredLink;
    CHidDevice m_receiverLink;
    std::recursive_mutex m_transferLock; // after m_commandLock or m_liveLock, never before
    std::recursive_mutex m_secondLock;   // the listener's receiver re-open only
    std::recursive_mutex m_commandLock;  // before m_transferLock, never after
    std::recursive_mutex m_liveLock;     // before m_transferLock, never after
    std::atomic<bool> m_receiverMode{false};
    std::atomic<std::uint8_t> m_chunkSize{protocol::kReceiverChunkSize};
    std::atomic<std::uint64_t> m_framesSent{0};
    // Ownership of the device: threads of this process meet at the gate, programs at the
    // lock file. Taken before m_commandLock and m_liveLock, never after.
    std::mutex m_gate;
    std::condition_variable m_gateChanged;
    std::thread::id m_owner;           // under m_gate; the thread holding the device
    int m_ownerDepth = 0;              // under m_gate
    int m_firstWaiting = 0;            // under m_gate; live frames waiting for the device
    platform::DeviceLock m_deviceLock; // its owner's, or under m_gate while no one owns it
    mutable std::mutex m_refusalLock;
    std::string m_refusal; // under m_refusalLock
};
