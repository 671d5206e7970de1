#include "device/key_positions.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <string>

namespace {

const std::filesystem::path kSkin = std::filesystem::path(HALVEK_SOURCE_DIR) / "data/skin";

std::vector<std::filesystem::path> skinFiles()
{
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(kSkin)) {
        const auto name = entry.path().filename().string();
        if (entry.path().extension() == ".xml" && !name.starts_with("lan_") && name != "res.xml")
            files.push_back(entry.path());
    }
    return files;
}

std::set<std::string> languageIds(const char* file)
{
    std::set<std::string> ids;
    pugi::xml_document doc;
    if (doc.load_file((kSkin / file).c_str()))
        for (const auto& text : doc.child("Language").children("Text"))
            ids.insert(text.attribute("id").value());
    return ids;
}

// The file an image string names ("a.png", "file='a.png' dest='...'").
std::string imageFile(const std::string& value)
{
    static const std::regex keyed("file='([^']*)'");
    std::smatch match;
    if (std::regex_search(value, match, keyed))
        return match[1];
    return value;
}

} // namespace

TEST(Skin, EveryImageItNamesIsThere)
{
    const std::set<std::string> imageAttributes{
        "bkimage",       "normalimage",  "hotimage",         "pushedimage", "selectedimage",
        "disabledimage", "foreimage",    "selectedhotimage", "lightimage",  "keysetimage",
        "thumbimage",    "focusedimage", "hotforeimage"};
    int checked = 0;
    for (const auto& file : skinFiles()) {
        pugi::xml_document doc;
        ASSERT_TRUE(doc.load_file(file.c_str())) << file;
        for (const auto& node : doc.select_nodes("//*")) {
            for (const auto& attribute : node.node().attributes()) {
                if (!imageAttributes.contains(attribute.name()) || !*attribute.value())
                    continue;
                auto path = kSkin / imageFile(attribute.value());
                auto svg = path;
                svg.replace_extension(".svg");
                EXPECT_TRUE(std::filesystem::exists(path) || std::filesystem::exists(svg))
                    << attribute.value() << " in " << file.filename();
                ++checked;
            }
        }
    }
    // The images the program names itself.
    for (const char* image :
         {"power/powered.png", "power/power.png", "power/powering.png", "power/wuxian_powering.png",
          "common/device_ico/kb_device_normal.png", "common/device_ico/ms_device_selected.png",
          "common/device_ico/hard_mp_device_synchro_normal.png",
          "common/device_ico/unknow_device_synchro_selected.png", "common/tile_selected.svg"}) {
        auto svg = kSkin / image;
        svg.replace_extension(".svg");
        EXPECT_TRUE(std::filesystem::exists(svg)) << image;
    }
    EXPECT_GT(checked, 300);
}

TEST(Skin, EveryTextIdIsInBothLanguages)
{
    const auto english = languageIds("lan_en.xml");
    const auto chinese = languageIds("lan_cn.xml");
    EXPECT_EQ(english, chinese);
    std::set<std::string> used{// Named by the program.
                               "software_rev_text",
                               "message_text_2",
                               "message_text_4",
                               "message_text_5",
                               "message_text_6",
                               "message_text_16",
                               "message_text_22",
                               "keyboard",
                               "mouse",
                               "MousePad",
                               "HD",
                               "language_en_text",
                               "language_cn_text"};
    for (const char* prefix : {"kb", "ms", "hard_mp", "soft_mp", "hd", "hub", "unknow"})
        used.insert(std::string(prefix) + "_device_name_text");
    for (const auto& file : skinFiles()) {
        pugi::xml_document doc;
        ASSERT_TRUE(doc.load_file(file.c_str()));
        std::map<std::string, std::string> styles;
        for (const auto& style : doc.select_nodes("//Style"))
            styles[style.node().attribute("name").value()] =
                style.node().attribute("value").value();
        for (const auto& node : doc.select_nodes("//*")) {
            const pugi::xml_node element = node.node();
            const std::string style = styles[element.attribute("style").value()];
            const bool resource =
                std::string(element.attribute("resourcetext").value()) == "true" ||
                style.find("resourcetext=\"true\"") != std::string::npos;
            if (!resource)
                continue;
            for (const char* attribute : {"text", "tooltip", "tipvalue"})
                if (*element.attribute(attribute).value())
                    used.insert(element.attribute(attribute).value());
        }
    }
    for (const auto& id : used) {
        EXPECT_TRUE(english.contains(id)) << id;
        EXPECT_TRUE(chinese.contains(id)) << id;
    }
}

TEST(Skin, TheKeyboardPictureHasEveryKeyOfThePositionTableOnce)
{
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_file((kSkin / "XML/DeviceXml/keyboard_picture.xml").c_str()));
    const auto panel = doc.child("SelectPanel");
    ASSERT_STREQ(panel.attribute("name").value(), "keyboard_device_key_light");
    struct Key {
        int left, top, right, bottom;
    };
    std::map<int, Key> keys;
    for (const auto& button : panel.children("DeviceKeyButton")) {
        const std::string name = button.attribute("name").value();
        ASSERT_TRUE(name.starts_with("key_")) << name;
        const int position = std::stoi(name.substr(4));
        EXPECT_EQ(std::string(button.attribute("userdata").value()),
                  "light_" + std::to_string(position));
        Key key{};
        ASSERT_EQ(std::sscanf(button.attribute("pos").value(), "%d,%d,%d,%d", &key.left, &key.top,
                              &key.right, &key.bottom),
                  4);
        EXPECT_TRUE(keys.emplace(position, key).second) << "twice: " << name;
    }
    // Keys of other layouts (the ISO and Japanese keys) have no place on this keyboard.
    const std::set<std::uint8_t> otherLayouts{0x32, 0x64, 0x87, 0x88, 0x89,
                                              0x8A, 0x8B, 0x90, 0x91, 0x85};
    for (std::size_t position = 0; position < device::kKeyPositionCount; ++position) {
        const auto code = device::kFactoryKeyCodes[position];
        const bool ownKey = !(code == device::KeyCode{0x20, 0, 0});
        const bool elsewhere = code.type == 0x20 && code.p1 == 0 && otherLayouts.contains(code.p2);
        EXPECT_EQ(keys.contains(static_cast<int>(position)), ownKey && !elsewhere)
            << "position " << position;
    }
    for (auto a = keys.begin(); a != keys.end(); ++a) {
        for (auto b = std::next(a); b != keys.end(); ++b) {
            const bool overlap =
                a->second.left < b->second.right && b->second.left < a->second.right &&
                a->second.top < b->second.bottom && b->second.top < a->second.bottom;
            EXPECT_FALSE(overlap) << "key_" << a->first << " and key_" << b->first;
        }
    }
}
