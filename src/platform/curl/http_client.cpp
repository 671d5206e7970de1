#include "platform/http.h"

#include "platform/debug_output.h"
#include "platform/files.h"
#include "platform/text.h"

#include <curl/curl.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kMaxCaFileSize = 4 * 1024 * 1024;
constexpr long kMaxRedirects = 10;
constexpr auto kProgressInterval = std::chrono::milliseconds(200);

void initialiseOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct EasyDeleter {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct HeaderListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
struct UrlDeleter {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
using Easy = std::unique_ptr<CURL, EasyDeleter>;
using HeaderList = std::unique_ptr<curl_slist, HeaderListDeleter>;

struct File {
    int fd = -1;
    ~File()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

// The host of a URL, for messages; empty when the URL does not parse.
std::string hostOf(const std::string& url)
{
    std::unique_ptr<CURLU, UrlDeleter> handle(curl_url());
    if (!handle || curl_url_set(handle.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK)
        return {};
    char* host = nullptr;
    if (curl_url_get(handle.get(), CURLUPART_HOST, &host, 0) != CURLUE_OK)
        return {};
    std::string result = host;
    curl_free(host);
    return result;
}

bool isHttps(const std::string& url)
{
    return url.size() >= 8 && equalsIgnoreCase(fromUtf8(url.substr(0, 8)), L"https://");
}

HttpError errorFor(CURLcode code, const std::string& host, const char* detail)
{
    const std::string where = host.empty() ? std::string("the server") : host;
    const std::string why = detail[0] != '\0' ? detail : curl_easy_strerror(code);
    switch (code) {
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        return {HttpErrorCode::Certificate,
                "the certificate of " + where + " does not verify: " + why};
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return {HttpErrorCode::NameNotResolved, "cannot find " + where + ": " + why};
    case CURLE_COULDNT_CONNECT:
    case CURLE_SSL_CONNECT_ERROR:
        return {HttpErrorCode::CannotConnect, "cannot connect to " + where + ": " + why};
    case CURLE_OPERATION_TIMEDOUT:
        return {HttpErrorCode::TimedOut, where + " did not answer in time: " + why};
    case CURLE_URL_MALFORMAT:
    case CURLE_UNSUPPORTED_PROTOCOL:
        return {HttpErrorCode::BadUrl, "not a usable http or https address: " + why};
    case CURLE_ABORTED_BY_CALLBACK:
        return {HttpErrorCode::Aborted, "the request to " + where + " was stopped"};
    default:
        return {HttpErrorCode::Transfer, "the exchange with " + where + " failed: " + why};
    }
}

} // namespace

// One multi handle per client, so that abort() can wake a transfer waiting for its
// sockets from another thread.
struct HttpClient::Transfer {
    CURLM* multi = nullptr;

    Transfer()
    {
        initialiseOnce();
        multi = curl_multi_init();
    }
    ~Transfer()
    {
        if (multi)
            curl_multi_cleanup(multi);
    }
};

namespace {

// The named header of the last answer (after any redirect), or empty.
std::string headerOf(CURL* easy, const char* name)
{
    curl_header* header = nullptr;
    if (curl_easy_header(easy, name, 0, CURLH_HEADER, -1, &header) != CURLHE_OK || !header)
        return {};
    return header->value;
}

struct Sink {
    // Request: the caller's buffer.
    std::span<std::uint8_t> buffer;
    std::size_t copied = 0;
    bool full = false;
    // Download: the file, and where it started.
    int fd = -1;
    std::uint64_t offset = 0;
    std::uint64_t written = 0;
    bool restarted = false;
    int writeError = 0;
    CURL* easy = nullptr;
    std::uint64_t limit = 0; // the file never grows past this many bytes
    bool tooLarge = false;
    std::uint64_t announced = 0; // the whole file's size as the server gave it, when too large
    const std::function<bool(const DownloadStart&)>* onStart = nullptr;
    bool refused = false; // by onStart
};

std::size_t writeToBuffer(char* data, std::size_t size, std::size_t count, void* user)
{
    auto& sink = *static_cast<Sink*>(user);
    const std::size_t bytes = size * count;
    const std::size_t room = sink.buffer.size() - sink.copied;
    const std::size_t taken = std::min(room, bytes);
    std::memcpy(sink.buffer.data() + sink.copied, data, taken);
    sink.copied += taken;
    if (taken < bytes) {
        // The rest would be dropped anyway; a server that keeps sending is not waited for.
        sink.full = true;
        return 0;
    }
    return bytes;
}

std::size_t writeToFile(char* data, std::size_t size, std::size_t count, void* user)
{
    auto& sink = *static_cast<Sink*>(user);
    const std::size_t bytes = size * count;
    if (sink.offset > 0 && sink.written == 0 && !sink.restarted) {
        long status = 0;
        curl_easy_getinfo(sink.easy, CURLINFO_RESPONSE_CODE, &status);
        if (status == 200) {
            // The server ignored the range and sends the whole file.
            if (::ftruncate(sink.fd, 0) != 0 || ::lseek(sink.fd, 0, SEEK_SET) != 0) {
                sink.writeError = errno;
                return 0;
            }
            sink.offset = 0;
        }
        sink.restarted = true;
    }
    if (sink.written == 0) {
        // Refused before the first byte lands when the announced size is already too much.
        curl_off_t announced = -1;
        curl_easy_getinfo(sink.easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
        if (announced > 0 && sink.offset + static_cast<std::uint64_t>(announced) > sink.limit) {
            sink.tooLarge = true;
            sink.announced = sink.offset + static_cast<std::uint64_t>(announced);
            return 0;
        }
        if (sink.onStart && *sink.onStart) {
            const DownloadStart start{
                sink.offset,
                announced > 0 ? sink.offset + static_cast<std::uint64_t>(announced) : 0,
                rangeValidator(headerOf(sink.easy, "ETag"), headerOf(sink.easy, "Last-Modified"))};
            if (!(*sink.onStart)(start)) {
                sink.refused = true;
                return 0;
            }
            sink.onStart = nullptr;
        }
    }
    if (sink.offset + sink.written + bytes > sink.limit) {
        sink.tooLarge = true;
        return 0;
    }
    std::size_t done = 0;
    while (done < bytes) {
        const ssize_t n = ::write(sink.fd, data + done, bytes - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            sink.writeError = errno;
            return 0;
        }
        done += static_cast<std::size_t>(n);
    }
    sink.written += bytes;
    return bytes;
}

struct Outcome {
    CURLcode code = CURLE_OK;
    bool aborted = false;
    bool stalled = false;
    std::chrono::milliseconds stallLimit{0};
    bool overDeadline = false;
    bool tooSlow = false;
};

// Runs one easy handle on the client's multi handle. Waits on the transfer's sockets and
// the abort wake-up, never longer than until the next of the stall, rate and overall
// deadlines.
Outcome perform(CURLM* multi, CURL* easy, const HttpSettings& settings, std::size_t bodySize,
                std::chrono::milliseconds overall, const std::atomic<bool>& aborted,
                const std::function<void()>& onProgress)
{
    Outcome outcome;
    if (curl_multi_add_handle(multi, easy) != CURLM_OK) {
        outcome.code = CURLE_FAILED_INIT;
        return outcome;
    }
    const auto started = Clock::now();
    const auto end = started + overall;
    curl_off_t lastBytes = -1;
    auto lastMove = started;
    // The rate is judged over whole windows from the moment the connection stands.
    std::optional<Clock::time_point> windowStart;
    curl_off_t windowBytes = 0;
    const auto rateWindow = std::max(settings.rateWindow, std::chrono::milliseconds(1));
    int running = 1;
    while (true) {
        if (aborted.load()) {
            outcome.aborted = true;
            break;
        }
        if (curl_multi_perform(multi, &running) != CURLM_OK || running == 0)
            break;
        curl_off_t up = 0;
        curl_off_t down = 0;
        curl_off_t connected = 0;
        curl_easy_getinfo(easy, CURLINFO_SIZE_UPLOAD_T, &up);
        curl_easy_getinfo(easy, CURLINFO_SIZE_DOWNLOAD_T, &down);
        curl_easy_getinfo(easy, CURLINFO_PRETRANSFER_TIME_T, &connected);
        const auto now = Clock::now();
        if (up + down != lastBytes) {
            lastBytes = up + down;
            lastMove = now;
        }
        if (onProgress)
            onProgress();
        if (now >= end) {
            outcome.overDeadline = true;
            break;
        }
        auto wait = std::min(std::chrono::milliseconds(1000),
                             std::chrono::ceil<std::chrono::milliseconds>(end - now));
        // Before the connection stands, curl's own connect time-out applies.
        if (connected > 0) {
            const auto limit = static_cast<std::size_t>(up) < bodySize ? settings.sendTimeout
                                                                       : settings.receiveTimeout;
            const auto deadline = lastMove + limit;
            if (now >= deadline) {
                outcome.stalled = true;
                outcome.stallLimit = limit;
                break;
            }
            if (!windowStart) {
                windowStart = now;
                windowBytes = up + down;
            }
            if (now >= *windowStart + rateWindow) {
                const auto moved = static_cast<std::uint64_t>(up + down - windowBytes);
                const auto seconds = std::chrono::duration<double>(now - *windowStart).count();
                if (static_cast<double>(moved) <
                    static_cast<double>(settings.minimumRate) * seconds) {
                    outcome.tooSlow = true;
                    break;
                }
                windowStart = now;
                windowBytes = up + down;
            }
            wait = std::min(wait, std::chrono::ceil<std::chrono::milliseconds>(deadline - now));
            wait = std::min(wait, std::chrono::ceil<std::chrono::milliseconds>(*windowStart +
                                                                               rateWindow - now));
        }
        wait = std::max(wait, std::chrono::milliseconds(0));
        curl_multi_poll(multi, nullptr, 0, static_cast<int>(wait.count()), nullptr);
    }
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
        if (message->msg == CURLMSG_DONE && message->easy_handle == easy)
            outcome.code = message->data.result;
    }
    if (outcome.aborted)
        outcome.code = CURLE_ABORTED_BY_CALLBACK;
    else if (outcome.stalled || outcome.overDeadline || outcome.tooSlow)
        outcome.code = CURLE_OPERATION_TIMEDOUT;
    curl_multi_remove_handle(multi, easy);
    return outcome;
}

// Options every request and download shares. False when the CA bundle cannot be built.
bool setCommonOptions(CURL* easy, const std::string& url, const HttpSettings& settings,
                      ProxyUse proxy, const std::string& caBundle, char* errorBuffer)
{
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_USERAGENT, settings.userAgent.c_str());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, kMaxRedirects);
    // A secure request is never redirected to plain HTTP.
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, isHttps(url) ? "https" : "http,https");
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!caBundle.empty()) {
        curl_blob blob{const_cast<char*>(caBundle.data()), caBundle.size(), CURL_BLOB_NOCOPY};
        curl_easy_setopt(easy, CURLOPT_CAINFO_BLOB, &blob);
    }
    const auto connect = settings.connectTimeout + settings.resolveTimeout;
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(connect.count()));
    if (proxy == ProxyUse::Named && !settings.namedProxy.empty()) {
        curl_easy_setopt(easy, CURLOPT_PROXY, settings.namedProxy.c_str());
        if (!settings.proxyUser.empty()) {
            curl_easy_setopt(easy, CURLOPT_PROXYUSERNAME, settings.proxyUser.c_str());
            if (!settings.proxyPassword.empty())
                curl_easy_setopt(easy, CURLOPT_PROXYPASSWORD, settings.proxyPassword.c_str());
        }
    }
    return true;
}

// The system's CA bundle with the extra file appended: curl takes one bundle, and the
// extra authority must add to the system's, not replace them.
Result<std::string> buildCaBundle(CURL* easy, const fs::path& extra)
{
    auto extraText = readFileBounded(extra, kMaxCaFileSize);
    if (!extraText)
        return makeError(Error::Code::NotFound, "cannot read the CA file " + extra.string() + ": " +
                                                    extraText.error().message);
    std::string bundle;
    char* systemFile = nullptr;
    if (curl_easy_getinfo(easy, CURLINFO_CAINFO, &systemFile) == CURLE_OK && systemFile) {
        if (auto system = readFileBounded(systemFile, kMaxCaFileSize))
            bundle = std::move(*system);
    }
    bundle += "\n";
    bundle += *extraText;
    return bundle;
}

// Why a transfer failed: the limit the client itself ended it at, a connection that ended
// before the announced length, or curl's own reason.
HttpError transferError(CURL* easy, const Outcome& outcome, const HttpSettings& settings,
                        std::chrono::milliseconds overall, const std::string& host,
                        const char* detail)
{
    HttpError error = errorFor(outcome.code, host, detail);
    if (outcome.overDeadline)
        error.message = httpDeadlineWords(host, overall);
    else if (outcome.tooSlow)
        error.message = httpRateWords(host, settings);
    else if (outcome.stalled)
        error.message = httpStallWords(host, outcome.stallLimit);
    if (outcome.code != CURLE_PARTIAL_FILE && outcome.code != CURLE_RECV_ERROR)
        return error;
    curl_off_t announced = -1;
    curl_off_t received = 0;
    curl_easy_getinfo(easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
    curl_easy_getinfo(easy, CURLINFO_SIZE_DOWNLOAD_T, &received);
    if (announced > 0 && received < announced)
        return shortBodyError(host, static_cast<std::uint64_t>(received),
                              static_cast<std::uint64_t>(announced));
    return error;
}

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
    if (m_transfer->multi)
        curl_multi_wakeup(m_transfer->multi);
}

void HttpClient::clearAbort()
{
    m_aborted = false;
}

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
    Easy easy(curl_easy_init());
    if (!easy || !m_transfer->multi) {
        m_lastError = {HttpErrorCode::Io, "the HTTP library could not start"};
        return -1;
    }
    const std::string utf8Url = toUtf8(url);
    const std::string host = hostOf(utf8Url);
    auto writeMarker = [&] { writeNoLinkMarker(response); };

    std::string caBundle;
    if (!m_settings.extraCaFile.empty()) {
        auto bundle = buildCaBundle(easy.get(), m_settings.extraCaFile);
        if (!bundle) {
            m_lastError = {HttpErrorCode::Certificate, bundle.error().message};
            writeMarker();
            return 0;
        }
        caBundle = std::move(*bundle);
    }
    char errorBuffer[CURL_ERROR_SIZE] = {};
    setCommonOptions(easy.get(), utf8Url, m_settings, proxy, caBundle, errorBuffer);

    // The block goes out line by line; its empty line carries nothing and is not a header.
    HeaderList headers;
    for (const std::string& line : httpHeaderLines(body.size()))
        headers.reset(curl_slist_append(headers.release(), line.c_str()));
    headers.reset(curl_slist_append(headers.release(), "Expect:"));
    curl_easy_setopt(easy.get(), CURLOPT_HTTPHEADER, headers.get());
    if (!body.empty()) {
        curl_easy_setopt(easy.get(), CURLOPT_POSTFIELDS, body.data());
        curl_easy_setopt(easy.get(), CURLOPT_POSTFIELDSIZE_LARGE,
                         static_cast<curl_off_t>(body.size()));
        if (verb == "GET")
            curl_easy_setopt(easy.get(), CURLOPT_CUSTOMREQUEST, "GET");
    } else if (verb == "POST") {
        curl_easy_setopt(easy.get(), CURLOPT_POST, 1L);
        curl_easy_setopt(easy.get(), CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t{0});
        curl_easy_setopt(easy.get(), CURLOPT_POSTFIELDS, "");
    } else {
        curl_easy_setopt(easy.get(), CURLOPT_HTTPGET, 1L);
    }
    Sink sink;
    sink.buffer = response;
    curl_easy_setopt(easy.get(), CURLOPT_WRITEFUNCTION, writeToBuffer);
    curl_easy_setopt(easy.get(), CURLOPT_WRITEDATA, &sink);

    const Outcome outcome = perform(m_transfer->multi, easy.get(), m_settings, body.size(),
                                    m_settings.requestDeadline, m_aborted, nullptr);
    const bool bufferFull = outcome.code == CURLE_WRITE_ERROR && sink.full;
    if (outcome.code != CURLE_OK && !bufferFull) {
        m_lastError = transferError(easy.get(), outcome, m_settings, m_settings.requestDeadline,
                                    host, errorBuffer);
        debugOutput("http: " + m_lastError.message);
        // Part of an answer can read as a whole one: the caller gets the reason instead.
        std::fill(response.begin(), response.end(), std::uint8_t{0});
        writeMarker();
        return 0;
    }
    long status = 0;
    curl_easy_getinfo(easy.get(), CURLINFO_RESPONSE_CODE, &status);
    if (status != 0 && (status < 200 || status > 299)) {
        // An error page is not the answer that was asked for, whatever its body says.
        m_lastError = badStatusError(host, status);
        debugOutput("http: " + m_lastError.message);
        std::fill(response.begin(), response.end(), std::uint8_t{0});
        writeMarker();
        return 0;
    }
    return static_cast<std::int64_t>(sink.copied);
}

Result<DownloadProgress> HttpClient::download(std::wstring_view url, const fs::path& file,
                                              const ProgressHandler& progress,
                                              const DownloadOptions& options)
{
    const auto allowed = downloadLimit(m_settings, options.expectedSize, m_lastError);
    if (!allowed)
        return makeError(Error::Code::TooLarge, m_lastError.message);
    const std::uint64_t limit = *allowed;
    const std::string utf8Url = toUtf8(url);
    const std::string host = hostOf(utf8Url);
    Easy easy(curl_easy_init());
    if (!easy || !m_transfer->multi)
        return makeError(Error::Code::Failed, "the HTTP library could not start");
    File out;
    out.fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (out.fd < 0)
        return makeError(Error::Code::Io, file.string() + ": " + std::strerror(errno));
    const off_t existing = ::lseek(out.fd, 0, SEEK_END);
    if (existing < 0)
        return makeError(Error::Code::Io, file.string() + ": " + std::strerror(errno));

    std::string caBundle;
    if (!m_settings.extraCaFile.empty()) {
        auto bundle = buildCaBundle(easy.get(), m_settings.extraCaFile);
        if (!bundle)
            return bundle.error();
        caBundle = std::move(*bundle);
    }
    char errorBuffer[CURL_ERROR_SIZE] = {};
    setCommonOptions(easy.get(), utf8Url, m_settings, options.proxy, caBundle, errorBuffer);
    curl_easy_setopt(easy.get(), CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(easy.get(), CURLOPT_FAILONERROR, 1L);
    // A plain range, not curl's resume: a server may answer it with the whole file (its
    // file changed, or it takes no ranges), which then starts the file over.
    const std::string range = std::to_string(existing) + "-";
    HeaderList headers;
    if (existing > 0) {
        curl_easy_setopt(easy.get(), CURLOPT_RANGE, range.c_str());
        if (!options.ifRange.empty()) {
            const std::string ifRange = "If-Range: " + options.ifRange;
            headers.reset(curl_slist_append(nullptr, ifRange.c_str()));
            curl_easy_setopt(easy.get(), CURLOPT_HTTPHEADER, headers.get());
        }
    }
    Sink sink;
    sink.fd = out.fd;
    sink.offset = static_cast<std::uint64_t>(existing);
    sink.easy = easy.get();
    sink.limit = limit;
    sink.onStart = &options.onStart;
    curl_easy_setopt(easy.get(), CURLOPT_WRITEFUNCTION, writeToFile);
    curl_easy_setopt(easy.get(), CURLOPT_WRITEDATA, &sink);

    DownloadProgress state;
    auto lastReport = Clock::now() - kProgressInterval;
    auto measure = [&] {
        curl_off_t length = -1;
        curl_easy_getinfo(easy.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
        state.received = sink.offset + sink.written;
        state.total = length > 0 ? sink.offset + static_cast<std::uint64_t>(length) : 0;
    };
    auto report = [&] {
        measure();
        const auto now = Clock::now();
        if (progress && now - lastReport >= kProgressInterval) {
            lastReport = now;
            progress(state);
        }
    };
    const Outcome outcome = perform(m_transfer->multi, easy.get(), m_settings, 0,
                                    m_settings.downloadDeadline, m_aborted, report);
    long status = 0;
    curl_easy_getinfo(easy.get(), CURLINFO_RESPONSE_CODE, &status);
    if (outcome.code == CURLE_HTTP_RETURNED_ERROR && status == 416 && existing > 0) {
        // Nothing after what we hold: the file was complete already.
        state.received = state.total = static_cast<std::uint64_t>(existing);
        if (progress)
            progress(state);
        return state;
    }
    if (sink.writeError != 0)
        return makeError(Error::Code::Io, file.string() + ": " + std::strerror(sink.writeError));
    if (sink.refused) {
        m_lastError = {HttpErrorCode::Aborted, "the download from " + host + " was not taken"};
        return makeError(Error::Code::Failed, m_lastError.message);
    }
    if (sink.tooLarge) {
        const std::string where = host.empty() ? std::string("the server") : host;
        const std::string most = "at most " + std::to_string(limit) + " bytes are taken";
        m_lastError = {HttpErrorCode::TooLarge,
                       sink.announced != 0
                           ? where + " announced a file of " + std::to_string(sink.announced) +
                                 " bytes; " + most
                           : where + " sent more than " + std::to_string(limit) + " bytes"};
        return makeError(Error::Code::TooLarge, m_lastError.message);
    }
    if (outcome.code != CURLE_OK) {
        m_lastError = transferError(easy.get(), outcome, m_settings, m_settings.downloadDeadline,
                                    host, errorBuffer);
        if (outcome.code == CURLE_HTTP_RETURNED_ERROR)
            m_lastError.message = host + " answered with status " + std::to_string(status);
        return makeError(outcome.code == CURLE_OPERATION_TIMEDOUT ? Error::Code::Timeout
                                                                  : Error::Code::Failed,
                         m_lastError.message);
    }
    measure();
    if (state.total == 0)
        state.total = state.received;
    if (progress)
        progress(state);
    return state;
}

} // namespace platform
