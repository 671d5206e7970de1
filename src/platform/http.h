#pragma once

#include "platform/result.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Written with its zero byte at the start of the caller's buffer when no request could be
// sent; the update check tells "no connection" from an empty answer by it.
inline constexpr std::string_view kNoLinkServerMarker = "NO_LINK_SERVER";

// Last-error values. The first two are the ones the update service's callers have always
// seen for a bad call; the others are the transport failures worth telling apart.
enum class HttpErrorCode : std::uint32_t {
    None = 0,
    EmptyUrl = 3,
    BadMethod = 87,
    TimedOut = 12002,
    BadUrl = 12005,
    NameNotResolved = 12007,
    Aborted = 12017,
    CannotConnect = 12029,
    Transfer = 12030,
    Certificate = 12175,
    Io = 12176,
    BadStatus = 12152, // the service answered, with a status other than 2xx
    TooLarge = 12183,  // more bytes than announced, or an announced size beyond the limit
};

struct HttpError {
    HttpErrorCode code = HttpErrorCode::None;
    std::string message; // for people; names the host where one is involved
};

struct HttpSettings {
    std::string userAgent = "WinHTTP Client/1.0";
    // Used only by requests that ask for it (ProxyUse::Named); "host:port" or a URL.
    std::string namedProxy;
    std::string proxyUser;
    std::string proxyPassword;
    // Trusted beside the system's certificate authorities: for private services and tests.
    std::filesystem::path extraCaFile;
    std::chrono::milliseconds resolveTimeout{0}; // 0: no limit of its own
    std::chrono::milliseconds connectTimeout{60000};
    // Longest time without a byte moving while sending or receiving.
    std::chrono::milliseconds sendTimeout{30000};
    std::chrono::milliseconds receiveTimeout{30000};
    // Bytes trickling in keep the timers above from ever firing: every request also ends at
    // its deadline, and one slower than minimumRate over a whole rateWindow fails.
    std::chrono::milliseconds requestDeadline{60000};
    std::chrono::milliseconds downloadDeadline{3600000};
    std::uint64_t minimumRate = 1024; // bytes a second
    std::chrono::milliseconds rateWindow{30000};
    // A download announced (or found) larger than this is refused.
    std::uint64_t maxDownloadSize = 512ull * 1024 * 1024;
};

// Requests go through the proxy named in the environment (http_proxy, https_proxy,
// no_proxy, as every other program here honours them) unless the settings' named proxy is
// asked for.
enum class ProxyUse { Environment, Named };

// The header block every request carries, exactly as the update service expects it
// (its empty line included).
std::string httpHeaderBlock(std::size_t bodyLength);

// The block's header lines without the empty one, for a client that takes them one by one.
std::vector<std::string> httpHeaderLines(std::size_t bodyLength);

// Writes the marker at the start of `response`, with its zero byte where there is room.
void writeNoLinkMarker(std::span<std::uint8_t> response);

// The error for an answer whose status is not 2xx; an empty host reads as "the server".
HttpError badStatusError(const std::string& host, long status);

// The most bytes a download may bring: the size the caller expects, never past the settings'
// limit. nullopt, with the error, when the expected size is itself past the limit.
std::optional<std::uint64_t> downloadLimit(const HttpSettings& settings, std::uint64_t expectedSize,
                                           HttpError& error);

// The words for a transfer its client ended: past its overall deadline, slower than the
// settings' minimum rate over a whole window, or with nothing moving for `pause`. An empty
// host reads as "the server".
std::string httpDeadlineWords(const std::string& host, std::chrono::milliseconds overall);
std::string httpRateWords(const std::string& host, const HttpSettings& settings);
std::string httpStallWords(const std::string& host, std::chrono::milliseconds pause);

// The error for an answer whose connection ended before the length its headers announced.
HttpError shortBodyError(const std::string& host, std::uint64_t received, std::uint64_t announced);

// The validator a resumed download may send as If-Range: a strong ETag, else the
// Last-Modified date; empty when the answer gave neither (a weak ETag cannot be used).
std::string rangeValidator(std::string_view etag, std::string_view lastModified);

// Bytes trickling in keep a transport's own timers from firing: a client that reads in steps
// asks this after each step whether the transfer may go on.
class TransferPace {
public:
    using Clock = std::chrono::steady_clock;

    TransferPace(const HttpSettings& settings, std::chrono::milliseconds overall,
                 Clock::time_point start = Clock::now());
    // `total` is every byte moved so far; the error (TimedOut) when the transfer must end.
    [[nodiscard]] std::optional<HttpError> check(std::uint64_t total, const std::string& host,
                                                 Clock::time_point now = Clock::now());

private:
    const HttpSettings& m_settings;
    std::chrono::milliseconds m_overall;
    Clock::time_point m_end;
    Clock::time_point m_windowStart;
    std::uint64_t m_windowBytes = 0;
};

// "GET" or "POST" in upper case for either in any letter case; empty for anything else.
std::string normalizedHttpMethod(std::wstring_view method);

struct DownloadProgress {
    std::uint64_t received = 0; // bytes in the file so far, resumed bytes included
    std::uint64_t total = 0;    // 0 while unknown
};

// What the answer to a download says about the file, known before its first byte lands.
struct DownloadStart {
    std::uint64_t offset = 0; // bytes of the file kept; 0 when it starts from the beginning
    std::uint64_t total = 0;  // the whole file's size as the server gave it; 0 when unknown
    std::string validator;    // rangeValidator() of the answer
};

struct DownloadOptions {
    ProxyUse proxy = ProxyUse::Environment;
    // The transfer stops as soon as the file would grow past this (when not 0).
    std::uint64_t expectedSize = 0;
    // Sent as If-Range beside the range: a server whose file no longer matches it sends the
    // whole file, which then replaces the bytes held.
    std::string ifRange;
    // Called once, before the answer's first byte is written; false ends the download.
    std::function<bool(const DownloadStart&)> onStart;
};

// One synchronous HTTP(S) client. Certificates are always verified, against the system's
// store and the extra CA file of the settings. One request at a time per client; abort()
// may be called from any thread and ends a running or the next request at once.
class HttpClient {
public:
    HttpClient();
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    HttpSettings& settings() { return m_settings; }
    // Back to the defaults; also clears the last error.
    void resetSettings();
    // Set by every failing step; a successful request leaves it as it was.
    const HttpError& lastError() const { return m_lastError; }

    // Sends `body` (when not empty) with the header block and appends the answer's body to
    // `response` from its start, never past its end (the rest is dropped). Returns -1 when
    // the request cannot be started (empty URL, method other than GET or POST), else the
    // number of bytes copied. When nothing could be sent, the answer's status is not 2xx
    // (BadStatus), or the answer did not arrive whole (a time-out, a rate below the minimum,
    // a connection ended before the announced length), the marker is written, 0 returned and
    // the last error says which: part of an answer is never handed out. An answer of zero
    // bytes returns 0 without the marker.
    [[nodiscard]] std::int64_t request(std::wstring_view method, std::wstring_view url,
                                       std::span<const std::uint8_t> body,
                                       std::span<std::uint8_t> response, ProxyUse proxy);

    using ProgressHandler = std::function<void(const DownloadProgress&)>;
    // GET into `file`, continuing after the bytes it holds already (a range request; a
    // server that ignores the range makes it start over). Whether those bytes belong to
    // this file is the caller's to know. The file is created owner-only. Progress is
    // reported at most a few times a second and once at the end. The transfer stops as
    // soon as the file would grow past the expected size, past the size the server
    // announced, or past the settings' maxDownloadSize; one that ends short of the
    // announced size fails.
    [[nodiscard]] Result<DownloadProgress> download(std::wstring_view url,
                                                    const std::filesystem::path& file,
                                                    const ProgressHandler& progress,
                                                    const DownloadOptions& options = {});

    // Ends the running request (and any later one, until clearAbort()) as soon as possible.
    void abort();
    void clearAbort();
    bool isAborted() const { return m_aborted.load(); }

private:
    struct Transfer;

    HttpSettings m_settings;
    HttpError m_lastError;
    std::atomic<bool> m_aborted{false};
    std::unique_ptr<Transfer> m_transfer; // the backend's reusable state
};

} // namespace platform
