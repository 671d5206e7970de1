#include "platform/http.h"

#include "platform/text.h"

#include <algorithm>

namespace platform {

std::string httpHeaderBlock(std::size_t bodyLength)
{
    return "Content-Length:" + std::to_string(bodyLength) +
           "\r\nContent-Type: application/x-www-form-urlencoded\r\n"
           "\r\nAccept:application/prs.Novik.v1+json\r\n";
}

std::vector<std::string> httpHeaderLines(std::size_t bodyLength)
{
    std::vector<std::string> lines;
    const std::string block = httpHeaderBlock(bodyLength);
    std::size_t start = 0;
    while (start < block.size()) {
        const std::size_t end = std::min(block.find("\r\n", start), block.size());
        if (end > start)
            lines.push_back(block.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

void writeNoLinkMarker(std::span<std::uint8_t> response)
{
    const std::size_t n = std::min(response.size(), kNoLinkServerMarker.size());
    std::copy_n(kNoLinkServerMarker.begin(), n, response.begin());
    if (response.size() > kNoLinkServerMarker.size())
        response[kNoLinkServerMarker.size()] = 0;
}

HttpError badStatusError(const std::string& host, long status)
{
    return {HttpErrorCode::BadStatus, (host.empty() ? std::string("the server") : host) +
                                          " answered with status " + std::to_string(status)};
}

std::optional<std::uint64_t> downloadLimit(const HttpSettings& settings, std::uint64_t expectedSize,
                                           HttpError& error)
{
    if (expectedSize > settings.maxDownloadSize) {
        error = {HttpErrorCode::TooLarge, "the announced size of " + std::to_string(expectedSize) +
                                              " bytes is beyond the limit of " +
                                              std::to_string(settings.maxDownloadSize)};
        return std::nullopt;
    }
    return expectedSize != 0 ? expectedSize : settings.maxDownloadSize;
}

namespace {

std::string seconds(std::chrono::milliseconds duration)
{
    const auto whole = std::chrono::duration_cast<std::chrono::seconds>(duration).count();
    if (whole * 1000 == duration.count())
        return std::to_string(whole) + " s";
    return std::to_string(duration.count()) + " ms";
}

std::string named(const std::string& host)
{
    return host.empty() ? std::string("the server") : host;
}

} // namespace

std::string httpDeadlineWords(const std::string& host, std::chrono::milliseconds overall)
{
    return named(host) + " did not finish within " + seconds(overall);
}

std::string httpRateWords(const std::string& host, const HttpSettings& settings)
{
    return named(host) + " sent less than " + std::to_string(settings.minimumRate) +
           " bytes a second for " + seconds(settings.rateWindow);
}

std::string httpStallWords(const std::string& host, std::chrono::milliseconds pause)
{
    return named(host) + " sent nothing for " + seconds(pause);
}

HttpError shortBodyError(const std::string& host, std::uint64_t received, std::uint64_t announced)
{
    return {HttpErrorCode::Transfer, named(host) + " ended the answer after " +
                                         std::to_string(received) + " of the " +
                                         std::to_string(announced) + " bytes it announced"};
}

std::string rangeValidator(std::string_view etag, std::string_view lastModified)
{
    auto trimmed = [](std::string_view text) {
        while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
            text.remove_prefix(1);
        while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' ||
                                 text.back() == '\n'))
            text.remove_suffix(1);
        return text;
    };
    etag = trimmed(etag);
    // A weak tag only says two files are alike, not that their bytes are.
    if (etag.size() >= 2 && etag.front() == '"' && etag.back() == '"')
        return std::string(etag);
    return std::string(trimmed(lastModified));
}

TransferPace::TransferPace(const HttpSettings& settings, std::chrono::milliseconds overall,
                           Clock::time_point start)
    : m_settings(settings), m_overall(overall), m_end(start + overall), m_windowStart(start)
{
}

std::optional<HttpError> TransferPace::check(std::uint64_t total, const std::string& host,
                                             Clock::time_point now)
{
    if (now >= m_end)
        return HttpError{HttpErrorCode::TimedOut, httpDeadlineWords(host, m_overall)};
    const auto window = std::max(m_settings.rateWindow, std::chrono::milliseconds(1));
    if (now < m_windowStart + window)
        return std::nullopt;
    const double elapsed = std::chrono::duration<double>(now - m_windowStart).count();
    if (double(total - m_windowBytes) < double(m_settings.minimumRate) * elapsed)
        return HttpError{HttpErrorCode::TimedOut, httpRateWords(host, m_settings)};
    m_windowStart = now;
    m_windowBytes = total;
    return std::nullopt;
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
