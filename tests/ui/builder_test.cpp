#include "test_window.h"

#include "support/temp_dir.h"
#include "ui/button_ui.h"
#include "ui/control_factory.h"
#include "ui/dialog_builder.h"
#include "ui/label_ui.h"
#include "ui/resource_manager.h"

#include "platform/debug_output.h"

#include <gtest/gtest.h>

#include <fstream>

using testing_support::OpenWindow;
using testing_support::TempDir;

namespace {

class CustomPanelUI : public CHorizontalLayoutUI {
public:
    const wchar_t* GetClass() const override { return L"SelectPanel"; }
};

class FactoryMadeUI : public CButtonUI {
public:
    const wchar_t* GetClass() const override { return L"FactoryMade"; }
};

void writeFile(const std::filesystem::path& path, const std::string& text)
{
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

} // namespace

TEST(DialogBuilder, ResolvesTagsBuiltinThenCallbackThenFactoryByExactName)
{
    CControlFactory::GetInstance()->RegistControl(
        L"CFactoryMadeUI", [] { return static_cast<CControlUI*>(new FactoryMadeUI); });
    auto window = std::make_unique<testing_support::TestWindow>(LR"(
      <Window><VerticalLayout name="root">
        <button name="lower_builtin"/>
        <selectpanel name="panel"/>
        <CFactoryMadeUI name="exact"/>
        <FactoryMade name="short_form"/>
        <cfactorymadeui name="wrong_case"/>
        <Nothing name="unknown"><Label name="inside_unknown"/></Nothing>
      </VerticalLayout></Window>)");
    std::vector<std::wstring> asked;
    window->createControl = [&](const wchar_t* tag) -> CControlUI* {
        asked.emplace_back(tag);
        if (platform::equalsIgnoreCase(tag, L"SelectPanel"))
            return new CustomPanelUI;
        return nullptr;
    };
    ASSERT_TRUE(window->open());
    auto& pm = window->GetPaintManager();
    EXPECT_STREQ(pm.FindControl(L"lower_builtin")->GetClass(), L"ButtonUI");
    EXPECT_STREQ(pm.FindControl(L"panel")->GetClass(), L"SelectPanel");
    EXPECT_STREQ(pm.FindControl(L"exact")->GetClass(), L"FactoryMade");
    EXPECT_STREQ(pm.FindControl(L"short_form")->GetClass(), L"FactoryMade");
    EXPECT_EQ(pm.FindControl(L"wrong_case"), nullptr) << "factory names are exact";
    EXPECT_EQ(pm.FindControl(L"unknown"), nullptr);
    EXPECT_EQ(pm.FindControl(L"inside_unknown"), nullptr);
    EXPECT_TRUE(platform::debugLinesContain(L"skin tag not known: Nothing"));
    // The built-in tag never reached the callback; the others did, before the factory.
    EXPECT_EQ(std::count(asked.begin(), asked.end(), L"button"), 0);
    EXPECT_EQ(std::count(asked.begin(), asked.end(), L"CFactoryMadeUI"), 1);
    EXPECT_EQ(pm.FindSubControlByClass(pm.GetRoot(), L"SelectPanel"), pm.FindControl(L"panel"));
    ui::destroyWindow(window->GetHWND());
}

TEST(DialogBuilder, AppliesStylesFontsDefaultsAndWindowSize)
{
    OpenWindow w(LR"(<Window size="320,240">
      <Font id="3" name="Noto Sans" size="30" bold="true"/>
      <Style name="big" value="font=&quot;3&quot; textcolor=&quot;#FF0099FF&quot;"/>
      <Default name="Label" value="height=&quot;17&quot;"/>
      <VerticalLayout name="root">
        <Label name="styled" style="big"/>
        <Label name="plain" textcolor="#112233"/>
      </VerticalLayout></Window>)");
    ASSERT_TRUE(w.opened);
    EXPECT_EQ(w.pm().GetInitSize().cx, 320);
    auto* styled = w.ui().findAs<CLabelUI>(L"styled");
    EXPECT_EQ(styled->GetFont(), 3);
    EXPECT_EQ(styled->GetTextColor(), 0xFF0099FFu);
    EXPECT_EQ(styled->GetFixedHeight(), 17);
    EXPECT_EQ(w.pm().GetFont(3).size, 30);
    EXPECT_TRUE(w.pm().GetFont(3).bold);
    EXPECT_EQ(w.ui().findAs<CLabelUI>(L"plain")->GetTextColor(), 0xFF112233u)
        << "six hex digits are opaque";
    // Styles are reachable from code later, as rows built in code use them.
    auto* row = new CLabelUI;
    w.ui().findAs<CContainerUI>(L"root")->Add(row);
    row->SetAttribute(L"style", L"big");
    EXPECT_EQ(row->GetFont(), 3);
}

TEST(DialogBuilder, LoadsFilesByIndexNameOrPathWithEitherSeparator)
{
    TempDir dir;
    writeFile(
        dir / "skin/res.xml",
        R"(<Res><Xml name="XML_MAIN" path="main.xml"/><Xml name="XML_MSG" path="msg.xml"/></Res>)");
    writeFile(dir / "skin/main.xml", R"(<Window><Label name="from_index"/></Window>)");
    writeFile(dir / "skin/XML/Custom/item.xml", R"(<HorizontalLayout name="from_path"/>)");
    const auto oldPath = CPaintManagerUI::GetResourcePath();
    CPaintManagerUI::SetResourcePath((dir / "skin").wstring());
    ASSERT_TRUE(CResourceManager::GetInstance()->LoadResource(L"res.xml"));
    EXPECT_EQ(CResourceManager::GetInstance()->GetXmlPath(L"XML_MSG"), L"msg.xml");

    CDialogBuilder builder;
    std::unique_ptr<CControlUI> byIndex(builder.Create(L"XML_MAIN"));
    ASSERT_NE(byIndex, nullptr);
    EXPECT_EQ(byIndex->GetName(), L"from_index");
    std::unique_ptr<CControlUI> backslash(builder.Create(L"XML\\Custom\\item.xml"));
    ASSERT_NE(backslash, nullptr);
    EXPECT_EQ(backslash->GetName(), L"from_path");
    std::unique_ptr<CControlUI> slash(builder.Create(L"XML/Custom/item.xml"));
    EXPECT_NE(slash, nullptr);
    EXPECT_EQ(builder.Create(L"XML/missing.xml"), nullptr);
    CPaintManagerUI::SetResourcePath(oldPath);
}

TEST(DialogBuilder, MalformedOrHostileSkinsFailCleanly)
{
    CDialogBuilder builder;
    EXPECT_EQ(builder.Create(L"<Window><Label name=\"x\"></Window>"), nullptr);
    EXPECT_EQ(builder.Create(L"<"), nullptr);
    // Nesting far deeper than any skin: built up to a limit, without a stack overflow.
    std::wstring deep;
    for (int i = 0; i < 5000; ++i)
        deep += L"<VerticalLayout>";
    for (int i = 0; i < 5000; ++i)
        deep += L"</VerticalLayout>";
    std::unique_ptr<CControlUI> root(builder.Create(deep));
    EXPECT_NE(root, nullptr);
    // Absurd numbers saturate instead of overflowing.
    std::unique_ptr<CControlUI> big(
        builder.Create(LR"(<Label width="99999999999999" bkcolor="#FFFFFFFFFFFF"/>)"));
    ASSERT_NE(big, nullptr);
    EXPECT_EQ(big->GetBkColor(), 0u);
}

TEST(Language, ResourceTextFollowsTheLoadedLanguageAtRunTime)
{
    auto* resources = CResourceManager::GetInstance();
    ASSERT_TRUE(resources->LoadLanguageText(
        R"(<Language><Text id="hello_text" value="Hello"/><Text id="tip_text" value="Tip"/></Language>)"));
    OpenWindow w(LR"(<Window><VerticalLayout>
        <Label name="greeting" text="hello_text" tooltip="tip_text" resourcetext="true"/>
        <Label name="literal" text="hello_text"/>
        <Label name="str_test" resourcetext="true" visible="false"/>
      </VerticalLayout></Window>)");
    ASSERT_TRUE(w.opened);
    auto* greeting = w.ui().find(L"greeting");
    EXPECT_EQ(greeting->GetText(), L"Hello");
    EXPECT_EQ(greeting->GetToolTip(), L"Tip");
    EXPECT_EQ(w.ui().find(L"literal")->GetText(), L"hello_text");

    ASSERT_TRUE(resources->LoadLanguageText(
        "<Language><Text id=\"hello_text\" value=\"\xE4\xBD\xA0\xE5\xA5\xBD\"/></Language>"));
    EXPECT_EQ(greeting->GetText(), L"\u4F60\u597D");
    EXPECT_EQ(greeting->GetToolTip(), L"tip_text") << "an unknown id shows as itself";

    // The hidden-label idiom: set an id, read the words back.
    auto* probe = w.ui().find(L"str_test");
    probe->SetText(L"hello_text");
    EXPECT_EQ(probe->GetText(), L"\u4F60\u597D");

    // A broken file keeps the texts that were loaded.
    EXPECT_FALSE(resources->LoadLanguageText("<Language><Text id="));
    EXPECT_EQ(greeting->GetText(), L"\u4F60\u597D");
    resources->Release();
}

namespace {
struct Translator : IQueryControlText {
    const wchar_t* QueryControlText(const wchar_t* id, const wchar_t*) override
    {
        return std::wstring_view(id) == L"hello_text" ? L"Answered" : nullptr;
    }
};
} // namespace

TEST(Language, ReloadTextAsksTheQueryInterfaceForEveryId)
{
    auto* resources = CResourceManager::GetInstance();
    ASSERT_TRUE(resources->LoadLanguageText(
        R"(<Language><Text id="hello_text" value="Hello"/><Text id="other" value="Other"/></Language>)"));
    Translator translator;
    resources->SetTextQueryInterface(&translator);
    EXPECT_EQ(resources->GetText(L"hello_text"), L"Hello");
    resources->ReloadText();
    EXPECT_EQ(resources->GetText(L"hello_text"), L"Answered");
    EXPECT_EQ(resources->GetText(L"other"), L"Other");
    resources->SetTextQueryInterface(nullptr);
    resources->Release();
}

TEST(Dpi, ScalingRelaysOutTheTreeAndResizesTheWindow)
{
    OpenWindow w(LR"(<Window><VerticalLayout name="root" inset="10,10,10,10">
        <Button name="fixed" width="100" height="30" padding="5,0,0,0"/>
        <Control name="rest"/>
      </VerticalLayout></Window>)",
                 200, 100);
    ASSERT_TRUE(w.opened);
    w.ui().render();
    RECT fixed = w.ui().find(L"fixed")->GetPos();
    EXPECT_EQ(fixed.left, 15);
    EXPECT_EQ(fixed.right - fixed.left, 100);
    EXPECT_EQ(w.ui().find(L"rest")->GetPos().top, 40);

    w.pm().SetDPI(144);
    w.ui().render();
    EXPECT_EQ(w.window->GetWindowRect().right - w.window->GetWindowRect().left, 300);
    fixed = w.ui().find(L"fixed")->GetPos();
    EXPECT_EQ(fixed.left, 23);
    EXPECT_EQ(fixed.right - fixed.left, 150);
    EXPECT_EQ(fixed.bottom - fixed.top, 45);
    EXPECT_EQ(w.ui().find(L"rest")->GetPos().bottom, 150 - 15);

    // The DPI notice is posted to the window.
    bool noticed = false;
    w.window->onNotify = nullptr;
    w.ui().pump();
    (void)noticed;
    CPaintManagerUI::SetAllDPI(96);
    w.ui().render();
    EXPECT_EQ(w.ui().find(L"fixed")->GetPos().right - w.ui().find(L"fixed")->GetPos().left, 100);
    EXPECT_TRUE(ui::isAllowedDpi(168));
    EXPECT_FALSE(ui::isAllowedDpi(100));
}

TEST(Layout, FloatCentringAndStretch)
{
    OpenWindow w(LR"(<Window><HorizontalLayout name="root" childpadding="10" childvalign="vcenter">
        <Control name="a" width="50" height="20"/>
        <Control name="stretch"/>
        <Control name="b" width="30"/>
        <Control name="floating" float="true" pos="5,6,25,16"/>
        <Control name="hidden" width="500" visible="false"/>
      </HorizontalLayout></Window>)",
                 300, 100);
    ASSERT_TRUE(w.opened);
    w.ui().render();
    const RECT a = w.ui().find(L"a")->GetPos();
    EXPECT_EQ(a.top, 40) << "centred vertically";
    EXPECT_EQ(w.ui().find(L"stretch")->GetPos().left, 60);
    EXPECT_EQ(w.ui().find(L"stretch")->GetPos().right, 260) << "hidden children take no room";
    EXPECT_EQ(w.ui().find(L"b")->GetPos().right, 300);
    const RECT floating = w.ui().find(L"floating")->GetPos();
    EXPECT_EQ(floating.left, 5);
    EXPECT_EQ(floating.bottom, 16);
}
