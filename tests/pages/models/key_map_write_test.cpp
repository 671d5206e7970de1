// Macros, then the key map that names them, against the emulated keyboard: the key map goes
// out only after the keyboard took the macros.
#include "pages/models/key_map_write.h"

#include "device/model/keyboard_model.h"
#include "device/protocol/commands.h"
#include "devsim/keyboard.h"
#include "pages/models/keyboard_with_panel.h"
#include "profile/key_codes.h"
#include "profile/macro_library.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string_view>
#include <vector>

using devsim::Fault;
using pages::MacroBlock;
using protocol::Status;

namespace {

class KeyMapWriteTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(
            testing_support::openKeyboardWithPanel(temp.path(), keyboard, device, panel));
        ASSERT_EQ(keyboard.ReadDevice(), Status::Ok);
        ASSERT_EQ(keyboard.LoadProfile(), model::ProfileResult::Ok);
        profile::MacroLibrary library(keyboard.dataFolder());
        library.Load();
        ASSERT_FALSE(library.NewMacro().empty());
        ASSERT_TRUE(
            library.SaveMacro(0, {{R"({"Type": 10, "Action": "down", "Button": 4})", L"20"},
                                  {R"({"Type": 10, "Action": "up", "Button": 4})", L"20"}}));
    }

    // Gives the first key that has a slot on the keyboard macro 0, played once; its slot.
    std::size_t useTheMacro()
    {
        const auto& slots = keyboard.positionToSlot();
        auto keys = keyboard.keys();
        for (std::size_t position = 0; position < keys.size() && position < slots.size();
             ++position) {
            if (slots[position] == model::kUnmapped)
                continue;
            keys[position].current =
                profile::makeCode(0x70, 0x00, 0x01, keys[position].current.keyIndex);
            keyboard.setKeys(keys);
            return slots[position];
        }
        ADD_FAILURE() << "no key has a slot";
        return 0;
    }

    bool keyMapSent() const
    {
        const auto sent = device.commandsReceived();
        return std::ranges::find(sent, protocol::command::kWriteKeyMap) != sent.end();
    }

    testing_support::TempDir temp;
    devsim::Keyboard device;
    model::KeyboardModel keyboard;
    std::unique_ptr<pages::ProfilePanelModel> panel;
};

} // namespace

TEST_F(KeyMapWriteTest, TheKeyMapGoesOutOnlyAfterTheKeyboardTookTheMacros)
{
    const std::size_t slot = useTheMacro();
    struct Case {
        const char* name;
        std::vector<Fault> faults; // ReadInfo, Begin, then the block's one chunk
        MacroBlock macros;
        Status macroStatus;
        std::optional<Status> keyMap;
        std::wstring_view textId; // empty: nothing to say
    };
    const std::vector<Case> cases{
        {"block refused",
         {Fault::None, Fault::None, Fault::StatusFF},
         MacroBlock::Refused,
         Status::DeviceErrorFF,
         std::nullopt,
         L"macros_refused_text"},
        {"begin refused",
         {Fault::None, Fault::StatusFE},
         MacroBlock::Refused,
         Status::DeviceErrorFE,
         std::nullopt,
         L"macros_refused_text"},
        // Nothing came back: the link's words, not a refusal's.
        {"no reply",
         {Fault::None, Fault::None, Fault::Lost},
         MacroBlock::Refused,
         Status::NoReply,
         std::nullopt,
         L"change_not_written_gone_text"},
        {"taken", {}, MacroBlock::Written, Status::Ok, Status::Ok, L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        device.clearReceived();
        for (const Fault fault : c.faults)
            device.injectFault(fault);
        const pages::KeyMapWrite written = pages::writeMacrosThenKeys(keyboard);
        device.clearFaults();
        EXPECT_EQ(written.macros, c.macros);
        EXPECT_EQ(written.macroStatus, c.macroStatus);
        EXPECT_EQ(written.keyMap, c.keyMap);
        EXPECT_EQ(keyMapSent(), c.keyMap.has_value());
        EXPECT_EQ(written.macrosUsed, std::vector<int>{0});
        const auto words = written.message();
        EXPECT_EQ(words ? words->textId : std::wstring_view(), c.textId);
        // A key map held back is still owed: the pending marker keeps it unwritten.
        EXPECT_EQ(written.keyMapStatus() == Status::Ok, c.keyMap == Status::Ok);
    }
    const auto keyMap = device.area(devsim::Area::KeyMap);
    ASSERT_LT(slot * protocol::kKeyEntrySize, keyMap.size());
    EXPECT_EQ(keyMap[slot * protocol::kKeyEntrySize], 0x70);
}

TEST_F(KeyMapWriteTest, KeysWithoutMacrosSendNoMacroBlock)
{
    device.clearReceived();
    const pages::KeyMapWrite written = pages::writeMacrosThenKeys(keyboard);
    EXPECT_TRUE(written.isWritten());
    EXPECT_TRUE(written.macrosUsed.empty());
    EXPECT_FALSE(written.message());
    const auto sent = device.commandsReceived();
    EXPECT_EQ(std::ranges::find(sent, protocol::command::kWriteMacros), sent.end());
    EXPECT_TRUE(keyMapSent());
}
