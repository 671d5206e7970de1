// The shipped language files against each other and against the skin: every text the
// program can show has an English and a Chinese entry.
#include <pugixml.hpp>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <string>

namespace {

const std::filesystem::path kSkin = std::filesystem::path(HALVEK_SOURCE_DIR) / "data" / "skin";

std::map<std::string, std::string> texts(const char* file)
{
    pugi::xml_document document;
    EXPECT_TRUE(document.load_file((kSkin / file).c_str())) << file;
    std::map<std::string, std::string> out;
    for (const pugi::xml_node text : document.child("Language").children("Text"))
        out[text.attribute("id").as_string()] = text.attribute("value").as_string();
    return out;
}

// The text ids the skin files name: texts and tooltips of controls marked as language
// texts, and the effect lists a device's page gives itself.
std::set<std::string> idsInSkin()
{
    std::set<std::string> ids;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(kSkin)) {
        const auto name = entry.path().filename().string();
        if (entry.path().extension() != ".xml" || name.starts_with("lan_"))
            continue;
        pugi::xml_document document;
        if (!document.load_file(entry.path().c_str()))
            continue;
        for (const pugi::xpath_node found : document.select_nodes("//*[@resourcetext='true']")) {
            const pugi::xml_node node = found.node();
            for (const char* attribute : {"text", "tooltip"})
                if (const auto value = node.attribute(attribute); value && *value.as_string())
                    ids.insert(value.as_string());
        }
        for (const pugi::xpath_node found : document.select_nodes("//*[@effectnames]")) {
            std::string list = found.node().attribute("effectnames").as_string();
            for (std::size_t at = 0; at <= list.size();) {
                const auto end = std::min(list.find(';', at), list.size());
                if (end > at)
                    ids.insert(list.substr(at, end - at));
                at = end + 1;
            }
        }
    }
    return ids;
}

TEST(LanguageFiles, EveryTextHasAChineseEntryAndEverySkinTextIsInBoth)
{
    const auto english = texts("lan_en.xml");
    const auto chinese = texts("lan_cn.xml");
    ASSERT_GT(english.size(), 100u);
    for (const auto& [id, value] : english)
        EXPECT_TRUE(chinese.contains(id)) << id << " has no Chinese entry";
    for (const auto& [id, value] : chinese)
        EXPECT_TRUE(english.contains(id)) << id << " has no English entry";
    const auto ids = idsInSkin();
    ASSERT_GT(ids.size(), 100u);
    for (const auto& id : ids) {
        EXPECT_TRUE(english.contains(id)) << id << " is shown but has no English text";
        EXPECT_TRUE(chinese.contains(id)) << id << " is shown but has no Chinese text";
    }
    // An English sentence left in the Chinese file is an untranslated text.
    const std::regex sentence("[A-Za-z]+ [A-Za-z]+ [A-Za-z]+");
    for (const auto& [id, value] : english) {
        const auto found = chinese.find(id);
        if (found != chinese.end() && std::regex_search(value, sentence)) {
            EXPECT_NE(found->second, value) << id << " is not translated";
        }
    }
}

} // namespace
