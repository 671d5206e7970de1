#include "update/service_address.h"

#include "platform/settings_store.h"
#include "update/update_check.h"

#include <algorithm>

namespace update {
namespace {

bool isBlankOrControl(wchar_t c)
{
    return c <= L' ' || c == 0x7F;
}

bool startsWithNoCase(std::wstring_view text, std::wstring_view prefix)
{
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](wchar_t lower, wchar_t c) {
               return (c >= L'A' && c <= L'Z' ? c + 32 : c) == lower;
           });
}

} // namespace

std::wstring trimmedAddress(std::wstring_view typed)
{
    while (!typed.empty() && isBlankOrControl(typed.front()))
        typed.remove_prefix(1);
    while (!typed.empty() && isBlankOrControl(typed.back()))
        typed.remove_suffix(1);
    return std::wstring(typed);
}

std::optional<AddressProblem> addressProblem(std::wstring_view address)
{
    if (address.empty())
        return std::nullopt;
    if (address.size() > kMaxServiceAddressLength)
        return AddressProblem::TooLong;
    if (std::any_of(address.begin(), address.end(), isBlankOrControl))
        return AddressProblem::HasBlank;
    std::wstring_view rest;
    for (const std::wstring_view scheme : {L"https://", L"http://"}) {
        if (startsWithNoCase(address, scheme)) {
            rest = address.substr(scheme.size());
            break;
        }
        if (scheme == L"http://")
            return AddressProblem::NotWeb;
    }
    const std::wstring_view server = rest.substr(0, rest.find_first_of(L"/?#"));
    if (server.empty() || server.front() == L':' || server.front() == L'@')
        return AddressProblem::NoServer;
    return std::nullopt;
}

std::wstring_view refusalTextId(AddressProblem problem)
{
    switch (problem) {
    case AddressProblem::NotWeb:
        return L"update_address_not_web_text";
    case AddressProblem::NoServer:
        return L"update_address_no_server_text";
    case AddressProblem::HasBlank:
        return L"update_address_blank_text";
    case AddressProblem::TooLong:
        return L"update_address_too_long_text";
    }
    return L"update_address_not_web_text";
}

platform::Result<void> storeServiceAddress(const std::filesystem::path& settingsFile,
                                           std::wstring_view address)
{
    if (addressProblem(address))
        return platform::makeError(platform::Error::Code::InvalidInput,
                                   "the update service address is not usable");
    platform::SettingsStore store(settingsFile);
    if (address.empty())
        return store.remove(kBaseUrlSetting);
    return store.setText(kBaseUrlSetting, address);
}

} // namespace update
