#pragma once

// What every device shares whatever its family: the link (the command channel, the
// listener links and what they heard), who it is, where its profile and files live, and
// the view it tells about changes. No device operation lives here; the families add those.
//
// Threads: the owner's (UI) thread, except the listeners, which only queue notices.

#include "device/detect/supported_interfaces.h"
#include "device/model/device_view.h"
#include "device/model/report_listener.h"
#include "device/protocol/device_protocol.h"
#include "device/protocol/sequences.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace model {

inline constexpr const wchar_t* kDataFolderName = L"SPhalvek2vizudi";
inline constexpr const wchar_t* kFactoryFolderName = L"DefaultData";

class DeviceCore {
public:
    DeviceCore();
    virtual ~DeviceCore();
    DeviceCore(const DeviceCore&) = delete;
    DeviceCore& operator=(const DeviceCore&) = delete;

    // Link state. The listener channel only holds the input links (wired, receiver) and
    // their locks; its open flag means the wired input link is open.
    CDeviceProtocol& channel() { return m_channel; }
    const CDeviceProtocol& channel() const { return m_channel; }
    CDeviceProtocol& listenerChannel() { return m_listenerChannel; }
    const protocol::InfoBlock& info() const { return m_info; }
    // The wired link's firmware version while the channel is open, else 0.
    std::uint16_t firmwareVersion() const;
    // Request frames the device's operations have issued, for reports and benchmarks.
    std::uint64_t requestFrames() const { return m_channel.framesSent(); }

    // The listeners on the consumer interfaces, one per link; the kind (cable or receiver
    // type id) picks the link. Opening a link's listener closes its previous interface.
    bool openListener(const std::wstring& path, detect::DeviceTypeId kind);
    // True when its thread ended within the listener's stop bound (or none ran).
    bool closeListener(detect::DeviceTypeId kind);
    bool isListening(ListenerLink link) const;

    // Identity.
    // Also sets the device type id and role from the row.
    void setIdentity(const detect::SupportedInterface& row);
    const detect::SupportedInterface& identity() const { return m_identity; }
    detect::DeviceTypeId typeId() const { return m_typeId; }
    detect::InterfaceRole role() const { return m_role; }
    void SetKind(detect::DeviceKind kind) { m_kind = kind; }
    detect::DeviceKind GetKind() const { return m_kind; }
    // Negative counts are 0.
    void setKeyCount(int count);
    int keyCount() const { return m_keyCount; }
    void setDeviceNumber(int number) { m_deviceNumber = number; }
    int deviceNumber() const { return m_deviceNumber; }
    void setWireless(bool wireless) { m_wireless = wireless; }
    bool isWireless() const { return m_wireless; }
    // Only a wireless device can be paused.
    void setPaused(bool paused);
    bool isPaused() const { return m_paused; }

    // Names.
    void setNames(std::wstring descriptionFile, std::wstring folderName,
                  std::wstring lightPresetName);
    const std::wstring& descriptionFile() const { return m_descriptionFile; }
    const std::wstring& folderName() const { return m_folderName; }
    const std::wstring& lightPresetName() const { return m_lightPresetName; }

    // Profile binding: which profile the device shows, and where its files live. The data
    // root defaults to the user's data folder + "SPhalvek2vizudi" and the factory folder to
    // the program folder + "DefaultData"; tests and halvekctl point them elsewhere.
    void setProfileBaseName(std::wstring name) { m_profileBaseName = std::move(name); }
    const std::wstring& profileBaseName() const { return m_profileBaseName; }
    void SelectProfile(int index) { m_selectedProfile = index; }
    int selectedProfile() const { return m_selectedProfile; }
    void setDataRoot(std::filesystem::path root) { m_dataRoot = std::move(root); }
    void setFactoryFolder(std::filesystem::path folder) { m_factoryFolder = std::move(folder); }
    const std::filesystem::path& factoryFolder() const { return m_factoryFolder; }
    // The device's data folder, created when missing (a failure shows in later file work).
    std::filesystem::path dataFolder() const;
    // The factory profile: factory folder + folder name + ".Json".
    std::filesystem::path factoryProfilePath() const;

    // The view the device tells about changes; null (the default) tells nobody. Once it
    // returns, no listener calls the previous view any more.
    virtual void setView(DeviceView* view);

protected:
    DeviceView& view();
    protocol::InfoBlock& mutableInfo() { return m_info; }
    // What the listeners heard since the last call.
    std::vector<ConsumerReport> takeNotices();

private:
    CDeviceProtocol m_channel;
    CDeviceProtocol m_listenerChannel;
    protocol::InfoBlock m_info{};

    detect::SupportedInterface m_identity;
    detect::DeviceTypeId m_typeId = detect::DeviceTypeId::KeyboardCable;
    detect::InterfaceRole m_role = detect::InterfaceRole::Command;
    detect::DeviceKind m_kind = detect::DeviceKind::Keyboard;
    int m_keyCount = 0;
    int m_deviceNumber = -1;
    bool m_wireless = false;
    bool m_paused = false;

    std::wstring m_descriptionFile;
    std::wstring m_folderName;
    std::wstring m_lightPresetName = L"novik_light";

    std::wstring m_profileBaseName;
    int m_selectedProfile = -1;
    std::filesystem::path m_dataRoot;
    std::filesystem::path m_factoryFolder;

    DeviceView* m_view = nullptr;

    // What the listeners heard, for the UI thread, and the view they post through. Shared
    // with the listeners' sink, so that a listener thread late to end never uses the device.
    struct NoticeQueue;
    std::shared_ptr<NoticeQueue> m_notices;
    // After the queue they fill; closed first in the destructor.
    std::unique_ptr<ReportListener> m_cableListener;
    std::unique_ptr<ReportListener> m_receiverListener;
};

} // namespace model
