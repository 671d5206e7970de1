// The WinHTTP client against a plain-HTTP service on this machine, a thread of the test's own:
// the header block, a refused status, a resumed download, a time-out and an abort. (The
// HTTPS cases of the Linux client need a TLS service, which Wine's test prefix lacks.)

#include "platform/http.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <fstream>
#include <future>
#include <mutex>
#include <thread>
#include <vector>
#include <winsock2.h>
// ws2tcpip.h needs winsock2.h first.
#include <ws2tcpip.h>

using namespace std::chrono_literals;
using testing_support::TempDir;

namespace {

// Answers by path: "/answer" 200 with a short body, "/error" 500, "/file" the file's bytes
// with the ETag "v1" (honouring "Range: bytes=N-" unless an If-Range names another tag),
// "/short" a third of the body it announces, then the end of the connection, "/silent"
// nothing at all, "/trickle" the headers of a large file and a first chunk, then nothing. Every
// connection has a thread; the silent ones wait for the service to stop.
class PlainService {
public:
    explicit PlainService(std::string file) : m_file(std::move(file))
    {
        WSADATA data{};
        WSAStartup(MAKEWORD(2, 2), &data);
        m_listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int length = sizeof address;
        if (bind(m_listener, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
            listen(m_listener, 8) == 0 &&
            getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            m_port = ntohs(address.sin_port);
        m_stopEvent = WSACreateEvent();
        m_accepting = std::thread([this] { accept(); });
    }

    ~PlainService()
    {
        {
            std::lock_guard guard(m_lock);
            m_stopping = true;
        }
        m_stopped.notify_all();
        WSASetEvent(m_stopEvent);
        m_accepting.join();
        closesocket(m_listener);
        WSACloseEvent(m_stopEvent);
        for (auto& connection : m_connections)
            connection.join();
        WSACleanup();
    }

    std::wstring url(const std::wstring& path) const
    {
        return L"http://127.0.0.1:" + std::to_wstring(m_port) + path;
    }

    std::string lastRequest()
    {
        std::lock_guard guard(m_lock);
        return m_lastRequest;
    }

    // Waits until the trickling answer has sent its first chunk.
    bool trickling(std::chrono::milliseconds timeout)
    {
        std::unique_lock guard(m_lock);
        return m_stopped.wait_for(guard, timeout, [this] { return m_trickling; });
    }

private:
    // Waits for a connection or the stop, never both at once in a blocking call.
    void accept()
    {
        const WSAEVENT ready = WSACreateEvent();
        WSAEventSelect(m_listener, ready, FD_ACCEPT);
        for (;;) {
            const WSAEVENT events[] = {m_stopEvent, ready};
            if (WSAWaitForMultipleEvents(2, events, FALSE, WSA_INFINITE, FALSE) !=
                WSA_WAIT_EVENT_0 + 1)
                break;
            WSAResetEvent(ready);
            const SOCKET client = ::accept(m_listener, nullptr, nullptr);
            if (client == INVALID_SOCKET)
                continue;
            // The accepted socket inherits the listener's event and non-blocking mode.
            WSAEventSelect(client, nullptr, 0);
            u_long blocking = 0;
            ioctlsocket(client, FIONBIO, &blocking);
            m_connections.emplace_back([this, client] { serve(client); });
        }
        WSACloseEvent(ready);
    }

    void serve(SOCKET client)
    {
        std::string request;
        char chunk[4096];
        while (request.find("\r\n\r\n") == std::string::npos) {
            const int got = recv(client, chunk, sizeof chunk, 0);
            if (got <= 0)
                break;
            request.append(chunk, std::size_t(got));
        }
        // The body of a POST follows the headers; a short one came with them or comes now.
        if (request.find("POST") == 0 && request.find("hello") == std::string::npos) {
            const int got = recv(client, chunk, sizeof chunk, 0);
            if (got > 0)
                request.append(chunk, std::size_t(got));
        }
        {
            std::lock_guard guard(m_lock);
            m_lastRequest = request;
        }
        const std::string path =
            request.substr(request.find(' ') + 1,
                           request.find(' ', request.find(' ') + 1) - request.find(' ') - 1);
        if (path == "/answer") {
            send(client,
                 "HTTP/1.1 200 OK\r\nContent-Length: 7\r\nConnection: close\r\n\r\n{\"a\":1}");
        } else if (path == "/error") {
            send(client,
                 "HTTP/1.1 500 Oops\r\nContent-Length: 9\r\nConnection: close\r\n\r\nan error!");
        } else if (path == "/file") {
            std::size_t from = 0;
            if (const auto range = request.find("\nRange: bytes="); range != std::string::npos)
                from = std::stoul(request.substr(range + 14));
            if (const auto tag = request.find("\nIf-Range: ");
                tag != std::string::npos && request.find("\"v1\"", tag) != tag + 11)
                from = 0; // another file now: the whole of it
            const std::string part = m_file.substr(std::min(from, m_file.size()));
            send(client, std::string(from ? "HTTP/1.1 206 Partial\r\n" : "HTTP/1.1 200 OK\r\n") +
                             "ETag: \"v1\"\r\nContent-Length: " + std::to_string(part.size()) +
                             "\r\nConnection: close\r\n\r\n" + part);
        } else if (path == "/short") {
            send(client,
                 "HTTP/1.1 200 OK\r\nContent-Length: 21\r\nConnection: close\r\n\r\n{\"a\":1}");
        } else if (path == "/trickle") {
            send(client, "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\nConnection: close\r\n\r\n" +
                             std::string(1000, 'x'));
            {
                std::lock_guard guard(m_lock);
                m_trickling = true;
            }
            m_stopped.notify_all();
            waitForStop();
        } else {
            waitForStop();
        }
        closesocket(client);
    }

    void waitForStop()
    {
        std::unique_lock guard(m_lock);
        m_stopped.wait_for(guard, 30s, [this] { return m_stopping; });
    }

    static void send(SOCKET client, const std::string& text)
    {
        ::send(client, text.data(), int(text.size()), 0);
    }

    std::string m_file;
    SOCKET m_listener = INVALID_SOCKET;
    WSAEVENT m_stopEvent = WSA_INVALID_EVENT;
    unsigned short m_port = 0;
    std::mutex m_lock;
    std::condition_variable m_stopped;
    bool m_stopping = false;
    bool m_trickling = false;
    std::string m_lastRequest;
    std::thread m_accepting;
    std::vector<std::thread> m_connections; // accept thread only, joined after it
};

// Through the named proxy setting, which is empty here: no proxy of the machine's.
platform::DownloadOptions direct(std::uint64_t expectedSize = 0)
{
    platform::DownloadOptions options;
    options.proxy = platform::ProxyUse::Named;
    options.expectedSize = expectedSize;
    return options;
}

std::string fileText(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

} // namespace

TEST(WindowsHttpClient, ARequestCarriesTheHeaderBlockAndAnErrorStatusIsNoAnswer)
{
    PlainService service("");
    platform::HttpClient client;
    const std::string body = "hello=1";
    std::vector<std::uint8_t> response(64, 0xEE);
    const auto got =
        client.request(L"post", service.url(L"/answer"),
                       std::span(reinterpret_cast<const std::uint8_t*>(body.data()), body.size()),
                       response, platform::ProxyUse::Named);
    EXPECT_EQ(got, 7);
    EXPECT_EQ(std::string(response.begin(), response.begin() + 7), "{\"a\":1}");
    const std::string sent = service.lastRequest();
    EXPECT_EQ(sent.find("POST /answer HTTP/1.1\r\n"), 0u) << sent;
    EXPECT_NE(sent.find("Content-Type: application/x-www-form-urlencoded\r\n"), std::string::npos)
        << sent;
    // WinHTTP takes the block line by line: the empty line ends nothing, and the line after it
    // goes out too (with a blank after its colon under Wine).
    EXPECT_NE(sent.find("application/prs.Novik.v1+json\r\n"), std::string::npos) << sent;
    EXPECT_LT(sent.find("Accept:"), sent.find("\r\n\r\n")) << sent;
    EXPECT_NE(sent.find("hello=1"), std::string::npos) << sent;

    // A 500 page is not the service's answer: no bytes, the marker, and the status named.
    std::fill(response.begin(), response.end(), std::uint8_t{0xEE});
    EXPECT_EQ(
        client.request(L"GET", service.url(L"/error"), {}, response, platform::ProxyUse::Named), 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(response.data())),
              std::string(platform::kNoLinkServerMarker));
    EXPECT_EQ(client.lastError().code, platform::HttpErrorCode::BadStatus);
    EXPECT_NE(client.lastError().message.find("500"), std::string::npos);
}

TEST(WindowsHttpClient, ADownloadResumesAfterTheBytesHeldAndStopsAtItsLimit)
{
    std::string content;
    for (int i = 0; i < 20000; ++i)
        content += char('a' + i % 26);
    PlainService service(content);
    TempDir dir;
    const auto file = dir.path() / "update 更新.bin";
    std::ofstream(file, std::ios::binary) << content.substr(0, 5000);
    platform::HttpClient client;
    platform::DownloadProgress last;
    const auto done = client.download(
        service.url(L"/file"), file, [&](const platform::DownloadProgress& p) { last = p; },
        direct());
    ASSERT_TRUE(done) << done.error().message;
    EXPECT_EQ(done->received, content.size());
    EXPECT_EQ(last.received, content.size()) << "the end is reported";
    EXPECT_NE(service.lastRequest().find("Range: bytes=5000-"), std::string::npos);
    EXPECT_EQ(fileText(file), content);

    // Bytes held under another tag are replaced by the whole file, which says its own.
    std::ofstream(file, std::ios::binary | std::ios::trunc) << std::string(5000, '?');
    auto changed = direct();
    changed.ifRange = "\"v0\"";
    std::vector<platform::DownloadStart> starts;
    changed.onStart = [&](const platform::DownloadStart& start) {
        starts.push_back(start);
        return true;
    };
    ASSERT_TRUE(client.download(service.url(L"/file"), file, nullptr, changed));
    EXPECT_NE(service.lastRequest().find("If-Range: \"v0\"\r\n"), std::string::npos);
    EXPECT_EQ(fileText(file), content);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].offset, 0u);
    EXPECT_EQ(starts[0].total, content.size());
    EXPECT_EQ(starts[0].validator, "\"v1\"");

    std::filesystem::remove(file);
    const auto tooMuch = client.download(service.url(L"/file"), file, nullptr, direct(100));
    ASSERT_FALSE(tooMuch);
    EXPECT_EQ(client.lastError().code, platform::HttpErrorCode::TooLarge);
    client.settings().maxDownloadSize = 10;
    EXPECT_FALSE(client.download(service.url(L"/file"), file, nullptr, direct(100)))
        << "an expected size past the limit is refused before asking";
}

TEST(WindowsHttpClient, ASilentServiceTimesOutAndAnAbortEndsADownloadAtOnce)
{
    PlainService service("");
    platform::HttpClient client;
    client.settings().receiveTimeout = 500ms;
    std::vector<std::uint8_t> response(32);
    EXPECT_EQ(
        client.request(L"GET", service.url(L"/silent"), {}, response, platform::ProxyUse::Named),
        0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(response.data())),
              std::string(platform::kNoLinkServerMarker));
    EXPECT_EQ(client.lastError().code, platform::HttpErrorCode::TimedOut)
        << client.lastError().message;

    // A read blocked in Wine's WinHTTP goes on to its receive time-out when its handle is
    // closed (Windows ends it at once): the time-out bounds the wait here.
    client.settings().receiveTimeout = 2s;
    TempDir dir;
    auto running = std::async(std::launch::async, [&] {
        return client.download(service.url(L"/trickle"), dir.path() / "part", nullptr, direct());
    });
    ASSERT_TRUE(service.trickling(10s));
    client.abort();
    ASSERT_EQ(running.wait_for(10s), std::future_status::ready) << "the abort did not end it";
    const auto aborted = running.get();
    EXPECT_FALSE(aborted);
    EXPECT_EQ(client.lastError().code, platform::HttpErrorCode::Aborted)
        << client.lastError().message;
    // Until cleared, the next request ends as it starts.
    EXPECT_EQ(
        client.request(L"GET", service.url(L"/answer"), {}, response, platform::ProxyUse::Named),
        0);
    client.clearAbort();
    EXPECT_EQ(
        client.request(L"GET", service.url(L"/answer"), {}, response, platform::ProxyUse::Named),
        7);
}

TEST(WindowsHttpClient, AnAnswerCutShortOrStoppedIsNoAnswerAndADownloadCutShortFails)
{
    PlainService service("");
    platform::HttpClient client;
    std::vector<std::uint8_t> response(64, 0xEE);
    EXPECT_EQ(
        client.request(L"GET", service.url(L"/short"), {}, response, platform::ProxyUse::Named), 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(response.data())),
              std::string(platform::kNoLinkServerMarker));
    EXPECT_NE(client.lastError().message.find("after 7 of the 21 bytes"), std::string::npos)
        << client.lastError().message;

    TempDir dir;
    const auto cut = client.download(service.url(L"/short"), dir.path() / "cut", nullptr, direct());
    ASSERT_FALSE(cut);
    EXPECT_NE(cut.error().message.find("after 7 of the 21 bytes"), std::string::npos)
        << cut.error().message;

    // The first chunk of a trickle that stops is not the answer either.
    client.settings().receiveTimeout = 500ms;
    std::vector<std::uint8_t> roomy(4096, 0xEE);
    EXPECT_EQ(
        client.request(L"GET", service.url(L"/trickle"), {}, roomy, platform::ProxyUse::Named), 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(roomy.data())),
              std::string(platform::kNoLinkServerMarker));
    EXPECT_EQ(roomy[100], 0) << "part of the answer was left in the buffer";
    EXPECT_EQ(client.lastError().code, platform::HttpErrorCode::TimedOut)
        << client.lastError().message;
}
