#include "ui/script/script_runner.h"

#include "support/temp_dir.h"
#include "ui/combo_ui.h"
#include "ui/test_window.h"

#include <gtest/gtest.h>

#include <optional>

using namespace ui::script;
using testing_support::OpenWindow;
using testing_support::TempDir;

namespace {

const wchar_t* kSessionSkin = LR"(<Window size="320,240" caption="0,0,0,30">
  <VerticalLayout name="root" bkcolor="#FF1B1F24">
    <Button name="show_btn" height="30" text="show"/>
    <Label name="late_label" height="24" text="Ready" visible="false"/>
    <Edit name="name_edit" height="24"/>
    <Combo name="combo" height="24" dropboxsize="0,120">
      <ListLabelElement text="zero" height="24"/>
      <ListLabelElement text="one" height="24"/>
    </Combo>
    <Label name="hidden_label" height="24" text="hidden" visible="false"/>
    <Control/>
  </VerticalLayout>
</Window>)";

constexpr UINT_PTR kShowTimer = 7;

// A window whose "show" button reveals a label a little later, as a device notice would.
struct SessionWindow {
    SessionWindow() : w(kSessionSkin, 320, 240)
    {
        w.window->onNotify = [this](TNotifyUI& msg) {
            if (msg.sType == L"click" && msg.pSender && msg.pSender->GetName() == L"show_btn")
                w.window->SetTimer(kShowTimer, 60);
        };
        w.window->onMessage = [this](UINT msg, WPARAM wParam, LPARAM) {
            if (msg != WM_TIMER || wParam != kShowTimer)
                return false;
            w.window->KillTimer(kShowTimer);
            w.ui().find(L"late_label")->SetVisible(true);
            return true;
        };
    }
    OpenWindow w;
};

struct Session {
    std::optional<int> exitCode;
    std::vector<std::string> reports;
    std::vector<std::pair<SimAction, SimLink>> simulated;
};

// Runs the script on the window until it finishes or the time is up.
Session run(SessionWindow& window, const std::string& text, bool withSimulation = true,
            std::chrono::milliseconds waitTimeout = std::chrono::milliseconds(2000))
{
    Session session;
    auto steps = parseScript(text);
    EXPECT_TRUE(steps) << steps.error().message;
    if (!steps)
        return session;
    ScriptRunner runner(std::move(*steps), window.w.window->GetHWND());
    runner.setWaitTimeout(waitTimeout);
    runner.setReport([&](const std::string& line) { session.reports.push_back(line); });
    runner.setFinishedHandler([&](int code) { session.exitCode = code; });
    if (withSimulation)
        runner.setSimulationHandler([&](SimAction action, SimLink link) {
            session.simulated.emplace_back(action, link);
            return true;
        });
    runner.start();
    platform::MessageQueue::current().runUntil([&] { return !runner.isRunning(); },
                                               std::chrono::steady_clock::now() +
                                                   std::chrono::seconds(10));
    EXPECT_FALSE(runner.isRunning()) << "the script did not end in time";
    return session;
}

} // namespace

TEST(ScriptRunner, EveryStepHoldsAndQuitEndsWithZero)
{
    SessionWindow window;
    ASSERT_TRUE(window.w.opened);
    TempDir dir;
    const auto shot = dir / "shot.png";
    const Session session = run(window, "click show_btn\n"
                                        "wait late_label\n"
                                        "expect late_label Ready\n"
                                        "expect-visible hidden_label 0\n"
                                        "expect-visible no_such_control 0\n"
                                        "type name_edit abcd\n"
                                        "key Back\n"
                                        "expect name_edit abc\n"
                                        "key Ctrl+A\n"
                                        "key Ctrl+X\n"
                                        "expect name_edit\n"
                                        "key Ctrl+V\n"
                                        "expect name_edit abc\n"
                                        "select combo 1\n"
                                        "expect combo one\n"
                                        "sim unplug cable\n"
                                        "sim plug receiver\n"
                                        "sleep 20\n"
                                        "screenshot " +
                                            shot.string() + "\nquit\n");
    EXPECT_EQ(session.exitCode, 0);
    EXPECT_TRUE(session.reports.empty()) << session.reports.front();
    ASSERT_EQ(session.simulated.size(), 2u);
    EXPECT_EQ(session.simulated[0], std::make_pair(SimAction::Unplug, SimLink::Cable));
    EXPECT_EQ(session.simulated[1], std::make_pair(SimAction::Plug, SimLink::Receiver));
    const auto image = ui::loadPng(shot);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, 320);
    EXPECT_EQ(image->height, 240);
    EXPECT_TRUE(window.w.ui().saw(L"itemselect", L"combo"));
}

TEST(ScriptRunner, AFailingStepNamesItsLineAndEndsWithOne)
{
    SessionWindow window;
    ASSERT_TRUE(window.w.opened);
    const Session session = run(window, "expect-visible late_label 0\n"
                                        "# the label is hidden: clicking it fails\n"
                                        "click late_label\n"
                                        "sim plug cable\n"
                                        "quit\n");
    EXPECT_EQ(session.exitCode, 1);
    ASSERT_EQ(session.reports.size(), 1u);
    EXPECT_NE(session.reports[0].find("script line 3:"), std::string::npos) << session.reports[0];
    EXPECT_NE(session.reports[0].find("hidden"), std::string::npos) << session.reports[0];
    EXPECT_TRUE(session.simulated.empty()) << "nothing after the failing step runs";

    struct Case {
        const char* script;
        const char* why;
    };
    const Case cases[] = {
        {"click nowhere\n", "no control named \"nowhere\""},
        {"expect late_label Later\n", "the text is \"Ready\", not \"Later\""},
        {"expect-visible late_label 1\n", "hidden"},
        {"select combo 5\n", "no row 5"},
        {"wait late_label\n", "stayed hidden within 100 ms"},
        {"wait never_there\n", "no control of that name appeared"},
        {"screenshot /nonexistent-folder/x.png\n", "could not write"},
    };
    for (const auto& c : cases) {
        const Session failed = run(window, c.script, true, std::chrono::milliseconds(100));
        EXPECT_EQ(failed.exitCode, 1) << c.script;
        ASSERT_EQ(failed.reports.size(), 1u) << c.script;
        EXPECT_NE(failed.reports[0].find(c.why), std::string::npos) << failed.reports[0];
        EXPECT_EQ(failed.reports[0].rfind("script line 1: ", 0), 0u) << failed.reports[0];
    }
}

TEST(ScriptRunner, SimWithoutEmulatedDevicesFails)
{
    SessionWindow window;
    ASSERT_TRUE(window.w.opened);
    const Session session = run(window, "sim unplug receiver\nquit\n", false);
    EXPECT_EQ(session.exitCode, 1);
    ASSERT_EQ(session.reports.size(), 1u);
    EXPECT_NE(session.reports[0].find("--simulate"), std::string::npos);
}

TEST(ScriptRunner, WithoutQuitTheProgramGoesOn)
{
    SessionWindow window;
    ASSERT_TRUE(window.w.opened);
    const Session session = run(window, "click show_btn\nwait late_label\n");
    EXPECT_FALSE(session.exitCode) << "the finished handler ends the program; not without quit";
    EXPECT_TRUE(session.reports.empty());
    EXPECT_TRUE(platform::isWindow(window.w.window->GetHWND()));
}

TEST(ScriptRunner, FindsControlsInTheNewestShownWindowFirst)
{
    SessionWindow first;
    OpenWindow second(LR"(<Window size="100,100"><VerticalLayout>
        <Label name="late_label" text="Dialog"/></VerticalLayout></Window>)",
                      100, 100);
    ASSERT_TRUE(first.w.opened && second.opened);
    const FoundControl found = findControlInWindows(L"late_label");
    ASSERT_TRUE(found.control);
    EXPECT_EQ(found.control->GetText(), L"Dialog");
    second.window->ShowWindow(false);
    EXPECT_EQ(findControlInWindows(L"late_label").control->GetText(), L"Ready")
        << "shown windows before hidden ones";
    first.w.window->ShowWindow(false);
    EXPECT_NE(findControlInWindows(L"late_label").control, nullptr)
        << "found in hidden windows when nobody shows one";
}
