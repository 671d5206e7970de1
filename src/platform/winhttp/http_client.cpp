#include "platform/http.h"

#include "platform/debug_output.h"
#include "platform/text.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <optional>
#include <windows.h>
// winhttp.h needs the types of windows.h first.
#include <winhttp.h>

namespace platform {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr auto kProgressInterval = std::chrono::milliseconds(200);

struct InternetHandle {
    HINTERNET handle = nullptr;
    explicit InternetHandle(HINTERNET made = nullptr) : handle(made) {}
    ~InternetHandle()
    {
        if (handle)
            WinHttpCloseHandle(handle);
    }
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;
};

struct Url {
    bool secure = false;
    std::wstring host;
    INTERNET_PORT port = 0;
    std::wstring pathAndQuery;
};

std::optional<Url> crackUrl(std::wstring_view text)
{
    std::wstring copy(text);
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    parts.dwSchemeLength = static_cast<DWORD>(-1);
    if (!WinHttpCrackUrl(copy.c_str(), 0, 0, &parts) || parts.dwHostNameLength == 0)
        return std::nullopt;
    if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS)
        return std::nullopt;
    Url url;
    url.secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    url.host.assign(parts.lpszHostName, parts.dwHostNameLength);
    url.port = parts.nPort;
    url.pathAndQuery.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
    url.pathAndQuery.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (url.pathAndQuery.empty())
        url.pathAndQuery = L"/";
    return url;
}

int timeoutMs(std::chrono::milliseconds timeout)
{
    // WinHTTP takes 0 as "no limit" only for resolving; elsewhere it means "at once".
    return timeout.count() <= 0 ? -1
                                : static_cast<int>(std::min<long long>(timeout.count(), INT_MAX));
}

// The transport failures the callers tell apart keep WinHTTP's own numbers.
HttpError errorFor(DWORD code, const std::string& host)
{
    switch (code) {
    case ERROR_WINHTTP_TIMEOUT:
        return {HttpErrorCode::TimedOut, host + " did not answer in time"};
    case ERROR_WINHTTP_UNRECOGNIZED_SCHEME:
    case ERROR_WINHTTP_INVALID_URL:
        return {HttpErrorCode::BadUrl, "the address is not a valid http or https URL"};
    case ERROR_WINHTTP_NAME_NOT_RESOLVED:
        return {HttpErrorCode::NameNotResolved, host + " could not be found"};
    case ERROR_WINHTTP_OPERATION_CANCELLED:
    case ERROR_INVALID_HANDLE:
        return {HttpErrorCode::Aborted, "the request to " + host + " was stopped"};
    case ERROR_WINHTTP_CANNOT_CONNECT:
        return {HttpErrorCode::CannotConnect, host + " refused the connection"};
    case ERROR_WINHTTP_SECURE_FAILURE:
        return {HttpErrorCode::Certificate, host + "'s certificate is not trusted"};
    default:
        return {HttpErrorCode::Transfer,
                "the transfer with " + host + " failed (" + std::to_string(code) + ")"};
    }
}

} // namespace

// The request handle of the running request, so that abort() on another thread can close
// it: WinHTTP ends a blocked call on a handle closed under it.
struct HttpClient::Transfer {
    std::mutex lock;
    HINTERNET running = nullptr;
};

namespace {

// One request's handles, opened in order; the request handle is handed to the transfer
// slot while it runs.
struct Session {
    InternetHandle session;
    InternetHandle connection;
    InternetHandle request;
};

} // namespace

HttpClient::HttpClient() : m_transfer(std::make_unique<Transfer>()) {}

HttpClient::~HttpClient() = default;

void HttpClient::resetSettings()
{
    m_settings = HttpSettings{};
    m_lastError = HttpError{};
}

void HttpClient::abort()
{
    m_aborted = true;
    std::lock_guard guard(m_transfer->lock);
    if (m_transfer->running) {
        WinHttpCloseHandle(m_transfer->running);
        m_transfer->running = nullptr;
    }
}

void HttpClient::clearAbort()
{
    m_aborted = false;
}

namespace {

// Opens session, connection and request for the URL with the client's settings; the error
// is set when it cannot.
bool openRequest(Session& out, const Url& url, const wchar_t* verb, const HttpSettings& settings,
                 ProxyUse proxy, HttpError& error)
{
    const std::wstring agent = fromUtf8(settings.userAgent);
    const std::wstring named = fromUtf8(settings.namedProxy);
    const bool useNamed = proxy == ProxyUse::Named && !named.empty();
    out.session.handle =
        WinHttpOpen(agent.c_str(),
                    useNamed ? WINHTTP_ACCESS_TYPE_NAMED_PROXY : WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                    useNamed ? named.c_str() : WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
    const std::string host = toUtf8(url.host);
    if (!out.session.handle) {
        error = errorFor(GetLastError(), host);
        return false;
    }
    WinHttpSetTimeouts(out.session.handle, timeoutMs(settings.resolveTimeout),
                       timeoutMs(settings.connectTimeout), timeoutMs(settings.sendTimeout),
                       timeoutMs(settings.receiveTimeout));
    out.connection.handle = WinHttpConnect(out.session.handle, url.host.c_str(), url.port, 0);
    if (out.connection.handle)
        out.request.handle = WinHttpOpenRequest(
            out.connection.handle, verb, url.pathAndQuery.c_str(), nullptr, WINHTTP_NO_REFERER,
            WINHTTP_DEFAULT_ACCEPT_TYPES, url.secure ? WINHTTP_FLAG_SECURE : 0);
    if (!out.request.handle) {
        error = errorFor(GetLastError(), host);
        return false;
    }
    if (useNamed && !settings.proxyUser.empty()) {
        const std::wstring user = fromUtf8(settings.proxyUser);
        const std::wstring password = fromUtf8(settings.proxyPassword);
        WinHttpSetOption(out.request.handle, WINHTTP_OPTION_PROXY_USERNAME,
                         const_cast<wchar_t*>(user.c_str()), static_cast<DWORD>(user.size()));
        WinHttpSetOption(out.request.handle, WINHTTP_OPTION_PROXY_PASSWORD,
                         const_cast<wchar_t*>(password.c_str()),
                         static_cast<DWORD>(password.size()));
    }
    return true;
}

DWORD statusOf(HINTERNET request)
{
    DWORD status = 0;
    DWORD size = sizeof status;
    WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                        WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX);
    return status;
}

} // namespace

std::int64_t HttpClient::request(std::wstring_view method, std::wstring_view url,
                                 std::span<const std::uint8_t> body,
                                 std::span<std::uint8_t> response, ProxyUse proxy)
{
    if (url.empty()) {
        m_lastError = {HttpErrorCode::EmptyUrl, "no address to send the request to"};
        return -1;
    }
    const std::string verb = normalizedHttpMethod(method);
    if (verb.empty()) {
        m_lastError = {HttpErrorCode::BadMethod, "only GET and POST are sent"};
        return -1;
    }
    auto writeMarker = [&] {
        if (response.empty())
            return;
        const std::size_t n = std::min(response.size(), kNoLinkServerMarker.size() + 1);
        std::memcpy(response.data(), kNoLinkServerMarker.data(),
                    std::min(n, kNoLinkServerMarker.size()));
        if (n > kNoLinkServerMarker.size())
            response[kNoLinkServerMarker.size()] = 0;
    };
    const auto cracked = crackUrl(url);
    if (!cracked) {
        m_lastError = errorFor(ERROR_WINHTTP_INVALID_URL, {});
        writeMarker();
        return 0;
    }
    const std::string host = toUtf8(cracked->host);
    // TODO: trust the extra CA file through a chain engine of its own. Refused rather than
    // ignored, so a private service is never reached without the check it asked for.
    if (!m_settings.extraCaFile.empty()) {
        m_lastError = {HttpErrorCode::Certificate,
                       "an extra certificate authority file is not used on Windows; add it to "
                       "the user's certificate store"};
        writeMarker();
        return 0;
    }
    Session session;
    const std::wstring wideVerb = fromUtf8(verb);
    if (!openRequest(session, *cracked, wideVerb.c_str(), m_settings, proxy, m_lastError)) {
        debugOutput("http: " + m_lastError.message);
        writeMarker();
        return 0;
    }
    {
        std::lock_guard guard(m_transfer->lock);
        if (m_aborted) {
            m_lastError = errorFor(ERROR_WINHTTP_OPERATION_CANCELLED, host);
            writeMarker();
            return 0;
        }
        m_transfer->running = session.request.handle;
    }
    // From here abort() may close the request handle: only the slot closes it.
    auto release = [&] {
        std::lock_guard guard(m_transfer->lock);
        if (m_transfer->running == session.request.handle)
            m_transfer->running = nullptr;
        else
            session.request.handle = nullptr; // closed by abort()
    };
    const std::wstring headers = fromUtf8(httpHeaderBlock(body.size()));
    const BOOL sent = WinHttpSendRequest(
        session.request.handle, headers.c_str(), static_cast<DWORD>(headers.size()),
        body.empty() ? WINHTTP_NO_REQUEST_DATA : const_cast<std::uint8_t*>(body.data()),
        static_cast<DWORD>(body.size()), static_cast<DWORD>(body.size()), 0);
    if (!sent || !WinHttpReceiveResponse(session.request.handle, nullptr)) {
        const DWORD error = m_aborted ? ERROR_WINHTTP_OPERATION_CANCELLED : GetLastError();
        release();
        m_lastError = errorFor(error, host);
        debugOutput("http: " + m_lastError.message);
        writeMarker();
        return 0;
    }
    std::size_t copied = 0;
    while (copied < response.size()) {
        DWORD got = 0;
        const DWORD want =
            static_cast<DWORD>(std::min<std::size_t>(response.size() - copied, 1 << 20));
        if (!WinHttpReadData(session.request.handle, response.data() + copied, want, &got)) {
            const DWORD error = m_aborted ? ERROR_WINHTTP_OPERATION_CANCELLED : GetLastError();
            m_lastError = errorFor(error, host);
            debugOutput("http: " + m_lastError.message);
            break;
        }
        if (got == 0)
            break;
        copied += got;
    }
    release();
    return static_cast<std::int64_t>(copied);
}

Result<DownloadProgress> HttpClient::download(std::wstring_view url, const fs::path& file,
                                              const ProgressHandler& progress, ProxyUse proxy,
                                              std::uint64_t expectedSize)
{
    const auto cracked = crackUrl(url);
    if (!cracked) {
        m_lastError = errorFor(ERROR_WINHTTP_INVALID_URL, {});
        return makeError(Error::Code::InvalidInput, m_lastError.message);
    }
    const std::string host = toUtf8(cracked->host);
    if (!m_settings.extraCaFile.empty()) {
        m_lastError = {HttpErrorCode::Certificate,
                       "an extra certificate authority file is not used on Windows"};
        return makeError(Error::Code::Failed, m_lastError.message);
    }
    const auto fileName = file.u8string();
    const std::string displayName(fileName.begin(), fileName.end());
    // The file stays this user's: the profile's default access list closes it to others.
    HANDLE out = CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE)
        return makeError(Error::Code::Io, displayName + ": cannot be opened for writing");
    struct Closer {
        HANDLE handle;
        ~Closer() { CloseHandle(handle); }
    } closer{out};
    LARGE_INTEGER size{};
    GetFileSizeEx(out, &size);
    const std::uint64_t existing = static_cast<std::uint64_t>(size.QuadPart);

    Session session;
    if (!openRequest(session, *cracked, L"GET", m_settings, proxy, m_lastError))
        return makeError(Error::Code::Failed, m_lastError.message);
    {
        std::lock_guard guard(m_transfer->lock);
        if (m_aborted) {
            m_lastError = errorFor(ERROR_WINHTTP_OPERATION_CANCELLED, host);
            return makeError(Error::Code::Failed, m_lastError.message);
        }
        m_transfer->running = session.request.handle;
    }
    auto release = [&] {
        std::lock_guard guard(m_transfer->lock);
        if (m_transfer->running == session.request.handle)
            m_transfer->running = nullptr;
        else
            session.request.handle = nullptr;
    };
    const std::wstring range =
        existing > 0 ? L"Range: bytes=" + std::to_wstring(existing) + L"-\r\n" : std::wstring();
    auto transportFailure = [&]() -> Result<DownloadProgress> {
        const DWORD error = m_aborted ? ERROR_WINHTTP_OPERATION_CANCELLED : GetLastError();
        release();
        m_lastError = errorFor(error, host);
        return makeError(error == ERROR_WINHTTP_TIMEOUT ? Error::Code::Timeout
                                                        : Error::Code::Failed,
                         m_lastError.message);
    };
    if (!WinHttpSendRequest(session.request.handle,
                            range.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : range.c_str(),
                            static_cast<DWORD>(range.size()), WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
        !WinHttpReceiveResponse(session.request.handle, nullptr))
        return transportFailure();
    const DWORD status = statusOf(session.request.handle);
    DownloadProgress state;
    if (status == 416 && existing > 0) {
        // Nothing after what we hold: the file was complete already.
        release();
        state.received = state.total = existing;
        if (progress)
            progress(state);
        return state;
    }
    if (status != 200 && status != 206) {
        release();
        m_lastError = {HttpErrorCode::Transfer,
                       host + " answered with status " + std::to_string(status)};
        return makeError(Error::Code::Failed, m_lastError.message);
    }
    // A server that ignores the range sends the whole file: start over.
    std::uint64_t offset = existing;
    if (status == 200) {
        offset = 0;
        LARGE_INTEGER zero{};
        SetFilePointerEx(out, zero, nullptr, FILE_BEGIN);
        SetEndOfFile(out);
    } else {
        LARGE_INTEGER end{};
        SetFilePointerEx(out, end, nullptr, FILE_END);
    }
    wchar_t lengthText[32] = {};
    DWORD lengthSize = sizeof lengthText;
    std::uint64_t length = 0;
    if (WinHttpQueryHeaders(session.request.handle, WINHTTP_QUERY_CONTENT_LENGTH,
                            WINHTTP_HEADER_NAME_BY_INDEX, lengthText, &lengthSize,
                            WINHTTP_NO_HEADER_INDEX))
        length = std::wcstoull(lengthText, nullptr, 10);
    state.total = length > 0 ? offset + length : 0;
    state.received = offset;
    // What may arrive at most: what the service announced, else the sane limit.
    const std::uint64_t allowed = expectedSize > 0
                                      ? std::min(expectedSize, m_settings.maxDownloadSize)
                                      : m_settings.maxDownloadSize;
    if (state.total > allowed) {
        release();
        m_lastError = {HttpErrorCode::Transfer, host + " announced " + std::to_string(state.total) +
                                                    " bytes, more than " + std::to_string(allowed)};
        return makeError(Error::Code::Failed, m_lastError.message);
    }
    auto lastReport = Clock::now() - kProgressInterval;
    std::vector<std::uint8_t> chunk(64 * 1024);
    for (;;) {
        DWORD got = 0;
        if (!WinHttpReadData(session.request.handle, chunk.data(), static_cast<DWORD>(chunk.size()),
                             &got))
            return transportFailure();
        if (got == 0)
            break;
        if (state.received + got > allowed) {
            release();
            m_lastError = {HttpErrorCode::Transfer, host + " sent more than the " +
                                                        std::to_string(allowed) +
                                                        " bytes it announced"};
            return makeError(Error::Code::Failed, m_lastError.message);
        }
        DWORD written = 0;
        if (!WriteFile(out, chunk.data(), got, &written, nullptr) || written != got) {
            release();
            return makeError(Error::Code::Io, displayName + ": the download could not be written");
        }
        state.received += got;
        if (const auto now = Clock::now(); progress && now - lastReport >= kProgressInterval) {
            lastReport = now;
            progress(state);
        }
    }
    release();
    if (!FlushFileBuffers(out))
        return makeError(Error::Code::Io, displayName + ": the download could not be written");
    if (state.total == 0)
        state.total = state.received;
    if (progress)
        progress(state);
    return state;
}

} // namespace platform
