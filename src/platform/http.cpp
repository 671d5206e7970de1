#include "platform/http.h"

#include "platform/text.h"

namespace platform {

std::string httpHeaderBlock(std::size_t bodyLength)
{
    return "Content-Length:" + std::to_string(bodyLength) +
           "\r\nContent-Type: application/x-www-form-urlencoded\r\n"
           "\r\nAccept:application/prs.Novik.v1+json\r\n";
}

std::string normalizedHttpMethod(std::wstring_view method)
{
    if (equalsIgnoreCase(method, L"GET"))
        return "GET";
    if (equalsIgnoreCase(method, L"POST"))
        return "POST";
    return {};
}

} // namespace platform
