#include "device/hid/windows/system_path.h"

#include "platform/hex.h"
#include "platform/text.h"

#include <string>

namespace hid::windows {
namespace {

constexpr std::wstring_view kPrefix = L"\\\\?\\hid#";

// The hexadecimal number after `token` in the hardware id: 0 when the token is absent,
// nullopt when no digit follows or more than `digits` do.
std::optional<std::uint32_t> field(std::wstring_view hardware, std::wstring_view token,
                                   std::size_t digits)
{
    const std::size_t at = hardware.find(token);
    if (at == std::wstring_view::npos)
        return 0;
    std::uint32_t value = 0;
    std::size_t count = 0;
    for (std::size_t i = at + token.size(); i < hardware.size(); ++i, ++count) {
        const auto digit = platform::hexDigit(hardware[i]);
        if (!digit)
            break;
        if (count == digits)
            return std::nullopt;
        value = value * 16 + *digit;
    }
    if (count == 0)
        return std::nullopt;
    return value;
}

} // namespace

std::optional<PathIds> parseSystemPath(std::wstring_view path)
{
    if (path.size() > kLongestSystemPath)
        return std::nullopt;
    const std::wstring lower = platform::toLower(path);
    if (lower.rfind(kPrefix, 0) != 0)
        return std::nullopt;
    const std::wstring_view rest = std::wstring_view(lower).substr(kPrefix.size());
    const std::size_t hardwareEnd = rest.find(L'#');
    if (hardwareEnd == std::wstring_view::npos || hardwareEnd + 1 == rest.size())
        return std::nullopt;
    const std::wstring_view hardware = rest.substr(0, hardwareEnd);
    const std::wstring_view instance = rest.substr(hardwareEnd + 1);
    if (instance.rfind(L"sim&", 0) == 0 || instance.rfind(L"sock&", 0) == 0)
        return std::nullopt;
    // Bluetooth devices name their ids another way ("_vid&0002046d"): those read 0 here,
    // as the attributes, not the path, say who made the device.
    const auto vendor = field(hardware, L"vid_", 4);
    const auto product = field(hardware, L"pid_", 4);
    const auto interfaceNumber = field(hardware, L"&mi_", 2);
    const auto collection = field(hardware, L"&col", 2);
    if (!vendor || !product || !interfaceNumber || !collection)
        return std::nullopt;
    PathIds ids;
    ids.vendorId = static_cast<std::uint16_t>(*vendor);
    ids.productId = static_cast<std::uint16_t>(*product);
    ids.interfaceNumber = *interfaceNumber;
    ids.collection = *collection;
    return ids;
}

} // namespace hid::windows
