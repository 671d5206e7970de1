#include "device/hid/hid_path.h"

#include "platform/hex.h"
#include "platform/text.h"

#include <cwchar>

namespace hid {
std::uint32_t pathNumber(std::wstring_view path, std::wstring_view token)
{
    const std::wstring lower = platform::toLower(path);
    const std::size_t at = lower.find(platform::toLower(token));
    if (at == std::wstring::npos)
        return 0;
    std::uint32_t value = 0;
    std::size_t i = at + token.size();
    for (int digits = 0; i < path.size() && digits < 8; ++i, ++digits) {
        const auto digit = platform::hexDigit(path[i]);
        if (!digit)
            break;
        value = value * 16 + *digit;
    }
    return value;
}

PathIds parsePath(std::wstring_view path)
{
    PathIds ids;
    ids.vendorId = static_cast<std::uint16_t>(pathNumber(path, L"vid_"));
    ids.productId = static_cast<std::uint16_t>(pathNumber(path, L"pid_"));
    ids.interfaceNumber = pathNumber(path, L"&mi_");
    ids.collection = pathNumber(path, L"&col");
    return ids;
}

std::wstring makePath(std::uint16_t vendorId, std::uint16_t productId,
                      std::optional<std::uint32_t> interfaceNumber,
                      std::optional<std::uint32_t> collection, std::wstring_view instance)
{
    wchar_t ids[64];
    std::swprintf(ids, 64, L"vid_%04x&pid_%04x", unsigned(vendorId), unsigned(productId));
    std::wstring path = L"\\\\?\\hid#";
    path += ids;
    if (interfaceNumber) {
        std::swprintf(ids, 64, L"&mi_%02x", unsigned(*interfaceNumber));
        path += ids;
    }
    if (collection) {
        std::swprintf(ids, 64, L"&col%02x", unsigned(*collection));
        path += ids;
    }
    path += L'#';
    path += instance;
    path += L"#{4d1e55b2-f16f-11cf-88cb-001111000030}";
    return path;
}

} // namespace hid
