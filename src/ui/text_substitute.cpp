#include "ui/text_substitute.h"

namespace ui {

std::wstring substituteNumber(std::wstring_view text, long long number)
{
    std::wstring result;
    result.reserve(text.size() + 20);
    bool substituted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'%' && i + 1 < text.size()) {
            if (text[i + 1] == L'%') {
                result.push_back(L'%');
                ++i;
                continue;
            }
            if (text[i + 1] == L'd' && !substituted) {
                result += std::to_wstring(number);
                substituted = true;
                ++i;
                continue;
            }
        }
        result.push_back(text[i]);
    }
    return result;
}

} // namespace ui
