#include "devsim/control.h"
#include "support/temp_dir.h"

#include "devsim/keyboard.h"
#include "devsim/state_file.h"

#include "device/hid/sim/sim_backend.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>

using devsim::KeyboardLink;

namespace {

bool refused(const std::string& answer)
{
    return answer.rfind("error:", 0) == 0;
}

} // namespace

TEST(Control, LinksSleepAndProfileSwitch)
{
    devsim::Keyboard keyboard;
    devsim::Control control(keyboard, {});
    EXPECT_FALSE(refused(control.run("plug cable")));
    EXPECT_TRUE(keyboard.isPlugged(KeyboardLink::Cable));
    EXPECT_FALSE(refused(control.run("unplug cable")));
    EXPECT_FALSE(keyboard.isPlugged(KeyboardLink::Cable));
    EXPECT_TRUE(refused(control.run("plug usb")));
    EXPECT_FALSE(refused(control.run("sleep")));
    EXPECT_TRUE(keyboard.isAsleep());
    EXPECT_TRUE(refused(control.run("report 0401"))) << "nothing plugged to carry it";
    EXPECT_FALSE(refused(control.run("profile 4")));
    EXPECT_EQ(keyboard.memory().activeSlot(), 4);
    for (const char* bad :
         {"profile 16", "profile -1", "profile x", "report 10000", "report zz", "fault lost 1001",
          "fault lost x", "fault nothing", "timing maybe", "dump flash", "frobnicate"})
        EXPECT_TRUE(refused(control.run(bad))) << bad;
    EXPECT_TRUE(control.run("").empty());
    EXPECT_FALSE(control.quitRequested());
    EXPECT_EQ(control.run("quit"), "bye\n");
    EXPECT_TRUE(control.quitRequested());
}

TEST(Control, DumpAndSave)
{
    testing_support::TempDir folder;
    devsim::Keyboard keyboard;
    EXPECT_TRUE(refused(devsim::Control(keyboard, {}).run("save")));
    devsim::Control control(keyboard, folder / "kb.json");
    EXPECT_EQ(control.run("dump info").substr(0, 26), "0000: 78 50 02 01 01 7e 20");
    EXPECT_NE(control.run("dump").find("colours:"), std::string::npos);
    (void)control.run("profile 2");
    EXPECT_FALSE(refused(control.run("save")));
    const auto saved = devsim::loadKeyboardState(folder / "kb.json");
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->activeSlot(), 2);
}

TEST(Control, DeniedOpensAndHeldWrites)
{
    devsim::Keyboard keyboard;
    devsim::Control control(keyboard, {});
    keyboard.plug(KeyboardLink::Cable);
    EXPECT_FALSE(refused(control.run("deny cable")));
    hid::OpenFailure failure;
    EXPECT_EQ(hid::sim::simBackend().open(keyboard.commandPath(KeyboardLink::Cable),
                                          hid::kChannelMode, failure),
              nullptr);
    EXPECT_EQ(failure.kind, hid::OpenFailure::Kind::PermissionDenied);
    EXPECT_FALSE(refused(control.run("allow cable")));
    auto connection = hid::sim::simBackend().open(keyboard.commandPath(KeyboardLink::Cable),
                                                  hid::kChannelMode, failure);
    ASSERT_NE(connection, nullptr);

    EXPECT_FALSE(refused(control.run("hold on")));
    std::array<std::uint8_t, 64> frame{0x04};
    EXPECT_EQ(connection->write(frame, std::chrono::milliseconds(20)), hid::Transfer::TimedOut);
    EXPECT_FALSE(refused(control.run("hold off")));
    EXPECT_EQ(connection->write(frame, std::chrono::milliseconds(2000)), hid::Transfer::Done);
    for (const char* bad : {"deny", "deny usb", "allow", "hold", "hold maybe"})
        EXPECT_TRUE(refused(control.run(bad))) << bad;
}
