#include "device/model/device_core.h"

#include "platform/debug_output.h"
#include "platform/folders.h"

#include <algorithm>
#include <mutex>

namespace model {
namespace {

// Stands in while no control shows the device.
DeviceView& noView()
{
    static DeviceView view;
    return view;
}

// Notices waiting for a UI thread that does not come (no view, a stalled loop) are bounded;
// the latest ones are kept, since each states the device as it is now.
constexpr std::size_t kMaxPendingNotices = 64;

bool isReceiverKind(detect::DeviceTypeId kind)
{
    return kind == detect::DeviceTypeId::KeyboardReceiver ||
           kind == detect::DeviceTypeId::MouseReceiver;
}

} // namespace

struct DeviceCore::NoticeQueue {
    std::mutex lock;
    std::vector<ConsumerReport> notices;
    DeviceView* target = nullptr;
    bool posted = false;

    // On a listener thread.
    void add(const ConsumerReport& report)
    {
        if (report.action == ConsumerAction::Ignore)
            return;
        std::lock_guard guard(lock);
        if (notices.size() >= kMaxPendingNotices)
            notices.erase(notices.begin());
        notices.push_back(report);
        // One message carries every notice queued before it is handled.
        if (!posted && target != nullptr)
            posted = target->postDeviceNotices();
    }
};

DeviceCore::DeviceCore()
    : m_dataRoot(platform::userDataFolder() / kDataFolderName),
      m_factoryFolder(platform::programFolder() / kFactoryFolderName)
{
    m_notices = std::make_shared<NoticeQueue>();
    const auto sink = [notices = m_notices](const ConsumerReport& report) { notices->add(report); };
    m_cableListener = std::make_unique<ReportListener>(ListenerLink::Cable, sink);
    m_receiverListener = std::make_unique<ReportListener>(ListenerLink::Receiver, sink);
}

DeviceCore::~DeviceCore()
{
    // The listeners' sink uses the notice queue and the view: they end first.
    m_cableListener->close();
    m_receiverListener->close();
}

std::uint16_t DeviceCore::firmwareVersion() const
{
    if (!m_channel.isOpen())
        return 0;
    return const_cast<CDeviceProtocol&>(m_channel).wiredLink().attributes().version;
}

bool DeviceCore::openListener(const std::wstring& path, detect::DeviceTypeId kind)
{
    return (isReceiverKind(kind) ? m_receiverListener : m_cableListener)->open(path);
}

bool DeviceCore::closeListener(detect::DeviceTypeId kind)
{
    return (isReceiverKind(kind) ? m_receiverListener : m_cableListener)->close();
}

bool DeviceCore::isListening(ListenerLink link) const
{
    return (link == ListenerLink::Receiver ? m_receiverListener : m_cableListener)->isOpen();
}

void DeviceCore::setIdentity(const detect::SupportedInterface& row)
{
    m_identity = row;
    m_typeId = row.typeId;
    m_role = row.role;
}

void DeviceCore::setKeyCount(int count)
{
    m_keyCount = std::max(count, 0);
}

void DeviceCore::setPaused(bool paused)
{
    if (m_wireless)
        m_paused = paused;
}

void DeviceCore::setNames(std::wstring descriptionFile, std::wstring folderName,
                          std::wstring lightPresetName)
{
    m_descriptionFile = std::move(descriptionFile);
    m_folderName = std::move(folderName);
    m_lightPresetName = std::move(lightPresetName);
}

std::filesystem::path DeviceCore::dataFolder() const
{
    const std::filesystem::path folder = m_dataRoot / m_folderName;
    if (const auto created = platform::createFolders(folder); !created)
        platform::debugOutput(L"cannot create the data folder " + folder.wstring());
    return folder;
}

std::filesystem::path DeviceCore::factoryProfilePath() const
{
    return m_factoryFolder / (m_folderName + L".Json");
}

void DeviceCore::setView(DeviceView* view)
{
    m_view = view;
    std::lock_guard guard(m_notices->lock);
    m_notices->target = view;
    m_notices->posted = false;
}

DeviceView& DeviceCore::view()
{
    return m_view != nullptr ? *m_view : noView();
}

std::vector<ConsumerReport> DeviceCore::takeNotices()
{
    std::vector<ConsumerReport> notices;
    std::lock_guard guard(m_notices->lock);
    notices.swap(m_notices->notices);
    m_notices->posted = false;
    return notices;
}

} // namespace model
