#include "platform/windows/win_error.h"

#include "platform/text.h"

namespace platform::windows {

std::string displayName(const std::filesystem::path& path)
{
    const auto utf8 = path.u8string();
    return std::string(utf8.begin(), utf8.end());
}

std::string errorText(const std::string& what, DWORD code)
{
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring message = length > 0 ? std::wstring(buffer, length) : L"error";
    LocalFree(buffer);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' ||
                                message.back() == L' ' || message.back() == L'.'))
        message.pop_back();
    return what + ": " + toUtf8(message) + " (" + std::to_string(code) + ")";
}

Error systemError(const std::string& what, DWORD code)
{
    const bool missing = code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
    return makeError(missing ? Error::Code::NotFound : Error::Code::Io, errorText(what, code));
}

} // namespace platform::windows
