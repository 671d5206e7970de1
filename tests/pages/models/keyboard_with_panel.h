#pragma once

#include "device/model/keyboard_model.h"
#include "devsim/keyboard.h"
#include "pages/models/profile_device_steps.h"
#include "pages/models/profile_panel_model.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

namespace testing_support {

// The keyboard model with the factory files copied into `root`/DefaultData, its profile
// panel made and adopted, and the emulated keyboard plugged in on its cable and opened.
// Call through ASSERT_NO_FATAL_FAILURE.
inline void openKeyboardWithPanel(const std::filesystem::path& root, model::KeyboardModel& keyboard,
                                  devsim::Keyboard& device,
                                  std::unique_ptr<pages::ProfilePanelModel>& panel)
{
    const std::filesystem::path factory = root / "DefaultData";
    std::filesystem::create_directories(factory);
    for (const char* name : {"keyboard.Json", "default_light.json"})
        std::filesystem::copy_file(std::filesystem::path(HALVEK_SOURCE_DIR) / "data" /
                                       "DefaultData" / name,
                                   factory / name);
    keyboard.setDataRoot(root / "data");
    keyboard.setFactoryFolder(factory);
    panel = std::make_unique<pages::ProfilePanelModel>(
        detect::DeviceKind::Keyboard, keyboard.dataFolder(), factory / "keyboard.Json");
    ASSERT_FALSE(panel->initialize());
    pages::adoptPanelProfile(keyboard, *panel);
    device.plug(devsim::KeyboardLink::Cable);
    ASSERT_TRUE(keyboard.channel().openLink(protocol::Link::Wired,
                                            device.commandPath(devsim::KeyboardLink::Cable)));
    keyboard.channel().setLinkMode(protocol::LinkMode::Wired);
}

} // namespace testing_support
