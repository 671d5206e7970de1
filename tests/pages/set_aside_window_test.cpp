// Stored files too large to read, met by the window: the user is told which file was kept
// aside, and the profiles and macros it named are still there to choose.
#include "app/main_wnd_fixture.h"

#include "devsim/keyboard.h"
#include "pages/device_profile_ui.h"
#include "pages/page_handlers.h"
#include "platform/text.h"
#include "profile/json_file.h"

#include <chrono>
#include <fstream>
#include <string>
#include <vector>

using namespace std::chrono_literals;

namespace {

class SetAsideWindowTest : public testing_support::MainWindowTest {
protected:
    void plugKeyboard()
    {
        ASSERT_TRUE(open());
        keyboard.plug(devsim::KeyboardLink::Cable);
        ASSERT_TRUE(ui().waitFor(
            [&] { return window().activeDevice() && window().activeDevice()->isOnline(); }, 5s));
    }
    CDeviceProfileUI* panel() { return pages::profilePanelOf(window().activeDevice()); }

    devsim::Keyboard keyboard;
    std::vector<std::wstring> said;
};

} // namespace

TEST_F(SetAsideWindowTest, AnOversizedProfileListIsNamedToTheUserAndItsProfilesKept)
{
    answerPrompt = [this](std::wstring_view text, int) -> UINT {
        said.emplace_back(text);
        return 1;
    };
    plugKeyboard();
    ASSERT_NE(panel(), nullptr);
    ASSERT_NE(panel()->model(), nullptr);
    ASSERT_TRUE(panel()->model()->add().listChanged);
    const auto profileCount = panel()->model()->items().size();
    panel()->model()->list().GetProfileCount();
    const std::filesystem::path folder = panel()->model()->list().GetProfilePath(0).parent_path();
    ASSERT_FALSE(folder.empty());
    close();
    keyboard.unplug(devsim::KeyboardLink::Cable);
    said.clear();

    const auto list = folder / "ProfileList.ini";
    {
        std::ofstream big(list, std::ios::binary);
        big.seekp(static_cast<std::streamoff>(profile::kMaxJsonFileSize));
        big.put('}');
    }
    plugKeyboard();
    ASSERT_NE(panel(), nullptr);
    ASSERT_TRUE(ui().waitFor([&] { return !said.empty(); }, 5s));
    const std::string message = platform::toUtf8(said.front());
    EXPECT_NE(message.find("too large to read"), std::string::npos) << message;
    EXPECT_NE(message.find("ProfileList.ini.toolarge"), std::string::npos) << message;
    // Both stored profiles are back in the fresh list, beside the one it starts with.
    EXPECT_GE(panel()->model()->items().size(), profileCount);
    EXPECT_TRUE(std::filesystem::exists(folder / "ProfileList.ini.toolarge"));
}

TEST_F(SetAsideWindowTest, ADamagedProfileListIsNamedAndItsProfilesComeBackAsTheyWere)
{
    answerPrompt = [this](std::wstring_view text, int) -> UINT {
        said.emplace_back(text);
        return 1;
    };
    plugKeyboard();
    ASSERT_NE(panel(), nullptr);
    ASSERT_TRUE(panel()->model()->add().listChanged);
    const std::vector<std::wstring> names = panel()->model()->items();
    const std::filesystem::path list = panel()->model()->list().listPath();
    close();
    keyboard.unplug(devsim::KeyboardLink::Cable);
    said.clear();

    std::ofstream(list, std::ios::trunc) << "{\"profilelist\": [";
    plugKeyboard();
    ASSERT_NE(panel(), nullptr);
    ASSERT_TRUE(ui().waitFor([&] { return !said.empty(); }, 5s));
    const std::string message = platform::toUtf8(said.front());
    EXPECT_NE(message.find("ProfileList.ini.corrupt"), std::string::npos) << message;
    EXPECT_NE(message.find("made again from the profile files"), std::string::npos) << message;
    // The user's own profiles, no factory one shown as theirs.
    EXPECT_EQ(panel()->model()->items(), names);
}
