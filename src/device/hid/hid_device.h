#pragma once

// CHidDevice: the program's only door to the hardware. One object wraps one open HID
// top-level collection; it lists the HID collections present, opens one by path, learns
// its capabilities from its report descriptor and moves reports with time-outs and a stop
// signal raised by another thread.
//
// Contract used by the command channel and the detection code (implementation and
// backends in this folder; the hidraw backend in hidraw/, the simulated one in sim/):
//   - Read/Write return 1 on success and 0 otherwise (time-out, stop, gone device,
//     wrong length); the byte count out-parameter is 0 on failure.
//   - Close() from another thread makes a waiting Read/Write return 0 within 50 ms.
//   - Paths carry "vid_XXXX", "pid_XXXX", "&mi_NN", "&colNN" (hexadecimal).

#include "device/hid/hid_types.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace hid {
class Connection;
struct CollectionInfo;
struct ReportCap;
} // namespace hid

class CHidDevice {
public:
    CHidDevice();
    ~CHidDevice();
    CHidDevice(const CHidDevice&) = delete;
    CHidDevice& operator=(const CHidDevice&) = delete;

    // Refreshes the path list from every backend; resets the cursor. False, with an empty
    // list, when enumeration failed (callers skip that pass).
    [[nodiscard]] bool Enumerate();
    // The next path of the list, or nullopt when the list is empty or exhausted.
    [[nodiscard]] std::optional<std::wstring> NextPath();
    void FreePathList();

    [[nodiscard]] bool Open(const std::wstring& path, hid::OpenMode mode);
    // Why the last Open failed; nullopt after a successful one.
    const std::optional<hid::OpenFailure>& lastOpenFailure() const { return m_lastOpenFailure; }
    void Close();

    // Drops the input reports received but not read yet.
    void discardInput();

    int Read(std::span<std::uint8_t> buffer, std::uint32_t& bytesRead,
             std::chrono::milliseconds timeout);
    int Write(std::span<const std::uint8_t> buffer, std::uint32_t& bytesWritten,
              std::chrono::milliseconds timeout);

    // Fills the input data list from one input report (first byte: report id). Returns
    // hid::kStatusSuccess or the first failing value status.
    int UnpackInputReport(std::span<const std::uint8_t> report);

    bool isOpen() const;
    // Open, but the device behind the connection went away: it can never be read or
    // written again, even when the same device comes back under the same path.
    bool isGone() const;
    const std::wstring& path() const { return m_path; }
    // The device behind the open connection, for its ownership lock (hid::Connection).
    std::wstring ownerIdentity() const;
    const hid::Caps& caps() const { return m_caps; }
    const hid::Attributes& attributes() const { return m_attributes; }
    std::uint32_t interfaceNumber() const { return m_interfaceNumber; }
    std::uint32_t collectionNumber() const { return m_collectionNumber; }
    const std::vector<hid::DataEntry>& inputData() const { return m_inputData; }
    const std::vector<hid::DataEntry>& outputData() const { return m_outputData; }
    const std::vector<hid::DataEntry>& featureData() const { return m_featureData; }

private:
    // Implementation state is the hid helper's to shape; see hid_device.cpp.
    std::vector<std::wstring> m_paths;
    std::size_t m_pathCursor = 0;
    hid::OpenMode m_mode{};
    std::wstring m_path;
    hid::Caps m_caps{};
    hid::Attributes m_attributes{};
    std::uint32_t m_interfaceNumber = 0;
    std::uint32_t m_collectionNumber = 0;
    std::vector<hid::DataEntry> m_inputData;
    std::vector<hid::DataEntry> m_outputData;
    std::vector<hid::DataEntry> m_featureData;
    std::optional<hid::OpenFailure> m_lastOpenFailure;

    void buildDataLists(const hid::Connection& connection);
    std::shared_ptr<hid::Connection> connection() const;

    // Guards m_connection only and is never held during a transfer. A transfer keeps its
    // own reference, so Close never frees a connection that a read or write is still inside.
    mutable std::mutex m_connectionLock;
    std::shared_ptr<hid::Connection> m_connection;
    // Between Open, which rebuilds the data lists, and UnpackInputReport on a listener thread.
    std::mutex m_dataLock;
    std::shared_ptr<const hid::CollectionInfo> m_collectionInfo;
    std::vector<const hid::ReportCap*> m_inputSources; // the cap of each input data entry
};
