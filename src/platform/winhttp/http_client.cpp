#include "platform/http.h"

#include "platform/debug_output.h"
#include "platform/text.h"
#include "platform/winhttp/extra_authorities.h"

#include <algorithm>
#include <cstdlib>
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
    case WSAETIMEDOUT: // Wine passes the socket's own error on
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
    case ERROR_WINHTTP_SECURE_CHANNEL_ERROR: // Wine's word for a certificate it refused
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
    // Waiting for the answer's first line has a limit of its own (90 s on Windows, 30 s under
    // Wine); a silent service is given no longer than any other pause in the transfer.
    DWORD responseTimeout = static_cast<DWORD>(timeoutMs(settings.receiveTimeout));
    WinHttpSetOption(out.request.handle, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &responseTimeout,
                     sizeof responseTimeout);
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

// The settings' extra authorities: an empty optional when there are none, nullopt (with the
// error) when the file cannot be used; a private service is never reached without the check
// it asked for.
std::optional<std::optional<ExtraAuthorities>> extraAuthorities(const HttpSettings& settings,
                                                                HttpError& error)
{
    if (settings.extraCaFile.empty())
        return std::optional<ExtraAuthorities>();
    auto loaded = ExtraAuthorities::load(settings.extraCaFile);
    if (!loaded) {
        error = {HttpErrorCode::Certificate, loaded.error().message};
        return std::nullopt;
    }
    return std::optional<ExtraAuthorities>(std::move(*loaded));
}

HttpError refusedChain(const ExtraAuthorities::Check& check, const std::string& host)
{
    return {HttpErrorCode::Certificate, host + "'s certificate is not trusted: " + check.why};
}

// With extra authorities, a secure request's server chain is checked as it is about to go
// out; a refused one is closed through the transfer slot (`lock` and `running`), as abort()
// closes it.
bool watchChain(const std::optional<ExtraAuthorities>& extra, Session& session, const Url& url,
                ExtraAuthorities::Check& check, std::mutex& lock, HINTERNET& running,
                HttpError& error)
{
    if (!extra || !url.secure)
        return true;
    check.host = url.host;
    check.cancel = [&lock, &running](HINTERNET request) {
        std::lock_guard guard(lock);
        if (running == request) {
            WinHttpCloseHandle(request);
            running = nullptr;
        }
    };
    if (extra->watch(session.request.handle, check))
        return true;
    error = {HttpErrorCode::Certificate, "the extra certificate authorities cannot be used"};
    return false;
}

DWORD statusOf(HINTERNET request)
{
    DWORD status = 0;
    DWORD size = sizeof status;
    WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                        WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX);
    return status;
}

// A header of the answer as text; empty when it has none.
std::string headerOf(HINTERNET request, DWORD query)
{
    wchar_t text[512] = {};
    DWORD size = sizeof text;
    if (!WinHttpQueryHeaders(request, query, WINHTTP_HEADER_NAME_BY_INDEX, text, &size,
                             WINHTTP_NO_HEADER_INDEX))
        return {};
    return toUtf8(std::wstring_view(text, size / sizeof(wchar_t)));
}

// The answer's Content-Length; 0 when it gave none.
std::uint64_t announcedLength(HINTERNET request)
{
    const std::string text = headerOf(request, WINHTTP_QUERY_CONTENT_LENGTH);
    return text.empty() ? 0 : std::strtoull(text.c_str(), nullptr, 10);
}

// Why a read of the answer failed: a connection that ended before the announced length
// is said as such, whatever number the system gives it.
HttpError readError(DWORD code, const std::string& host, std::uint64_t received,
                    std::uint64_t announced)
{
    if (code != ERROR_WINHTTP_OPERATION_CANCELLED && code != ERROR_WINHTTP_TIMEOUT &&
        code != WSAETIMEDOUT && announced > received)
        return shortBodyError(host, received, announced);
    return errorFor(code, host);
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
    auto writeMarker = [&] { writeNoLinkMarker(response); };
    const auto cracked = crackUrl(url);
    if (!cracked) {
        m_lastError = errorFor(ERROR_WINHTTP_INVALID_URL, {});
        writeMarker();
        return 0;
    }
    const std::string host = toUtf8(cracked->host);
    auto extra = extraAuthorities(m_settings, m_lastError);
    if (!extra) {
        writeMarker();
        return 0;
    }
    Session session;
    const std::wstring wideVerb = fromUtf8(verb);
    ExtraAuthorities::Check check;
    if (!openRequest(session, *cracked, wideVerb.c_str(), m_settings, proxy, m_lastError) ||
        !watchChain(*extra, session, *cracked, check, m_transfer->lock, m_transfer->running,
                    m_lastError)) {
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
    const auto started = TransferPace::Clock::now();
    const std::wstring headers = fromUtf8(httpHeaderBlock(body.size()));
    const BOOL sent = WinHttpSendRequest(
        session.request.handle, headers.c_str(), static_cast<DWORD>(headers.size()),
        body.empty() ? WINHTTP_NO_REQUEST_DATA : const_cast<std::uint8_t*>(body.data()),
        static_cast<DWORD>(body.size()), static_cast<DWORD>(body.size()),
        reinterpret_cast<DWORD_PTR>(&check));
    if (!sent || check.refused || !WinHttpReceiveResponse(session.request.handle, nullptr)) {
        const DWORD error = m_aborted ? ERROR_WINHTTP_OPERATION_CANCELLED : GetLastError();
        release();
        m_lastError = check.refused ? refusedChain(check, host) : errorFor(error, host);
        debugOutput("http: " + m_lastError.message);
        writeMarker();
        return 0;
    }
    // An abort between the answer and its status closes the handle the status is read from.
    if (m_aborted) {
        release();
        m_lastError = errorFor(ERROR_WINHTTP_OPERATION_CANCELLED, host);
        writeMarker();
        return 0;
    }
    if (const DWORD status = statusOf(session.request.handle); status < 200 || status > 299) {
        // An error page is not the answer that was asked for, whatever its body says.
        release();
        m_lastError = badStatusError(host, long(status));
        debugOutput("http: " + m_lastError.message);
        std::fill(response.begin(), response.end(), std::uint8_t{0});
        writeMarker();
        return 0;
    }
    const std::uint64_t announced = announcedLength(session.request.handle);
    std::size_t copied = 0;
    std::optional<HttpError> failed;
    TransferPace pace(m_settings, m_settings.requestDeadline, started);
    while (copied < response.size()) {
        DWORD got = 0;
        const DWORD want =
            static_cast<DWORD>(std::min<std::size_t>(response.size() - copied, 1 << 20));
        if (!WinHttpReadData(session.request.handle, response.data() + copied, want, &got)) {
            const DWORD error = m_aborted ? ERROR_WINHTTP_OPERATION_CANCELLED : GetLastError();
            failed = readError(error, host, copied, announced);
            break;
        }
        if (got == 0) {
            if (announced > copied)
                failed = shortBodyError(host, copied, announced);
            break;
        }
        copied += got;
        if (auto late = pace.check(copied, host)) {
            failed = std::move(late);
            break;
        }
    }
    release();
    if (failed) {
        // Part of an answer can read as a whole one: the caller gets the reason instead.
        m_lastError = std::move(*failed);
        debugOutput("http: " + m_lastError.message);
        std::fill(response.begin(), response.end(), std::uint8_t{0});
        writeMarker();
        return 0;
    }
    return static_cast<std::int64_t>(copied);
}

Result<DownloadProgress> HttpClient::download(std::wstring_view url, const fs::path& file,
                                              const ProgressHandler& progress,
                                              const DownloadOptions& options)
{
    const auto limit = downloadLimit(m_settings, options.expectedSize, m_lastError);
    if (!limit)
        return makeError(Error::Code::TooLarge, m_lastError.message);
    const auto cracked = crackUrl(url);
    if (!cracked) {
        m_lastError = errorFor(ERROR_WINHTTP_INVALID_URL, {});
        return makeError(Error::Code::InvalidInput, m_lastError.message);
    }
    const std::string host = toUtf8(cracked->host);
    auto extra = extraAuthorities(m_settings, m_lastError);
    if (!extra)
        return makeError(Error::Code::Failed, m_lastError.message);
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
    ExtraAuthorities::Check check;
    if (!openRequest(session, *cracked, L"GET", m_settings, options.proxy, m_lastError) ||
        !watchChain(*extra, session, *cracked, check, m_transfer->lock, m_transfer->running,
                    m_lastError))
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
    const auto started = Clock::now();
    std::wstring range;
    if (existing > 0) {
        range = L"Range: bytes=" + std::to_wstring(existing) + L"-\r\n";
        if (!options.ifRange.empty())
            range += L"If-Range: " + fromUtf8(options.ifRange) + L"\r\n";
    }
    // `received` and `announced` are this answer's bytes, for a read that fails.
    auto transportFailure = [&](std::uint64_t received = 0,
                                std::uint64_t announced = 0) -> Result<DownloadProgress> {
        const DWORD error = m_aborted ? ERROR_WINHTTP_OPERATION_CANCELLED : GetLastError();
        release();
        m_lastError =
            check.refused ? refusedChain(check, host) : readError(error, host, received, announced);
        return makeError(error == ERROR_WINHTTP_TIMEOUT ? Error::Code::Timeout
                                                        : Error::Code::Failed,
                         m_lastError.message);
    };
    if (!WinHttpSendRequest(session.request.handle,
                            range.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : range.c_str(),
                            static_cast<DWORD>(range.size()), WINHTTP_NO_REQUEST_DATA, 0, 0,
                            reinterpret_cast<DWORD_PTR>(&check)) ||
        check.refused || !WinHttpReceiveResponse(session.request.handle, nullptr))
        return transportFailure();
    if (m_aborted)
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
        m_lastError = badStatusError(host, long(status));
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
    const std::uint64_t length = announcedLength(session.request.handle);
    state.total = length > 0 ? offset + length : 0;
    state.received = offset;
    const std::uint64_t allowed = *limit;
    if (state.total > allowed) {
        release();
        m_lastError = {HttpErrorCode::TooLarge,
                       host + " announced a file of " + std::to_string(state.total) +
                           " bytes; at most " + std::to_string(allowed) + " bytes are taken"};
        return makeError(Error::Code::TooLarge, m_lastError.message);
    }
    const DownloadStart start{
        offset, state.total,
        rangeValidator(headerOf(session.request.handle, WINHTTP_QUERY_ETAG),
                       headerOf(session.request.handle, WINHTTP_QUERY_LAST_MODIFIED))};
    if (options.onStart && !options.onStart(start)) {
        release();
        m_lastError = {HttpErrorCode::Aborted, "the download from " + host + " was not taken"};
        return makeError(Error::Code::Failed, m_lastError.message);
    }
    auto lastReport = Clock::now() - kProgressInterval;
    TransferPace pace(m_settings, m_settings.downloadDeadline, started);
    std::vector<std::uint8_t> chunk(64 * 1024);
    for (;;) {
        DWORD got = 0;
        if (!WinHttpReadData(session.request.handle, chunk.data(), static_cast<DWORD>(chunk.size()),
                             &got))
            return transportFailure(state.received - offset, length);
        if (got == 0) {
            if (length > state.received - offset) {
                release();
                m_lastError = shortBodyError(host, state.received - offset, length);
                return makeError(Error::Code::Failed, m_lastError.message);
            }
            break;
        }
        if (state.received + got > allowed) {
            release();
            m_lastError = {HttpErrorCode::TooLarge,
                           host + " sent more than " + std::to_string(allowed) + " bytes"};
            return makeError(Error::Code::TooLarge, m_lastError.message);
        }
        DWORD written = 0;
        if (!WriteFile(out, chunk.data(), got, &written, nullptr) || written != got) {
            release();
            return makeError(Error::Code::Io, displayName + ": the download could not be written");
        }
        state.received += got;
        if (auto late = pace.check(state.received - offset, host)) {
            release();
            m_lastError = std::move(*late);
            return makeError(Error::Code::Timeout, m_lastError.message);
        }
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
