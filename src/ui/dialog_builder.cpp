#include "ui/dialog_builder.h"

#include "platform/debug_output.h"
#include "platform/text.h"
#include "ui/button_ui.h"
#include "ui/color_palette_ui.h"
#include "ui/combo_ui.h"
#include "ui/container_ui.h"
#include "ui/control_factory.h"
#include "ui/edit_ui.h"
#include "ui/label_ui.h"
#include "ui/list_ui.h"
#include "ui/menu_wnd.h"
#include "ui/paint_manager_ui.h"
#include "ui/resource_manager.h"
#include "ui/slider_ui.h"

#include <pugixml.hpp>

#include <algorithm>
#include <filesystem>

namespace {

// Deeper nesting than this is a hostile or broken file, not a skin.
constexpr int kMaxDepth = 64;
constexpr std::uintmax_t kMaxSkinFileSize = 16 * 1024 * 1024;
constexpr int kMaxIncludes = 2000;

std::wstring wide(const char* text)
{
    return platform::fromUtf8(text ? text : "");
}

template <class T> CControlUI* make()
{
    return new T();
}

struct Builtin {
    const wchar_t* tag;
    CControlUI* (*create)();
};

constexpr Builtin kBuiltins[] = {
    {L"Control", make<CControlUI>},
    {L"Container", make<CContainerUI>},
    {L"VerticalLayout", make<CVerticalLayoutUI>},
    {L"HorizontalLayout", make<CHorizontalLayoutUI>},
    {L"TabLayout", make<CTabLayoutUI>},
    {L"Label", make<CLabelUI>},
    {L"Text", make<CLabelUI>},
    {L"Button", make<CButtonUI>},
    {L"Option", make<COptionUI>},
    {L"CheckBox", make<CCheckBoxUI>},
    {L"Edit", make<CEditUI>},
    {L"RichEdit", make<CRichEditUI>},
    {L"Combo", make<CComboUI>},
    {L"List", make<CListUI>},
    {L"ListLabelElement", make<CListLabelElementUI>},
    {L"ListContainerElement", make<CListContainerElementUI>},
    {L"Slider", make<CSliderUI>},
    {L"Progress", make<CProgressUI>},
    {L"ColorPalette", make<CColorPaletteUI>},
    {L"Menu", make<CMenuUI>},
    {L"MenuElement", make<CMenuElementUI>},
};

bool loadSkin(pugi::xml_document& doc, std::wstring_view xml)
{
    if (const auto start = xml.find_first_not_of(L" \t\r\n");
        start != std::wstring_view::npos && xml[start] == L'<') {
        const std::string text = platform::toUtf8(xml);
        const auto result = doc.load_buffer(text.data(), text.size());
        if (!result)
            platform::debugOutput(std::string("skin XML malformed: ") + result.description());
        return static_cast<bool>(result);
    }
    // A skin-index name first, then a path.
    std::wstring file = CResourceManager::GetInstance()->GetXmlPath(xml);
    if (file.empty())
        file = xml;
    const auto path = ui::resolveResourceFile(file);
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    if (error || size > kMaxSkinFileSize) {
        platform::debugOutput(L"skin file not found: " + path.wstring());
        return false;
    }
    const auto result = doc.load_file(path.c_str());
    if (!result)
        platform::debugOutput("skin file malformed: " + path.string() + ": " +
                              result.description());
    return static_cast<bool>(result);
}

} // namespace

CControlUI* createBuiltinControl(std::wstring_view tag)
{
    for (const auto& builtin : kBuiltins) {
        if (platform::equalsIgnoreCase(builtin.tag, tag))
            return builtin.create();
    }
    return nullptr;
}

CControlUI* CDialogBuilder::Create(std::wstring_view xml, const wchar_t*,
                                   IDialogBuilderCallback* callback, CPaintManagerUI* manager,
                                   CControlUI* parent)
{
    int includesLeft = kMaxIncludes;
    m_includesLeft = &includesLeft;
    CControlUI* root = Create(xml, callback, manager, parent, 0);
    m_includesLeft = nullptr;
    return root;
}

CControlUI* CDialogBuilder::Create(std::wstring_view xml, IDialogBuilderCallback* callback,
                                   CPaintManagerUI* manager, CControlUI* parent, int depth)
{
    m_callback = callback;
    pugi::xml_document doc;
    if (!loadSkin(doc, xml))
        return nullptr;
    pugi::xml_node root = doc.document_element();
    if (!root)
        return nullptr;
    if (platform::equalsIgnoreCase(wide(root.name()), L"Window")) {
        ApplyWindowAttributes(root, manager);
        for (const pugi::xml_node child : root.children()) {
            if (child.type() != pugi::node_element)
                continue;
            const std::wstring tag = wide(child.name());
            if (platform::equalsIgnoreCase(tag, L"Font") ||
                platform::equalsIgnoreCase(tag, L"Style") ||
                platform::equalsIgnoreCase(tag, L"Default"))
                continue;
            return Parse(child, parent, manager, depth);
        }
        return nullptr;
    }
    return Parse(root, parent, manager, depth);
}

void CDialogBuilder::ApplyWindowAttributes(const pugi::xml_node& window, CPaintManagerUI* manager)
{
    if (!manager)
        return;
    if (const auto size = window.attribute("size")) {
        const SIZE cxy = parseSizeAttribute(wide(size.as_string()));
        manager->SetInitSize(cxy.cx, cxy.cy);
    }
    if (const auto caption = window.attribute("caption"))
        manager->SetCaptionRect(parseRectAttribute(wide(caption.as_string())));
    for (const pugi::xml_node child : window.children()) {
        const std::wstring tag = wide(child.name());
        const bool shared = child.attribute("shared").as_bool(false);
        if (platform::equalsIgnoreCase(tag, L"Font")) {
            const std::wstring face = wide(child.attribute("name").as_string());
            const int size = child.attribute("size").as_int(12);
            const bool bold = child.attribute("bold").as_bool(false);
            const bool underline = child.attribute("underline").as_bool(false);
            const bool italic = child.attribute("italic").as_bool(false);
            if (child.attribute("id"))
                manager->AddFont(child.attribute("id").as_int(), face, size, bold, underline,
                                 italic, shared);
            if (child.attribute("default").as_bool(false))
                manager->SetDefaultFont(face, size, bold, underline, italic, shared);
        } else if (platform::equalsIgnoreCase(tag, L"Style")) {
            manager->AddStyle(wide(child.attribute("name").as_string()),
                              wide(child.attribute("value").as_string()), shared);
        } else if (platform::equalsIgnoreCase(tag, L"Default")) {
            manager->AddDefaultAttributeList(wide(child.attribute("name").as_string()),
                                             wide(child.attribute("value").as_string()), shared);
        }
    }
}

CControlUI* CDialogBuilder::CreateByTag(std::wstring_view tag) const
{
    if (CControlUI* control = createBuiltinControl(tag))
        return control;
    if (m_callback) {
        const std::wstring name(tag);
        if (CControlUI* control = m_callback->CreateControl(name.c_str()))
            return control;
    }
    auto* factory = CControlFactory::GetInstance();
    if (CControlUI* control = factory->CreateControl(tag))
        return control;
    return factory->CreateControl(L"C" + std::wstring(tag) + L"UI");
}

CControlUI* CDialogBuilder::Parse(const pugi::xml_node& node, CControlUI* parent,
                                  CPaintManagerUI* manager, int depth)
{
    if (depth > kMaxDepth) {
        platform::debugOutput(L"skin nested too deeply; the rest is skipped");
        return nullptr;
    }
    const std::wstring tag = wide(node.name());
    if (platform::equalsIgnoreCase(tag, L"Include")) {
        // Another skin file built in place, as often as "count" says.
        const std::wstring source = wide(node.attribute("source").as_string());
        const int count = std::clamp(node.attribute("count").as_int(1), 1, 100);
        CControlUI* first = nullptr;
        for (int i = 0; i < count; ++i) {
            if (m_includesLeft && (*m_includesLeft)-- <= 0) {
                platform::debugOutput(L"skin includes too many files; the rest is skipped");
                break;
            }
            CDialogBuilder nested;
            nested.m_includesLeft = m_includesLeft;
            CControlUI* control = nested.Create(source, m_callback, manager, parent, depth + 1);
            if (!first)
                first = control;
        }
        return first;
    }
    CControlUI* control = CreateByTag(tag);
    if (!control) {
        platform::debugOutput(L"skin tag not known: " + tag);
        return nullptr;
    }
    if (manager)
        control->SetManager(manager, nullptr, false);
    auto* container = static_cast<CContainerUI*>(control->GetInterface(L"Container"));
    for (const pugi::xml_node child : node.children()) {
        if (child.type() != pugi::node_element)
            continue;
        if (container) {
            Parse(child, container, manager, depth + 1);
        } else {
            platform::debugOutput(L"skin tag " + tag + L" cannot hold children");
            break;
        }
    }
    if (manager) {
        const CDuiString defaults = manager->GetDefaultAttributeList(tag);
        if (!defaults.empty())
            control->ApplyAttributeList(defaults);
    }
    for (const pugi::xml_attribute attribute : node.attributes())
        control->SetAttribute(wide(attribute.name()), wide(attribute.value()));

    if (parent) {
        auto* parentContainer = static_cast<CContainerUI*>(parent->GetInterface(L"Container"));
        if (!parentContainer || !parentContainer->Add(control)) {
            delete control;
            return nullptr;
        }
    }
    return control;
}
