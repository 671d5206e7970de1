#pragma once

#include "ui/control_ui.h"

#include <string_view>

namespace pages {

// The first control named `name` in the tree below `parent` (itself included). Pages look
// their controls up while being built, before the paint manager knows them.
inline CControlUI* findByName(CControlUI* parent, std::wstring_view name)
{
    if (!parent || name.empty())
        return nullptr;
    return parent->FindControl(
        [](CControlUI* control, void* data) -> CControlUI* {
            return control->GetName() == *static_cast<std::wstring_view*>(data) ? control : nullptr;
        },
        &name, UIFIND_ALL);
}

} // namespace pages
