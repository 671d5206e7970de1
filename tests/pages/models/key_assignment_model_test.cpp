#include "pages/models/key_assignment_model.h"

#include "profile/key_codes.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using profile::makeCode;

class FakeDevice : public pages::KeyAssignmentDevice {
public:
    void storeSelectedKey(const profile::KeyAssignment& assignment) override
    {
        stored.push_back(assignment.current);
    }
    pages::KeyMapWrite writeKeys() override { return written; }
    bool saveProfile() override
    {
        ++saves;
        return fileWritable;
    }

    std::vector<profile::KeyFunctionCode> stored;
    pages::KeyMapWrite written;
    bool fileWritable = true;
    int saves = 0;
};

const auto kEsc = makeCode(0x20, 0x00, 0x29, 45);

class KeyAssignmentModelTest : public ::testing::Test {
protected:
    void SetUp() override { model.SetKey(kEsc, kEsc); }
    profile::KeyFunctionCode last() const { return device.stored.back(); }

    FakeDevice device;
    pages::KeyAssignmentModel model{device};
};

TEST_F(KeyAssignmentModelTest, TableCategoriesStoreTheChosenEntry)
{
    model.state().comboKeyIndex = 4;
    model.SelectCategory(static_cast<int>(profile::KeyFunctionCategory::ComboKey));
    EXPECT_EQ(last(), makeCode(0x20, 0x01, 0x06)); // Ctrl+C
    EXPECT_EQ(last().keyIndex, 45);
    EXPECT_TRUE(model.buttonsEnabled());

    model.state().mediaIndex = 6;
    model.SelectCategory(static_cast<int>(profile::KeyFunctionCategory::Media));
    EXPECT_EQ(last(), makeCode(0x30, 0xE9, 0x00)); // volume up

    model.state().mouseKeyIndex = 2;
    model.SelectCategory(static_cast<int>(profile::KeyFunctionCategory::MouseKey));
    EXPECT_EQ(last(), makeCode(0x10, 0x02, 0x00));

    // A selection past the table (a skin with more items) keeps the code.
    model.state().mouseKeyIndex = 9;
    model.Apply();
    EXPECT_EQ(last(), makeCode(0x10, 0x02, 0x00));
}

TEST_F(KeyAssignmentModelTest, MacroChoiceWithRepeatModesAndCounts)
{
    model.state().macroItemCount = 3;
    model.state().macroIndex = 1;
    model.state().category = static_cast<int>(profile::KeyFunctionCategory::Macro);
    model.SelectRepeat(2);
    EXPECT_EQ(last(), makeCode(0x70, 0x01, 0x02));
    EXPECT_FALSE(model.state().cycleAreaVisible);

    model.state().cycleText = L"7";
    model.SelectRepeat(profile::kRepeatCountEntry);
    EXPECT_TRUE(model.state().cycleAreaVisible);
    EXPECT_EQ(last(), makeCode(0x71, 0x01, 0x07));

    // No repeat chosen is the first mode, not 0xFF.
    model.SelectRepeat(-1);
    EXPECT_EQ(last(), makeCode(0x70, 0x01, 0x00));

    // A macro index past the list leaves the key as it was.
    model.state().macroIndex = 3;
    model.SelectRepeat(1);
    EXPECT_EQ(last(), makeCode(0x70, 0x01, 0x00));
}

TEST_F(KeyAssignmentModelTest, ChoosingTheKeyboardCategoryClearsTheKey)
{
    model.state().keyText = L"A";
    model.state().modifierOption = 1;
    model.SelectCategory(static_cast<int>(profile::KeyFunctionCategory::Keyboard));
    EXPECT_TRUE(model.state().keyText.empty());
    EXPECT_EQ(model.state().modifierOption, -1);
    // A keyboard key with no key yet is no function: the key keeps the one it has.
    EXPECT_TRUE(device.stored.empty());
}

TEST_F(KeyAssignmentModelTest, CaptureBuildsModifierAndKey)
{
    model.SelectCategory(static_cast<int>(profile::KeyFunctionCategory::Keyboard));

    // Right Shift alone ends as the left-hand Shift bit.
    ASSERT_TRUE(model.CaptureKey(0x36, true, L""));
    EXPECT_EQ(model.state().modifierOption, 2);
    EXPECT_EQ(last(), makeCode(0x20, 0x02, 0x00));

    model.SelectModifier(1);
    ASSERT_TRUE(model.CaptureKey(0x1E, false, L"A"));
    EXPECT_EQ(model.state().keyText, L"A");
    EXPECT_EQ(last(), makeCode(0x20, 0x01, 0x04));

    model.SelectModifier(-1);
    ASSERT_TRUE(model.CaptureKey(0x1E, false, L"A"));
    EXPECT_EQ(model.state().modifierOption, 0);
    EXPECT_EQ(last(), makeCode(0x20, 0x00, 0x04));

    // A key the tables do not know changes nothing.
    const auto stores = device.stored.size();
    EXPECT_FALSE(model.CaptureKey(0x6D, true, L"?"));
    EXPECT_EQ(device.stored.size(), stores);
}

TEST_F(KeyAssignmentModelTest, RestoreDefaultAndCancel)
{
    model.SetKey(makeCode(0x20, 0x01, 0x06, 45), kEsc);
    EXPECT_EQ(model.state().category, static_cast<int>(profile::KeyFunctionCategory::Keyboard));

    model.RestoreDefault();
    EXPECT_EQ(model.state().category, static_cast<int>(profile::KeyFunctionCategory::Default));
    EXPECT_TRUE(model.buttonsEnabled());
    EXPECT_TRUE(device.stored.empty()); // nothing stored before Apply
    model.Apply();
    EXPECT_EQ(last(), kEsc);

    model.state().comboKeyIndex = 0;
    model.SelectCategory(static_cast<int>(profile::KeyFunctionCategory::ComboKey));
    model.Cancel();
    EXPECT_FALSE(model.buttonsEnabled());
    EXPECT_EQ(model.current(), makeCode(0x20, 0x01, 0x12));
}

TEST_F(KeyAssignmentModelTest, WriteToDeviceReportsWhatTheDeviceDid)
{
    using pages::MacroBlock;
    using protocol::Status;
    struct Case {
        const char* name;
        pages::KeyMapWrite device;
        bool fileWritable;
        bool saved; // a save was tried
        bool clean; // the page's buttons went off
        std::vector<std::wstring_view> said;
    };
    const std::vector<Case> cases{
        {"written", {{}, MacroBlock::Written, Status::Ok, 0, Status::Ok}, true, true, true, {}},
        {"key map refused",
         {{}, MacroBlock::Written, Status::Ok, 0, Status::ReceiverAsleep},
         true,
         true,
         false,
         {L"change_not_written_asleep_text"}},
        // The image could not be built: said, and the keys went all the same.
        {"macros not prepared",
         {{0}, MacroBlock::NotPrepared, Status::Ok, 0, Status::Ok},
         true,
         true,
         true,
         {L"message_text_7"}},
        // Refused: the keys were held back; the edit is saved and the page stays dirty.
        {"macros refused",
         {{0}, MacroBlock::Refused, Status::DeviceErrorFF, 0, std::nullopt},
         true,
         true,
         false,
         {L"macros_refused_text"}},
        {"refused and not saved",
         {{0}, MacroBlock::Refused, Status::DeviceErrorFF, 0, std::nullopt},
         false,
         true,
         false,
         {L"macros_refused_text", L"change_not_saved_text"}},
        // Too long: the write ends before anything is saved.
        {"macros too long",
         {{0}, MacroBlock::DoNotFit, Status::Ok, 12, std::nullopt},
         true,
         false,
         false,
         {L"message_text_16"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        model.Apply();
        ASSERT_TRUE(model.buttonsEnabled());
        device.written = c.device;
        device.fileWritable = c.fileWritable;
        const int saves = device.saves;
        const auto outcome = model.WriteToDevice();
        EXPECT_EQ(device.saves - saves, c.saved ? 1 : 0);
        EXPECT_EQ(outcome.saved.has_value(), c.saved);
        EXPECT_EQ(!model.buttonsEnabled(), c.clean);
        std::vector<std::wstring_view> said;
        for (const auto& words : outcome.messages())
            said.push_back(words.textId);
        EXPECT_EQ(said, c.said);
    }
}

} // namespace
