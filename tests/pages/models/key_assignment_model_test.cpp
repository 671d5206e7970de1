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
    int writeUsedMacros() override { return macroStatus; }
    int writeKeyMap() override
    {
        ++keyMapWrites;
        return keyMapResult;
    }
    bool saveProfile() override
    {
        ++saves;
        return true;
    }

    std::vector<profile::KeyFunctionCode> stored;
    int macroStatus = 0;
    int keyMapResult = 1;
    int keyMapWrites = 0;
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
    model.Apply();
    device.keyMapResult = -102;
    auto outcome = model.WriteToDevice(L"too big %d", L"no image");
    EXPECT_FALSE(outcome.written);
    EXPECT_TRUE(model.buttonsEnabled()); // a failed write stays dirty

    device.keyMapResult = 1;
    device.macroStatus = -1;
    outcome = model.WriteToDevice(L"too big %d", L"no image");
    EXPECT_TRUE(outcome.written);
    EXPECT_EQ(outcome.message, L"no image");
    EXPECT_FALSE(model.buttonsEnabled());

    // Macros that do not fit: nothing is written, and the text is data, not a format.
    model.Apply();
    device.macroStatus = 12;
    const int writes = device.keyMapWrites;
    outcome = model.WriteToDevice(L"%s %n over by %d", L"no image");
    EXPECT_FALSE(outcome.written);
    EXPECT_EQ(outcome.message, L"%s %n over by 12");
    EXPECT_EQ(device.keyMapWrites, writes);
    EXPECT_TRUE(model.buttonsEnabled());
}

} // namespace
