#include "app/control_registry.h"
#include "app/font_slot.h"
#include "app/startup.h"

#include "support/temp_dir.h"
#include "ui/container_ui.h"
#include "ui/control_factory.h"
#include "ui/dialog_builder.h"
#include "ui/paint_manager_ui.h"
#include "ui/resource_manager.h"

#include "platform/text.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <fstream>
#include <memory>
#include <set>

using testing_support::TempDir;

namespace {

void writeFile(const std::filesystem::path& path, const std::string& text)
{
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

const std::filesystem::path kShippedSkin = std::filesystem::path(HALVEK_SOURCE_DIR) / "data/skin";

// Any font file Debian's packages put on the machine.
std::filesystem::path someInstalledFont()
{
    for (const char* candidate : {"/usr/share/fonts/truetype/noto/NotoSans-Regular.ttf",
                                  "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"}) {
        if (std::filesystem::exists(candidate))
            return candidate;
    }
    return {};
}

} // namespace

TEST(ControlRegistry, RegistersTheTwentyFourClassesByExactName)
{
    app::registerControlClasses();
    auto* factory = CControlFactory::GetInstance();
    for (const auto name : app::kControlClassNames) {
        std::unique_ptr<CControlUI> control(factory->CreateControl(name));
        EXPECT_NE(control, nullptr) << platform::toUtf8(name);
    }
    EXPECT_TRUE(factory->IsRegistered(L"CRedioMacroButtonUI"));
    EXPECT_FALSE(factory->IsRegistered(L"CRadioMacroButtonUI"));
    EXPECT_FALSE(factory->IsRegistered(L"credioMacroButtonUI"));
    EXPECT_FALSE(factory->IsRegistered(L"CTessaryKeyboardDevice")) << "made in code, not by name";
    EXPECT_EQ(
        std::set<std::wstring_view>(app::kControlClassNames.begin(), app::kControlClassNames.end())
            .size(),
        24u);

    CDialogBuilder builder;
    std::unique_ptr<CControlUI> tree(builder.Create(
        LR"(<VerticalLayout><CSelectPanelUI name="picture"/><CRedioMacroButtonUI name="r"/></VerticalLayout>)"));
    ASSERT_NE(tree, nullptr);
    auto* root = static_cast<CContainerUI*>(tree->GetInterface(L"Container"));
    ASSERT_EQ(root->GetCount(), 2);
    EXPECT_STREQ(root->GetItemAt(0)->GetClass(), L"SelectPanel");
}

TEST(FontSlot, LoadsFilesOfAnyPathLengthAndRefusesBadOnes)
{
    const auto font = someInstalledFont();
    if (font.empty())
        GTEST_SKIP() << "no font package installed";
    TempDir dir;
    // Deeper than the 260 characters a fixed path buffer would hold.
    auto deep = dir.path();
    while (deep.native().size() < 400)
        deep /= "a_rather_long_folder_name_for_the_program";
    std::filesystem::create_directories(deep / "Font");
    std::filesystem::copy_file(font, deep / "Font" / "Simplified_Chinese.ttf");
    writeFile(deep / "Font/empty.otf", "");
    writeFile(deep / "Font/garbage.ttf", std::string(1000, 'x'));
    {
        std::ofstream huge(deep / "Font/huge.otf", std::ios::binary);
        huge.seekp(static_cast<std::streamoff>(app::FontSlot::kMaxFontFileSize) + 1);
        huge.put('\0');
    }

    app::FontSlot slot(deep);
    EXPECT_TRUE(slot.load(L"Font\\Simplified_Chinese.ttf"));
    EXPECT_TRUE(slot.isLoaded());
    app::FontSlot missing(deep);
    EXPECT_FALSE(missing.load(L"Font\\NotoSansThai-Regular.ttf"));
    EXPECT_FALSE(missing.load(L"Font\\empty.otf"));
    EXPECT_FALSE(missing.load(L"Font\\huge.otf")) << "size is checked before anything is read";
    EXPECT_FALSE(missing.load(L"Font\\garbage.ttf"));
    EXPECT_FALSE(missing.load(L"..\\..\\etc\\passwd"));
    slot.release();
    EXPECT_FALSE(slot.isLoaded());
}

TEST(UiResources, ModeOneReadsTheSkinIndexWhateverElseTheFolderHolds)
{
    TempDir dir;
    writeFile(dir / "skin/res.xml", R"(<Res><Xml name="XML_MAIN" path="main.xml"/></Res>)");
    writeFile(dir / "skin/duidemo.zip", "not an archive");
    app::setupUiResources(dir.path());
    EXPECT_EQ(CPaintManagerUI::GetResourceType(), CPaintManagerUI::UILIB_FILE);
    EXPECT_EQ(CResourceManager::GetInstance()->GetXmlPath(L"XML_MAIN"), L"main.xml");
    EXPECT_EQ(std::filesystem::path(std::wstring(CPaintManagerUI::GetResourcePath())),
              std::filesystem::path((dir / "skin/").wstring()));
    CResourceManager::GetInstance()->Release();
}

TEST(ShippedSkin, WindowsBuildAndEveryTextIdIsInBothLanguages)
{
    CPaintManagerUI::SetResourcePath(kShippedSkin.wstring());
    ASSERT_TRUE(CResourceManager::GetInstance()->LoadResource(L"res.xml"));
    app::registerControlClasses();

    std::set<std::string> usedIds;
    for (const auto* name : {L"XML_MAIN", L"XML_MSG"}) {
        CPaintManagerUI pm;
        CDialogBuilder builder;
        std::unique_ptr<CControlUI> root(builder.Create(name, nullptr, nullptr, &pm));
        ASSERT_NE(root, nullptr) << platform::toUtf8(name);
        pugi::xml_document doc;
        const auto file =
            kShippedSkin /
            platform::toUtf8(std::wstring(CResourceManager::GetInstance()->GetXmlPath(name)));
        ASSERT_TRUE(doc.load_file(file.c_str()));
        for (const auto& node : doc.select_nodes("//*[@resourcetext='true']")) {
            for (const char* attribute : {"text", "tooltip"}) {
                if (const auto value = node.node().attribute(attribute))
                    usedIds.insert(value.as_string());
            }
        }
    }
    ASSERT_FALSE(usedIds.empty());
    for (const char* language : {"lan_cn.xml", "lan_en.xml"}) {
        pugi::xml_document doc;
        ASSERT_TRUE(doc.load_file((kShippedSkin / language).c_str())) << language;
        std::set<std::string> ids;
        for (const auto& text : doc.child("Language").children("Text"))
            ids.insert(text.attribute("id").as_string());
        for (const auto& id : usedIds)
            EXPECT_TRUE(ids.count(id)) << id << " missing from " << language;
    }
    CResourceManager::GetInstance()->Release();
}
