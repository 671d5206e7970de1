#include "ui/resource_manager.h"

#include "platform/debug_output.h"
#include "platform/text.h"
#include "ui/render.h"

#include <pugixml.hpp>

#include <fstream>
#include <sstream>

namespace {

// Skin and language files are small; anything bigger is not one of ours.
constexpr std::uintmax_t kMaxSkinFileSize = 16 * 1024 * 1024;

bool loadXml(pugi::xml_document& doc, std::wstring_view source)
{
    if (const auto start = source.find_first_not_of(L" \t\r\n");
        start != std::wstring_view::npos && source[start] == L'<') {
        const std::string text = platform::toUtf8(source);
        return static_cast<bool>(doc.load_buffer(text.data(), text.size()));
    }
    const auto path = ui::resolveResourceFile(source);
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    if (error || size > kMaxSkinFileSize) {
        platform::debugOutput(L"skin file not readable: " + path.wstring());
        return false;
    }
    const auto result = doc.load_file(path.c_str());
    if (!result) {
        platform::debugOutput("skin file malformed: " + path.string() + ": " +
                              result.description());
        return false;
    }
    return true;
}

std::wstring attribute(const pugi::xml_node& node, const char* name)
{
    return platform::fromUtf8(node.attribute(name).as_string());
}

} // namespace

CResourceManager* CResourceManager::GetInstance()
{
    static CResourceManager instance;
    return &instance;
}

void CResourceManager::Release()
{
    std::lock_guard guard(m_lock);
    m_xmlFiles.clear();
    m_imageFiles.clear();
    m_texts.clear();
    m_query = nullptr;
}

bool CResourceManager::LoadResource(std::wstring_view xml, const wchar_t*)
{
    pugi::xml_document doc;
    if (!loadXml(doc, xml))
        return false;
    const pugi::xml_node root = doc.first_child();
    std::map<std::wstring, std::wstring> xmlFiles;
    std::map<std::wstring, std::wstring> imageFiles;
    for (const pugi::xml_node node : root.children()) {
        const std::wstring name = attribute(node, "name");
        const std::wstring path = attribute(node, "path");
        if (name.empty() || path.empty())
            continue;
        if (std::string_view(node.name()) == "Xml")
            xmlFiles[name] = path;
        else if (std::string_view(node.name()) == "Image")
            imageFiles[name] = path;
    }
    std::lock_guard guard(m_lock);
    for (auto& [name, path] : xmlFiles)
        m_xmlFiles[name] = path;
    for (auto& [name, path] : imageFiles)
        m_imageFiles[name] = path;
    return true;
}

CDuiString CResourceManager::GetXmlPath(std::wstring_view name) const
{
    std::lock_guard guard(m_lock);
    const auto found = m_xmlFiles.find(std::wstring(name));
    return found == m_xmlFiles.end() ? CDuiString() : CDuiString(found->second);
}

CDuiString CResourceManager::GetImagePath(std::wstring_view name) const
{
    std::lock_guard guard(m_lock);
    const auto found = m_imageFiles.find(std::wstring(name));
    return found == m_imageFiles.end() ? CDuiString() : CDuiString(found->second);
}

void CResourceManager::SetLanguage(std::wstring_view name)
{
    std::lock_guard guard(m_lock);
    m_language = name;
}

CDuiString CResourceManager::GetLanguage() const
{
    std::lock_guard guard(m_lock);
    return m_language;
}

namespace {

bool parseLanguage(const pugi::xml_document& doc, std::map<std::wstring, std::wstring>& texts)
{
    const pugi::xml_node root = doc.child("Language");
    if (!root)
        return false;
    for (const pugi::xml_node node : root.children("Text")) {
        const std::wstring id = attribute(node, "id");
        if (!id.empty())
            texts[id] = attribute(node, "value");
    }
    return true;
}

} // namespace

bool CResourceManager::LoadLanguage(std::wstring_view file)
{
    pugi::xml_document doc;
    std::map<std::wstring, std::wstring> texts;
    if (!loadXml(doc, file) || !parseLanguage(doc, texts)) {
        platform::debugOutput(L"language file not loaded: " + std::wstring(file));
        return false;
    }
    std::lock_guard guard(m_lock);
    m_texts.swap(texts);
    return true;
}

bool CResourceManager::LoadLanguageText(std::string_view xml)
{
    pugi::xml_document doc;
    std::map<std::wstring, std::wstring> texts;
    if (!doc.load_buffer(xml.data(), xml.size()) || !parseLanguage(doc, texts))
        return false;
    std::lock_guard guard(m_lock);
    m_texts.swap(texts);
    return true;
}

void CResourceManager::ReloadText()
{
    std::unique_lock lock(m_lock);
    IQueryControlText* query = m_query;
    if (!query)
        return;
    std::vector<std::wstring> ids;
    for (const auto& [id, text] : m_texts)
        ids.push_back(id);
    lock.unlock();
    // The query runs without our lock: it may well ask for texts itself.
    for (const auto& id : ids) {
        if (const wchar_t* answer = query->QueryControlText(id.c_str(), nullptr)) {
            std::lock_guard guard(m_lock);
            m_texts[id] = answer;
        }
    }
}

void CResourceManager::SetTextQueryInterface(IQueryControlText* query)
{
    std::lock_guard guard(m_lock);
    m_query = query;
}

CDuiString CResourceManager::GetText(std::wstring_view id, const wchar_t* type)
{
    if (id.empty())
        return CDuiString();
    std::unique_lock lock(m_lock);
    const auto found = m_texts.find(std::wstring(id));
    if (found != m_texts.end())
        return found->second;
    IQueryControlText* query = m_query;
    lock.unlock();
    if (query) {
        const std::wstring key(id);
        if (const wchar_t* answer = query->QueryControlText(key.c_str(), type))
            return CDuiString(answer);
    }
    return CDuiString(id);
}

bool CResourceManager::HasText(std::wstring_view id) const
{
    std::lock_guard guard(m_lock);
    return m_texts.count(std::wstring(id)) > 0;
}
