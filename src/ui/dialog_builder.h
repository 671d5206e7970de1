#pragma once

#include "ui/ui_types.h"

#include <memory>
#include <string_view>

class CControlUI;
class CPaintManagerUI;

namespace pugi {
class xml_node;
}

// Creates the program's own controls for tags the library does not know.
class IDialogBuilderCallback {
public:
    virtual ~IDialogBuilderCallback() = default;
    // Null when the tag is not the window's; tags compare case-insensitively.
    virtual CControlUI* CreateControl(const wchar_t* className) = 0;
};

// Builds a control tree from skin XML. A tag is resolved by the library's own controls
// (any case), then the callback, then the control factory by the exact tag and by
// "C" + tag + "UI". Unknown tags are reported and skipped with their children.
class CDialogBuilder {
public:
    // xml: XML text (starting with '<'), a skin-index name such as "XML_MAIN", or a file
    // below the resource path (either separator) or absolute. Returns the root control,
    // owned by the caller (or added to parent when one is given); null on failure.
    CControlUI* Create(std::wstring_view xml, const wchar_t* type = nullptr,
                       IDialogBuilderCallback* callback = nullptr,
                       CPaintManagerUI* manager = nullptr, CControlUI* parent = nullptr);

private:
    // depth: how deep the file is nested already, so included files count too.
    CControlUI* Create(std::wstring_view xml, IDialogBuilderCallback* callback,
                       CPaintManagerUI* manager, CControlUI* parent, int depth);
    CControlUI* Parse(const pugi::xml_node& node, CControlUI* parent, CPaintManagerUI* manager,
                      int depth);
    CControlUI* CreateByTag(std::wstring_view tag) const;
    void ApplyWindowAttributes(const pugi::xml_node& window, CPaintManagerUI* manager);

    IDialogBuilderCallback* m_callback = nullptr;
    // Includes the whole build may still expand, shared with nested builders: "count"
    // would otherwise multiply at every level.
    int* m_includesLeft = nullptr;
};

// The library's own control for a tag (case-insensitive), or null.
CControlUI* createBuiltinControl(std::wstring_view tag);
