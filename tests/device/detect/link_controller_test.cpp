#include "device/detect/link_controller.h"

#include "device/detect/device_watcher.h"
#include "device/detect/direct_sink.h"
#include "device/detect/hid_interface_source.h"
#include "device/protocol/device_protocol.h"
#include "devsim/keyboard_interfaces.h"
#include "platform/debug_output.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <optional>

using namespace std::chrono_literals;

namespace {

constexpr std::size_t kCableRow = 0;
constexpr std::size_t kCableConsumerRow = 1;
constexpr std::size_t kReceiverRow = 2;

class KeyboardObject : public detect::LinkedDevice {
public:
    KeyboardObject() : m_identity(detect::supportedInterfaces()[kCableRow]) {}

    CDeviceProtocol& channel() override { return m_channel; }
    const detect::SupportedInterface& identity() const override { return m_identity; }
    void setIdentity(const detect::SupportedInterface& row) override { m_identity = row; }
    bool isWireless() const override { return false; }
    void openListener(const std::wstring&, detect::DeviceTypeId kind) override
    {
        listeners.push_back(kind);
    }
    void closeListener(detect::DeviceTypeId) override { listeners.pop_back(); }
    void reReadState() override { ++stateReads; }

    std::vector<detect::DeviceTypeId> listeners;
    int stateReads = 0;

private:
    CDeviceProtocol m_channel;
    detect::SupportedInterface m_identity;
};

// The main window's part, reduced to what a test can observe.
class TestHost : public detect::LinkHost {
public:
    std::vector<detect::LinkedDevice*> devices() override
    {
        if (!keyboard)
            return {};
        return {keyboard.get()};
    }
    void ensureDevice(std::size_t) override
    {
        if (createDevices && !keyboard)
            keyboard = std::make_unique<KeyboardObject>();
    }
    void channelOpened(detect::LinkedDevice&, bool onCable) override
    {
        tileVisible = tileVisible || onCable;
    }
    void channelClosed(detect::LinkedDevice&) override { tileVisible = false; }
    void switchedLink(detect::LinkedDevice&, bool toReceiver) override
    {
        switches.push_back(toReceiver);
    }
    void bringForward() override {}

    bool createDevices = true;
    std::unique_ptr<KeyboardObject> keyboard;
    bool tileVisible = false;
    std::vector<bool> switches;
};

class LinkControllerTest : public ::testing::Test {
protected:
    void pass() { watcher.runPass(stop); }
    CDeviceProtocol& channel() { return host.keyboard->channel(); }

    devsim::KeyboardInterfaces cable{devsim::KeyboardLink::Cable};
    devsim::KeyboardInterfaces receiver{devsim::KeyboardLink::Receiver};
    detect::InterfaceTable table;
    detect::HidInterfaceSource source;
    TestHost host;
    detect::LinkController controller{table, host};
    detect::DirectSink driver{controller};
    detect::DeviceWatcher watcher{table, source, driver};
    platform::Event stop{platform::Event::ResetPolicy::Manual};
};

} // namespace

TEST_F(LinkControllerTest, CablePluggedWhileReceiverInUseSwitchesToTheWiredLink)
{
    receiver.plug();
    pass();
    ASSERT_TRUE(channel().isOpen());
    EXPECT_TRUE(channel().isReceiverMode());
    EXPECT_EQ(channel().chunkSize(), protocol::kReceiverChunkSize);

    cable.plug();
    pass();
    EXPECT_TRUE(channel().isOpen());
    EXPECT_FALSE(channel().isReceiverMode());
    EXPECT_EQ(channel().chunkSize(), protocol::kWiredChunkSize);
    EXPECT_EQ(host.switches, (std::vector<bool>{false}));
    EXPECT_TRUE(table.row(kReceiverRow).present);
    EXPECT_EQ(channel().HostLighting(), protocol::Status::Ok);
}

TEST_F(LinkControllerTest, CablePulledMovesTheDeviceToItsReceiver)
{
    cable.plug();
    receiver.plug();
    pass();
    ASSERT_FALSE(channel().isReceiverMode());
    EXPECT_TRUE(host.tileVisible);

    cable.unplug();
    pass();
    EXPECT_TRUE(channel().isOpen());
    EXPECT_TRUE(channel().isReceiverMode());
    EXPECT_EQ(channel().chunkSize(), protocol::kReceiverChunkSize);
    EXPECT_TRUE(host.tileVisible);
    EXPECT_EQ(channel().HostLighting(), protocol::Status::Ok);
}

TEST_F(LinkControllerTest, ReceiverPulledWhileOnTheCableChangesNothing)
{
    cable.plug();
    receiver.plug();
    pass();
    receiver.unplug();
    pass();
    EXPECT_TRUE(channel().isOpen());
    EXPECT_FALSE(channel().isReceiverMode());
    EXPECT_TRUE(host.switches.empty());
}

TEST_F(LinkControllerTest, LastLinkGoneClosesTheChannelAndHidesTheTile)
{
    cable.plug();
    pass();
    ASSERT_TRUE(channel().isOpen());
    cable.unplug();
    pass();
    EXPECT_FALSE(channel().isOpen());
    EXPECT_FALSE(host.tileVisible);
    EXPECT_EQ(channel().HostLighting(), protocol::Status::NoReply);
}

TEST_F(LinkControllerTest, ArrivalWithoutADeviceObjectDoesNothing)
{
    host.createDevices = false;
    platform::clearDebugLines();
    cable.plug();
    pass();
    EXPECT_TRUE(platform::debugLinesContain(L"arrival: no device object"));
    EXPECT_TRUE(table.row(kCableRow).present);
}

TEST_F(LinkControllerTest, ConsumerInterfaceOpensTheListenerBesideTheChannel)
{
    cable.plug();
    pass();
    EXPECT_TRUE(table.row(kCableConsumerRow).present);
    EXPECT_EQ(host.keyboard->listeners,
              (std::vector<detect::DeviceTypeId>{detect::DeviceTypeId::KeyboardCable}));
    cable.unplug();
    pass();
    EXPECT_TRUE(host.keyboard->listeners.empty());
}

TEST_F(LinkControllerTest, ReplugWithinOnePassRunsRemovalThenArrival)
{
    cable.plug();
    pass();
    ASSERT_TRUE(channel().isOpen());
    // Out and back in before the next pass, as after a resume: the path is listed again but
    // the channel's connection is dead.
    cable.unplug();
    cable.plug();
    pass();
    EXPECT_FALSE(channel().isOpen());
    EXPECT_FALSE(table.row(kCableRow).present);
    pass();
    ASSERT_TRUE(channel().isOpen());
    EXPECT_TRUE(host.tileVisible);
    EXPECT_EQ(channel().HostLighting(), protocol::Status::Ok);
}

TEST_F(LinkControllerTest, ReceiverReplugWhileOnTheCableSettlesAfterOneRemoval)
{
    cable.plug();
    receiver.plug();
    pass();
    receiver.unplug();
    receiver.plug();
    for (int i = 0; i < 4; ++i)
        pass();
    EXPECT_TRUE(table.row(kReceiverRow).present);
    platform::clearDebugLines();
    pass();
    pass();
    // Neither removed nor arriving again: the stale connection was told once.
    EXPECT_FALSE(platform::debugLinesContain(L"删除一个键盘设备"));
    EXPECT_FALSE(platform::debugLinesContain(L"添加一个键盘设备"));
    EXPECT_FALSE(channel().isReceiverMode());
    EXPECT_EQ(channel().HostLighting(), protocol::Status::Ok);
}

TEST_F(LinkControllerTest, RefusedPermissionIsToldWithTheNodeAndTheRule)
{
    cable.compositeInterface().denyAccess(true);
    cable.plug();
    pass();
    EXPECT_FALSE(host.keyboard && channel().isOpen());
    const auto problems = table.permissionProblems();
    ASSERT_EQ(problems.size(), 2u); // the consumer and the command collection
    EXPECT_EQ(problems[0].row, kCableRow);
    EXPECT_EQ(problems[1].row, kCableConsumerRow);
    EXPECT_EQ(problems[0].missing, "read");
    const std::string text = detect::describe(problems[0], std::nullopt); // a checkout
    for (const char* part : {"keyboard (cable)", "no permission to read", "&col04",
                             "sudo install -m 0644 packaging/udev/70-halvek.rules "
                             "/etc/udev/rules.d/ && sudo udevadm trigger"})
        EXPECT_NE(text.find(part), std::string::npos) << part << "\n" << text;

    // The rule installed: the next pass claims the interfaces, and the problem is gone.
    cable.compositeInterface().denyAccess(false);
    pass();
    ASSERT_TRUE(channel().isOpen());
    EXPECT_TRUE(table.permissionProblems().empty());
}

TEST(PermissionProblem, OnlyRefusedOpensOfSupportedInterfacesCount)
{
    const std::wstring keyboard = L"\\\\?\\hid#vid_36b0&pid_5078&mi_01&col04#hidraw3#";
    hid::OpenFailure refused{hid::OpenFailure::Kind::PermissionDenied, "/dev/hidraw3",
                             hid::kChannelMode, "Permission denied"};
    const auto problem = detect::permissionProblemFor(keyboard, refused);
    ASSERT_TRUE(problem);
    EXPECT_EQ(problem->row, kCableRow);
    EXPECT_EQ(problem->node, "/dev/hidraw3");
    EXPECT_EQ(problem->missing, "read and write");

    auto gone = refused;
    gone.kind = hid::OpenFailure::Kind::NotFound;
    EXPECT_FALSE(detect::permissionProblemFor(keyboard, gone));
    // Another maker's device, or a collection no row names.
    EXPECT_FALSE(detect::permissionProblemFor(L"\\\\?\\hid#vid_046d&pid_c52b&mi_01&col04#hidraw4#",
                                              refused));
    EXPECT_FALSE(
        detect::permissionProblemFor(L"\\\\?\\hid#vid_36b0&pid_5078&mi_00#hidraw2#", refused));
}

TEST(PermissionProblem, APackagedProgramIsToldToApplyItsInstalledRuleOncePerNode)
{
    hid::OpenFailure refused{hid::OpenFailure::Kind::PermissionDenied, "/dev/hidraw3",
                             hid::kChannelMode, "Permission denied"};
    const auto command =
        detect::permissionProblemFor(L"\\\\?\\hid#vid_36b0&pid_5078&mi_01&col04#hidraw3#", refused);
    const auto consumer =
        detect::permissionProblemFor(L"\\\\?\\hid#vid_36b0&pid_5078&mi_01&col03#hidraw3#", refused);
    ASSERT_TRUE(command && consumer);
    const std::string text =
        detect::describe(*command, std::filesystem::path("/lib/udev/rules.d/70-halvek.rules"));
    for (const char* part : {"/lib/udev/rules.d/70-halvek.rules", "udevadm trigger", "replug"})
        EXPECT_NE(text.find(part), std::string::npos) << part << "\n" << text;
    EXPECT_EQ(text.find("packaging/udev"), std::string::npos) << "no source tree in a package";

    // Two collections of one node are one problem to tell; another node is another.
    auto other = *command;
    other.node = "/dev/hidraw5";
    const auto told = detect::onePerNode({*command, *consumer, other});
    ASSERT_EQ(told.size(), 2u);
    EXPECT_EQ(told[0].node, "/dev/hidraw3");
    EXPECT_EQ(told[1].node, "/dev/hidraw5");
}

// A user who reads the README and one who reads the program's hint run the same command.
TEST(PermissionProblem, TheHintsCommandsAreTheReadmesLetterForLetter)
{
    std::ifstream in(std::string(HALVEK_SOURCE_DIR) + "/README.md");
    ASSERT_TRUE(in.good());
    std::string readme;
    bool space = false;
    for (auto it = std::istreambuf_iterator<char>(in); it != std::istreambuf_iterator<char>();
         ++it) {
        // A command the README wraps over two lines is still one command.
        const bool blank = *it == ' ' || *it == '\n';
        if (!blank || !space)
            readme += blank ? ' ' : *it;
        space = blank;
    }
    const std::filesystem::path installed("/lib/udev/rules.d/70-halvek.rules");
    const struct {
        std::optional<std::filesystem::path> rule;
        const char* command;
    } cases[] = {{std::nullopt, detect::kUdevInstall}, {installed, detect::kUdevTrigger}};
    for (const auto& hint : cases) {
        EXPECT_NE(detect::udevRuleAdvice(hint.rule).find(hint.command), std::string::npos)
            << hint.command;
        EXPECT_NE(readme.find(hint.command), std::string::npos) << hint.command;
    }
}
