// The macro editor in the real main window with the emulated keyboard on its cable: recording
// through the input hook's test seam, the library's limits, imports and the device write.
#include "app/main_wnd_fixture.h"

#include "device/protocol/commands.h"
#include "device/protocol/macro_block.h"
#include "devsim/keyboard.h"
#include "pages/device_profile_ui.h"
#include "pages/devices/tessary_keyboard_device.h"
#include "pages/find_by_name.h"
#include "pages/macro_control_ui.h"
#include "pages/macro_page.h"
#include "pages/page_handlers.h"
#include "platform/text.h"
#include "profile/key_codes.h"
#include "profile/keyboard_profile_data.h"
#include "shell/main_messages.h"
#include "support/scripted_input_hook.h"
#include "ui/list_ui.h"

#include <json/reader.h>

#include <array>
#include <chrono>
#include <fstream>
#include <sstream>

using namespace std::chrono_literals;

namespace {

constexpr std::uint16_t kEvdevA = 30;
constexpr std::uint16_t kEvdevB = 48;
constexpr std::uint16_t kEvdevC = 46;
constexpr std::uint16_t kEvdevD = 32;

using FakeBackend = testing_support::ScriptedInputHook;

void writeText(const std::filesystem::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

std::string readText(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class MacroPageTest : public testing_support::MainWindowTest {
protected:
    void openWithKeyboard()
    {
        inputHook = [this] {
            auto hookBackend = std::make_unique<FakeBackend>(grabs);
            backend = hookBackend.get();
            return hookBackend;
        };
        ASSERT_TRUE(open());
        keyboard.plug(devsim::KeyboardLink::Cable);
        ASSERT_TRUE(ui().waitFor([&] { return window().activeDevice() != nullptr; }, 5s));
        ASSERT_TRUE(ui().waitFor([&] { return window().IsWindowVisible(); }));
        pages::PageHooks hooks;
        hooks.prompt = [this](const pages::PanelMessage& message, int buttons) -> unsigned {
            prompts.emplace_back(message.textId);
            numbers.push_back(message.number.value_or(-1));
            return buttons == 1 ? answer : 1u;
        };
        pages::installPageHandlers(window(), hooks);
        pages::MacroPageHooks macroHooks;
        macroHooks.prompt = hooks.prompt;
        macroHooks.now = [this] { return clock; };
        page = pages::installMacroPage(window(), macroHooks);
        window().ResizeClient(1500, 960);
        ui().pump();
        ui().render();
        // The keyboard has been read: its macro memory size is known.
        ASSERT_TRUE(ui().waitFor(
            [&] { return keyboardModel().info()[protocol::kInfoMacroUnits] != 0; }, 5s));
        ASSERT_TRUE(clickIn(L"macro_Op_tab"));
        ui().pump();
        ui().render();
        editor = pages::macroPageOf(window().activeDevice());
        ASSERT_NE(editor, nullptr);
    }

    model::KeyboardModel& keyboardModel()
    {
        return static_cast<CTessaryKeyboardDevice*>(
                   window().activeDevice()->page()->GetInterface(L"TessaryKeyboardDevice"))
            ->keyboard();
    }
    pages::MacroEditorModel& model() { return *editor->model(); }

    // A key position with a slot on the device; its key runs macro `macro`.
    std::size_t bindMacro(int macro, std::size_t skip = 0)
    {
        auto keys = keyboardModel().keys();
        const auto& slots = keyboardModel().positionToSlot();
        for (std::size_t p = 1; p < keys.size() && p < slots.size(); ++p) {
            if (slots[p] == model::kUnmapped || skip-- > 0)
                continue;
            keys[p].current = profile::makeCode(0x70, static_cast<std::uint8_t>(macro), 1);
            keyboardModel().setKeys(keys);
            keyboardModel().profile().StoreKeyList(keys);
            return p;
        }
        ADD_FAILURE() << "no key position with a slot";
        return 0;
    }

    void key(std::uint16_t evdev, bool down, std::uint32_t at)
    {
        clock = at;
        ASSERT_NE(backend, nullptr);
        ASSERT_NE(backend->sink(), nullptr);
        backend->sink()->onKey({evdev, down, at});
        ui().pump();
    }
    void press(std::uint16_t evdev, std::uint32_t down, std::uint32_t up)
    {
        key(evdev, true, down);
        key(evdev, false, up);
    }

    // (type, action, button, delay) of each event of the selected macro's file.
    using Event = std::tuple<int, std::string, int, std::string>;
    std::vector<Event> savedEvents(int macro)
    {
        std::istringstream in(readText(model().library().macroPath(macro)));
        Json::Value document;
        std::string errors;
        Json::CharReaderBuilder builder;
        EXPECT_TRUE(Json::parseFromStream(builder, in, &document, &errors)) << errors;
        std::vector<Event> events;
        for (const auto& event : document["Events"])
            events.emplace_back(event["Type"].asInt(), event["Action"].asString(),
                                event["Button"].asInt(), event["Delay"].asString());
        return events;
    }

    void run(std::wstring_view command, std::wstring path = {})
    {
        TNotifyUI carried;
        carried.sType = std::move(path);
        page->run(shell::Route{shell::RouteOwner::Macros, command}, &carried,
                  window().activeDevice());
        ui().pump();
    }
    // The mouse's page has controls of the same names: these look in the keyboard's.
    CControlUI* inPage(std::wstring_view name)
    {
        return pages::findByName(window().activeDevice()->page(), name);
    }
    bool clickAt(CControlUI* control)
    {
        ui().render();
        if (!control || !control->IsVisible() || !control->IsEnabled())
            return false;
        const RECT rc = control->GetPos();
        // A control pushed out of the window cannot be clicked by anyone.
        const RECT window = pm().GetRoot()->GetPos();
        if (rc.bottom > window.bottom || rc.right > window.right)
            return false;
        return ui().clickAt(POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2});
    }
    bool clickIn(std::wstring_view name) { return clickAt(inPage(name)); }
    bool selectIn(std::wstring_view name, int index)
    {
        auto* list = dynamic_cast<CListUI*>(inPage(name));
        if (!list || index >= list->GetCount())
            return false;
        // As a click on the row would: the list selects it and tells the window.
        const bool selected = list->SelectItem(index, false, true);
        ui().pump();
        return selected && list->GetCurSel() == index;
    }
    bool shownIn(std::wstring_view name)
    {
        CControlUI* control = inPage(name);
        return control && control->IsVisible();
    }
    std::wstring labelText(std::wstring_view name)
    {
        CControlUI* control = inPage(name);
        return control ? std::wstring(control->GetText()) : L"<missing>";
    }
    int actionRows()
    {
        auto* list = dynamic_cast<CListUI*>(inPage(L"macro_action_list"));
        return list ? list->GetCount() : -1;
    }

    devsim::Keyboard keyboard;
    std::shared_ptr<pages::MacroPage> page;
    CMacroControlUI* editor = nullptr;
    FakeBackend* backend = nullptr;
    int grabs = 0;
    std::uint32_t clock = 0;
    std::vector<std::wstring> prompts;
    std::vector<long long> numbers;
    unsigned answer = 1;
};

} // namespace

TEST_F(MacroPageTest, FourRecordedKeysReachTheFileAndAfterApplyTheKeyboard)
{
    ASSERT_NO_FATAL_FAILURE(openWithKeyboard());
    ASSERT_TRUE(clickIn(L"macro_btn_name_add"));
    ASSERT_EQ(model().names(), std::vector<std::wstring>{L"macro_1"});
    EXPECT_EQ(model().selectedMacro(), 0);
    const std::size_t position = bindMacro(0);

    clock = 1000;
    ASSERT_TRUE(clickIn(L"macro_btn_starredio"));
    EXPECT_EQ(grabs, 1);
    EXPECT_TRUE(shownIn(L"macro_btn_stopredio"));
    EXPECT_FALSE(shownIn(L"macro_btn_starredio"));
    press(kEvdevA, 1000, 1120);
    key(kEvdevA, false, 1130); // a second release of a key not held adds a row too
    press(kEvdevB, 1400, 1450);
    ASSERT_TRUE(clickIn(L"macro_btn_stopredio"));
    EXPECT_EQ(grabs, 0);
    EXPECT_FALSE(page->isRecording());

    EXPECT_EQ(savedEvents(0), (std::vector<Event>{{10, "down", 0x04, "120"},
                                                  {10, "up", 0x04, "10"},
                                                  {10, "up", 0x04, "270"},
                                                  {10, "down", 0x05, "50"},
                                                  {10, "up", 0x05, "0"}}));
    // Recording appended five rows; the extra release goes, and that is saved at once too.
    EXPECT_EQ(actionRows(), 5);
    ASSERT_TRUE(selectIn(L"macro_action_list", 2));
    ASSERT_TRUE(clickIn(L"macro_btn_delete"));
    EXPECT_EQ(actionRows(), 4);
    ASSERT_EQ(savedEvents(0).size(), 4u);
    EXPECT_EQ(std::get<3>(savedEvents(0)[1]), "10");
    shoot("macro-recorded");

    ASSERT_TRUE(clickIn(L"macro_btn_save"));
    EXPECT_TRUE(prompts.empty());
    EXPECT_EQ(labelText(L"macro_status_label"), L"Written to the keyboard");
    const devsim::KeyboardMemory memory = keyboard.memory();
    const auto block = protocol::parseMacroBlock(memory.area(devsim::Area::Macros));
    ASSERT_TRUE(block);
    ASSERT_EQ(block->size(), 1u);
    const std::vector<protocol::MacroEvent> expected{
        {120, 10, true, 0x04}, {10, 10, false, 0x04}, {50, 10, true, 0x05}, {0, 10, false, 0x05}};
    EXPECT_EQ((*block)[0].events, expected);
    // The key runs macro 0 on the device.
    const auto slot = keyboardModel().positionToSlot()[position];
    const auto keyMap = memory.area(devsim::Area::KeyMap);
    ASSERT_LT(slot * 3u + 2u, keyMap.size());
    EXPECT_EQ(keyMap[slot * 3u], 0x70);
    EXPECT_EQ(keyMap[slot * 3u + 1], 0);

    // A macro no key uses is saved, and the page does not claim the keyboard has it.
    ASSERT_TRUE(clickIn(L"macro_btn_name_add"));
    ASSERT_EQ(model().selectedMacro(), 1);
    ASSERT_TRUE(clickIn(L"macro_btn_save"));
    EXPECT_EQ(labelText(L"macro_status_label"),
              L"Saved. No key uses this macro, so nothing was written.");
}

TEST_F(MacroPageTest, ControlsThatCannotActAreOffUntilAMacroIsChosen)
{
    ASSERT_NO_FATAL_FAILURE(openWithKeyboard());
    const auto macroMemory = [this] {
        const devsim::KeyboardMemory memory = keyboard.memory();
        const auto area = memory.area(devsim::Area::Macros);
        return std::vector<std::uint8_t>(area.begin(), area.end());
    };
    const auto before = macroMemory();
    constexpr std::array kNeedAMacro = {L"macro_btn_starredio",
                                        L"macro_btn_deleteall",
                                        L"macro_btn_save",
                                        L"macro_btn_cancel",
                                        L"macro_btn_up",
                                        L"macro_btn_delete",
                                        L"macro_check_time",
                                        L"macro_fixed_time_edit",
                                        L"macro_btn_export",
                                        L"macro_btn_name_sub",
                                        L"macro_inset_moveleftkey_btn"};
    for (const auto name : kNeedAMacro) {
        ASSERT_NE(inPage(name), nullptr) << platform::toUtf8(name);
        EXPECT_FALSE(inPage(name)->IsEnabled()) << platform::toUtf8(name);
    }
    EXPECT_TRUE(shownIn(L"macro_empty_hint"));
    // Clicks on them reach nothing: no macro, no recording, no device write.
    EXPECT_FALSE(clickIn(L"macro_btn_starredio"));
    EXPECT_FALSE(clickIn(L"macro_btn_save"));
    EXPECT_EQ(grabs, 0);
    EXPECT_FALSE(shownIn(L"macro_status_label"));
    EXPECT_EQ(macroMemory(), before);

    ASSERT_TRUE(clickIn(L"macro_btn_name_add"));
    for (const auto name : kNeedAMacro)
        EXPECT_TRUE(inPage(name)->IsEnabled()) << platform::toUtf8(name);
    EXPECT_FALSE(shownIn(L"macro_empty_hint"));
    // While recording only stopping acts.
    ASSERT_TRUE(clickIn(L"macro_btn_starredio"));
    for (const auto name : {L"macro_btn_save", L"macro_btn_deleteall", L"macro_fixed_time_edit",
                            L"macro_inset_moveleftkey_btn"})
        EXPECT_FALSE(inPage(name)->IsEnabled()) << platform::toUtf8(name);
    ASSERT_TRUE(clickIn(L"macro_btn_stopredio"));
    EXPECT_TRUE(inPage(L"macro_btn_save")->IsEnabled());

    // Deleting the only macro leaves nothing chosen: off again.
    ASSERT_TRUE(clickIn(L"macro_btn_name_sub"));
    ASSERT_TRUE(model().names().empty());
    EXPECT_FALSE(inPage(L"macro_btn_starredio")->IsEnabled());
    EXPECT_FALSE(inPage(L"macro_btn_save")->IsEnabled());
}

TEST_F(MacroPageTest, AnImportedMacroIsNamedAfterItsFile)
{
    ASSERT_NO_FATAL_FAILURE(openWithKeyboard());
    const std::string events = R"({"MacroName": "theirs", "Events": [
        {"Type": 10, "Action": "down", "Button": 4, "Delay": "20"}]})";
    const std::string longName(40, 'x');
    for (const std::string name : {"Reload spray", "Reload spray", "   ", longName.c_str()})
        writeText(m_dir / (name + ".mac"), events);
    run(L"macro_btn_import", (m_dir / "Reload spray.mac").wstring());
    run(L"macro_btn_import", (m_dir / "Reload spray.mac").wstring());
    run(L"macro_btn_import", (m_dir / "   .mac").wstring());
    run(L"macro_btn_import", (m_dir / (longName + ".mac")).wstring());
    EXPECT_TRUE(prompts.empty());
    // A name already taken or blank keeps the numbered one; a long one is cut to fit.
    EXPECT_EQ(model().names(), (std::vector<std::wstring>{L"Reload spray", L"macro_1", L"macro_2",
                                                          std::wstring(32, L'x')}));
    EXPECT_EQ(model().selectedMacro(), 3);
    EXPECT_EQ(labelText(L"macro_name_item"), L"Reload spray");
    // The name is the library's: a fresh look at the folder finds it there.
    profile::MacroLibrary again(model().library().macroPath(0).parent_path());
    again.Load();
    EXPECT_EQ(again.find(L"Reload spray"), 0);
}

TEST_F(MacroPageTest, RecordingBeforeAfterAndReplacingOneFromTheActionMenu)
{
    ASSERT_NO_FATAL_FAILURE(openWithKeyboard());
    ASSERT_TRUE(clickIn(L"macro_btn_name_add"));
    clock = 0;
    ASSERT_TRUE(clickIn(L"macro_btn_starredio"));
    press(kEvdevA, 0, 100);
    press(kEvdevB, 200, 300);
    ASSERT_TRUE(clickIn(L"macro_btn_stopredio"));

    // Before "B down": C goes in at that place, with no delays.
    ASSERT_TRUE(selectIn(L"macro_action_list", 2));
    run(L"redio_previous_ignore_time");
    EXPECT_EQ(grabs, 1);
    press(kEvdevC, 1000, 1500);
    ASSERT_TRUE(clickIn(L"macro_btn_stopredio"));
    // After the first row: D follows it in order.
    ASSERT_TRUE(selectIn(L"macro_action_list", 0));
    run(L"redio_later_ignore_time");
    press(kEvdevD, 2000, 2100);
    ASSERT_TRUE(clickIn(L"macro_btn_stopredio"));
    using E = Event;
    // Each inserted event sets the delay of the row above it: none in this mode.
    EXPECT_EQ(savedEvents(0), (std::vector<E>{{10, "down", 0x04, "0"},
                                              {10, "down", 0x07, "0"},
                                              {10, "up", 0x07, "0"},
                                              {10, "up", 0x04, "0"},
                                              {10, "down", 0x06, "0"},
                                              {10, "up", 0x06, "0"},
                                              {10, "down", 0x05, "100"},
                                              {10, "up", 0x05, "0"}}));

    // Replacing the last row keeps its action and delay; the hook goes after one event.
    ASSERT_TRUE(selectIn(L"macro_action_list", 7));
    run(L"macro_action_edit");
    EXPECT_EQ(grabs, 1);
    key(kEvdevA, true, 3000);
    EXPECT_EQ(grabs, 0);
    EXPECT_FALSE(shownIn(L"macro_btn_stopredio"));
    EXPECT_EQ(savedEvents(0).back(), (E{10, "up", 0x04, "0"}));

    // Inserting without a selected row holds no hook.
    run(L"macro_btn_deleteall");
    run(L"redio_later_record_time");
    EXPECT_EQ(grabs, 0);
    EXPECT_FALSE(page->isRecording());
    // A click from the menu into the empty list: press and release with the fixed delay.
    run(L"left_click");
    EXPECT_EQ(savedEvents(0), (std::vector<E>{{1, "down", 1, "50"}, {1, "up", 1, "50"}}));
}

TEST_F(MacroPageTest, DeletingAMacroUsedInTwoProfilesMovesEveryKeyAlong)
{
    ASSERT_NO_FATAL_FAILURE(openWithKeyboard());
    ASSERT_TRUE(clickIn(L"macro_btn_name_add"));
    ASSERT_TRUE(clickIn(L"macro_btn_name_add"));
    ASSERT_EQ(model().names().size(), 2u);
    const std::size_t usesFirst = bindMacro(0);
    const std::size_t usesSecond = bindMacro(1, 1);
    ASSERT_NE(usesFirst, usesSecond);
    const auto defaultOfFirst = keyboardModel().keys()[usesFirst].defaultCode;
    ASSERT_EQ(keyboardModel().CommitProfile(), model::ProfileResult::Ok);

    // A second profile whose keys use both macros the other way round.
    CDeviceProfileUI* panel = pages::profilePanelOf(window().activeDevice());
    ASSERT_NE(panel, nullptr);
    ASSERT_TRUE(panel->model()->list().AddProfile());
    std::filesystem::path other;
    for (int i = 0; i < panel->model()->list().GetProfileCount(); ++i)
        if (panel->model()->list().GetProfilePath(i) != keyboardModel().GetProfilePath())
            other = panel->model()->list().GetProfilePath(i);
    ASSERT_FALSE(other.empty());
    {
        profile::CKeyboardProfiledata data;
        data.SetDefaultPath(keyboardModel().factoryProfilePath());
        data.LoadScratchFile(other);
        auto keys = data.LoadScratchKeyList();
        ASSERT_GT(keys.size(), usesSecond);
        keys[usesFirst].current = profile::makeCode(0x71, 1, 2);
        keys[usesSecond].current = profile::makeCode(0x70, 0, 1);
        data.StoreScratchKeyList(keys);
        ASSERT_EQ(data.SaveScratchData(other), 0);
    }

    ASSERT_TRUE(selectIn(L"macro_name_list", 0));
    // Declining the second question leaves everything as it was.
    answer = 0;
    ASSERT_TRUE(clickIn(L"macro_btn_name_sub"));
    EXPECT_EQ(prompts, std::vector<std::wstring>{L"message_text_4"});
    answer = 1;
    prompts.clear();
    ASSERT_TRUE(clickIn(L"macro_btn_name_sub"));
    EXPECT_EQ(prompts, (std::vector<std::wstring>{L"message_text_4", L"message_text_2"}));
    EXPECT_EQ(model().names(), std::vector<std::wstring>{L"macro_2"});
    // The current profile: the key of the deleted macro has its default back, the other
    // follows its macro down; both in memory, in the file and on the device.
    EXPECT_EQ(keyboardModel().keys()[usesFirst].current, defaultOfFirst);
    EXPECT_EQ(keyboardModel().keys()[usesSecond].current, profile::makeCode(0x70, 0, 1));
    profile::CKeyboardProfiledata saved;
    saved.SetDefaultPath(keyboardModel().factoryProfilePath());
    saved.LoadScratchFile(keyboardModel().GetProfilePath());
    EXPECT_EQ(saved.LoadScratchKeyList()[usesSecond].current, profile::makeCode(0x70, 0, 1));
    const auto slot = keyboardModel().positionToSlot()[usesSecond];
    EXPECT_EQ(keyboard.memory().area(devsim::Area::KeyMap)[slot * 3u], 0x70);
    // The other profile on disk.
    profile::CKeyboardProfiledata check;
    check.SetDefaultPath(keyboardModel().factoryProfilePath());
    check.LoadScratchFile(other);
    const auto keys = check.LoadScratchKeyList();
    EXPECT_EQ(keys[usesFirst].current, profile::makeCode(0x71, 0, 2));
    EXPECT_EQ(keys[usesSecond].current, keys[usesSecond].defaultCode);
}

TEST_F(MacroPageTest, TheLibraryLimitAndAnOverfullMacroMemoryShowBeforeAnyWrite)
{
    ASSERT_NO_FATAL_FAILURE(openWithKeyboard());
    for (int i = 0; i < 49; ++i)
        ASSERT_FALSE(model().library().NewMacro().empty());
    editor->ShowNames();
    EXPECT_TRUE(inPage(L"macro_btn_name_add")->IsEnabled());
    ASSERT_TRUE(clickIn(L"macro_btn_name_add"));
    EXPECT_EQ(labelText(L"macro_count_label"), L"50 / 50");
    EXPECT_FALSE(inPage(L"macro_btn_name_add")->IsEnabled());
    EXPECT_FALSE(inPage(L"macro_btn_import")->IsEnabled());
    run(L"macro_btn_name_add");
    run(L"macro_btn_import", (m_dir / "any.mac").wstring());
    EXPECT_EQ(prompts, (std::vector<std::wstring>{L"macro_limit_text", L"macro_limit_text"}));
    EXPECT_EQ(model().names().size(), 50u);
    prompts.clear();
    numbers.clear();

    // Macro 0 on a key, too long for the keyboard's 4096 bytes.
    const std::uint64_t capacity =
        std::uint64_t{keyboardModel().info()[protocol::kInfoMacroUnits]} *
        protocol::kMacroMemoryUnit;
    std::vector<profile::MacroRow> rows;
    const std::size_t events = capacity / 4 + 20;
    for (std::size_t i = 0; i < events; ++i)
        rows.push_back({R"({"Type": 10, "Action": "down", "Button": 4, "Delay": "1"})", L"1"});
    ASSERT_TRUE(model().library().SaveMacro(0, rows));
    bindMacro(0);
    ASSERT_TRUE(selectIn(L"macro_name_list", 0));
    const std::uint64_t needed = 16 + 2 + 4 + 4 * events;
    const long long over = static_cast<long long>((needed - capacity) / 4 + 1);
    EXPECT_EQ(labelText(L"macro_memory_label"),
              L"The macros are " + std::to_wstring(over) +
                  L" events too long for the device's memory; shorten them and try again.");
    ASSERT_TRUE(shownIn(L"macro_memory_label"));

    // Applying says so with the same number, and nothing reaches the device.
    const auto before = keyboard.memory();
    ASSERT_TRUE(clickIn(L"macro_btn_save"));
    EXPECT_EQ(prompts, std::vector<std::wstring>{L"message_text_16"});
    EXPECT_EQ(numbers, std::vector<long long>{over});
    EXPECT_EQ(labelText(L"macro_status_label"), L"Not written to the keyboard");
    const auto after = keyboard.memory();
    EXPECT_TRUE(
        std::ranges::equal(before.area(devsim::Area::Macros), after.area(devsim::Area::Macros)));
    EXPECT_TRUE(
        std::ranges::equal(before.area(devsim::Area::KeyMap), after.area(devsim::Area::KeyMap)));

    // A translation with printf conversions is shown as written, the number put in once.
    ASSERT_TRUE(CResourceManager::GetInstance()->LoadLanguageText(
        R"(<Language name="x"><Text id="message_text_16" value="%s %n %d%% %d"/></Language>)"));
    editor->SelectMacro();
    run(L"macro_btn_cancel");
    EXPECT_EQ(labelText(L"macro_memory_label"), L"%s %n " + std::to_wstring(over) + L"% %d");
    shoot("macro-over");
}

TEST_F(MacroPageTest, HostileMacroFilesAreRefusedOrClampedAndNothingIsLost)
{
    ASSERT_NO_FATAL_FAILURE(openWithKeyboard());
    ASSERT_TRUE(clickIn(L"macro_btn_name_add"));
    clock = 0;
    ASSERT_TRUE(clickIn(L"macro_btn_starredio"));
    press(kEvdevA, 0, 40);
    ASSERT_TRUE(clickIn(L"macro_btn_stopredio"));
    const std::string kept = readText(model().library().macroPath(0));
    const std::string index = readText(model().library().indexPath());

    std::string many = R"({"Events": [)";
    for (int i = 0; i < 4001; ++i)
        many += std::string(i ? "," : "") + R"({"Type": 10, "Action": "down", "Button": 4})";
    many += "]}";
    const std::vector<std::pair<std::string, std::string>> refused{
        {"type-text.mac", R"({"Events": [{"Type": "10", "Action": "down", "Button": 4}]})"},
        {"type-unknown.mac", R"({"Events": [{"Type": 77, "Action": "down", "Button": 4}]})"},
        {"button-big.mac", R"({"Events": [{"Type": 10, "Action": "down", "Button": 300}]})"},
        {"action-number.mac", R"({"Events": [{"Type": 10, "Action": 1, "Button": 4}]})"},
        {"events-object.mac", R"({"Events": {"Type": 10}})"},
        {"event-array.mac", R"({"Events": [[10, "down", 4]]})"},
        {"too-many.mac", many},
        {"deep.mac", R"({"Events": )" + std::string(5000, '[') + std::string(5000, ']') + "}"},
        {"not-json.mac", "\x7f"
                         "ELF"},
        {"array.mac", "[]"},
    };
    for (const auto& [name, text] : refused) {
        writeText(m_dir / name, text);
        prompts.clear();
        run(L"macro_btn_import", (m_dir / name).wstring());
        EXPECT_EQ(prompts, std::vector<std::wstring>{L"macro_import_refused_text"}) << name;
    }
    EXPECT_EQ(model().names().size(), 1u);
    EXPECT_EQ(readText(model().library().indexPath()), index);
    EXPECT_EQ(readText(model().library().macroPath(0)), kept);

    // Delays out of range are held to 0-65535 when read; the file is stored as the program
    // writes it, under the program's own name.
    const std::string delays = R"({"MacroName": "theirs", "Events": [
        {"Type": 10, "Action": "down", "Button": 4, "Delay": "70000"},
        {"Type": 10, "Action": "up", "Button": 4, "Delay": "-5"},
        {"Type": 1, "Action": "down", "Button": 1, "Delay": "x"},
        {"Type": 1, "Action": "up", "Button": 1, "Delay": 99999999}]})";
    writeText(m_dir / "delays.mac", delays);
    prompts.clear();
    run(L"macro_btn_import", (m_dir / "delays.mac").wstring());
    EXPECT_TRUE(prompts.empty());
    ASSERT_EQ(model().names().size(), 2u);
    EXPECT_EQ(model().names()[1], L"delays");
    EXPECT_EQ(model().selectedMacro(), 1);
    const std::string stored = readText(model().library().macroPath(1));
    EXPECT_NE(stored, delays);
    EXPECT_EQ(stored.find("theirs"), std::string::npos) << stored;
    ASSERT_EQ(model().rows().size(), 4u);
    EXPECT_EQ(model().rows()[0].delay, L"65535");
    EXPECT_EQ(model().rows()[1].delay, L"0");
    EXPECT_EQ(model().rows()[2].delay, L"0");
    EXPECT_EQ(model().rows()[3].delay, L"65535");
    EXPECT_EQ(actionRows(), 4);

    // A macro file in the library too long to edit is kept whole: no edit may save the cut.
    std::vector<profile::MacroRow> rows(profile::kMaxMacroEvents + 1,
                                        {R"({"Type": 10, "Action": "down", "Button": 4})", L"1"});
    ASSERT_TRUE(model().library().SaveMacro(1, rows));
    const std::string whole = readText(model().library().macroPath(1));
    ASSERT_TRUE(selectIn(L"macro_name_list", 0));
    ASSERT_TRUE(selectIn(L"macro_name_list", 1));
    EXPECT_TRUE(model().isLoadRefused());
    EXPECT_EQ(labelText(L"macro_status_label"),
              L"This macro is too long to edit here; its file is kept as it is.");
    run(L"macro_btn_deleteall");
    run(L"left_click");
    EXPECT_EQ(readText(model().library().macroPath(1)), whole);
}

TEST_F(MacroPageTest, TheStopClickIsNotRecordedAndAnUnpluggedKeyboardEndsRecording)
{
    ASSERT_NO_FATAL_FAILURE(openWithKeyboard());
    ASSERT_TRUE(clickIn(L"macro_btn_name_add"));
    clock = 0;
    ASSERT_TRUE(clickIn(L"macro_btn_starredio"));
    // Mouse buttons anywhere are recorded; the press and release on Stop are not.
    ui().render();
    const RECT frame = window().GetWindowRect();
    const RECT stop = inPage(L"macro_btn_stopredio")->GetPos();
    const int stopX = frame.left + (stop.left + stop.right) / 2;
    const int stopY = frame.top + (stop.top + stop.bottom) / 2;
    auto button = [&](platform::HookMouseButton which, bool down, int x, int y, std::uint32_t at) {
        clock = at;
        backend->sink()->onMouseButton({which, down, x, y, at});
        ui().pump();
    };
    button(platform::HookMouseButton::Right, true, 5, 5, 10);
    button(platform::HookMouseButton::Right, false, 5, 5, 60);
    button(platform::HookMouseButton::Extra2, true, 5, 5, 100);
    button(platform::HookMouseButton::Left, true, stopX, stopY, 200);
    button(platform::HookMouseButton::Left, false, stopX, stopY, 250);
    ASSERT_TRUE(clickIn(L"macro_btn_stopredio"));
    EXPECT_EQ(savedEvents(0),
              (std::vector<Event>{
                  {1, "down", 0x02, "50"}, {1, "up", 0x02, "40"}, {1, "down", 0x10, "0"}}));

    // Leaving the page stops the recording and saves it.
    ASSERT_TRUE(clickIn(L"macro_btn_starredio"));
    key(kEvdevA, true, 300);
    ASSERT_TRUE(clickIn(L"system_Op_tab"));
    EXPECT_FALSE(page->isRecording());
    EXPECT_EQ(grabs, 0);
    EXPECT_EQ(savedEvents(0).size(), 4u);
    ASSERT_TRUE(clickIn(L"macro_Op_tab"));

    ASSERT_TRUE(clickIn(L"macro_btn_starredio"));
    EXPECT_EQ(grabs, 1);
    keyboard.unplug(devsim::KeyboardLink::Cable);
    ASSERT_TRUE(ui().waitFor(
        [&] { return !window().activeDevice() || !window().activeDevice()->isOnline(); }, 5s));
    if (page->isRecording() && backend && backend->sink())
        key(kEvdevA, true, 400);
    EXPECT_FALSE(page->isRecording());
    EXPECT_EQ(grabs, 0);
}

TEST_F(MacroPageTest, ADoubleClickOnAnActionOpensTheMenuWhoseItemsInsertMouseButtons)
{
    ASSERT_NO_FATAL_FAILURE(openWithKeyboard());
    ASSERT_TRUE(clickIn(L"macro_btn_name_add"));
    run(L"right_click");
    ASSERT_EQ(actionRows(), 2);
    auto* list = dynamic_cast<CListUI*>(inPage(L"macro_action_list"));
    ASSERT_NE(list, nullptr);
    ui().render();
    const RECT row = list->GetItemAt(0)->GetPos();
    const auto before = CPaintManagerUI::GetPaintManagers().size();
    ASSERT_TRUE(
        ui().doubleClickAt(POINT{(row.left + row.right) / 2 - 40, (row.top + row.bottom) / 2}));
    ui().pump();
    // The menu is a window of its own, built from its file.
    CPaintManagerUI* menu = nullptr;
    for (CPaintManagerUI* manager : CPaintManagerUI::GetPaintManagers())
        if (manager != &pm() && manager->FindControl(L"back_click"))
            menu = manager;
    ASSERT_NE(menu, nullptr) << before;
    if (const char* prefix = std::getenv("HALVEK_LOOK_PNG")) {
        ui::UiDriver look(*menu);
        look.render();
        EXPECT_TRUE(look.writePng(std::string(prefix) + "-macro-menu.png"));
    }
    // Chosen as a click on the item would; the menu closes itself.
    menu->SendNotify(menu->FindControl(L"back_click"), L"itemclick");
    ASSERT_TRUE(ui().waitFor([&] { return actionRows() == 4; }, 3s));
    EXPECT_EQ(savedEvents(0), (std::vector<Event>{{1, "down", 0x02, "50"},
                                                  {1, "down", 0x08, "50"},
                                                  {1, "up", 0x08, "50"},
                                                  {1, "up", 0x02, "50"}}));

    // A delay typed past the limit is held to 65535 in the file and the edit.
    auto* row0 = static_cast<CContainerUI*>(list->GetItemAt(0)->GetInterface(L"Container"));
    ASSERT_NE(row0, nullptr);
    CControlUI* delay = pages::findByName(row0, L"macro_delay");
    ASSERT_NE(delay, nullptr);
    delay->SetText(L"70000");
    pm().SendNotify(delay, L"killfocus");
    ui().pump();
    EXPECT_EQ(std::get<3>(savedEvents(0)[0]), "65535");
    EXPECT_EQ(std::wstring(delay->GetText()), L"65535");
}

TEST_F(MacroPageTest, ClosingTheWindowWhileRecordingReleasesTheHook)
{
    ASSERT_NO_FATAL_FAILURE(openWithKeyboard());
    ASSERT_TRUE(clickIn(L"macro_btn_name_add"));
    ASSERT_TRUE(clickIn(L"macro_btn_starredio"));
    ASSERT_EQ(grabs, 1);
    // The page object outlives the window here; the grab must not.
    close();
    EXPECT_EQ(grabs, 0);
    EXPECT_FALSE(page->isRecording());
}

TEST_F(MacroPageTest, TheActionCountFollowsALanguageSwitchAtOnce)
{
    ASSERT_NO_FATAL_FAILURE(openWithKeyboard());
    ASSERT_TRUE(clickIn(L"macro_btn_name_add"));
    ASSERT_TRUE(clickIn(L"macro_inset_moveleftkey_btn"));
    EXPECT_EQ(labelText(L"macro_action_count_label"), L"Actions: 1");
    platform::sendMessage(window().GetHWND(), shell::MSG_LANGUAGE_CHANGED, 1, 0);
    EXPECT_EQ(labelText(L"macro_action_count_label"), L"动作：1");
}

TEST_F(MacroPageTest, TheStatusLineFollowsALanguageSwitchAtOnce)
{
    ASSERT_NO_FATAL_FAILURE(openWithKeyboard());
    ASSERT_TRUE(clickIn(L"macro_btn_name_add"));
    ASSERT_TRUE(clickIn(L"macro_btn_save"));
    ASSERT_EQ(labelText(L"macro_status_label"),
              L"Saved. No key uses this macro, so nothing was written.");
    platform::sendMessage(window().GetHWND(), shell::MSG_LANGUAGE_CHANGED, 1, 0);
    EXPECT_EQ(labelText(L"macro_status_label"), L"已保存。没有按键使用此宏，未写入键盘。");
    EXPECT_FALSE(shownIn(L"macro_memory_label")) << "the outcome keeps the memory line's place";
    ui().render();
    shoot("macro-status-chinese");
    platform::sendMessage(window().GetHWND(), shell::MSG_LANGUAGE_CHANGED, 0, 0);
    EXPECT_EQ(labelText(L"macro_status_label"),
              L"Saved. No key uses this macro, so nothing was written.");
}
