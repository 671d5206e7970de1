// halvek-update: downloads one update file for the program and reports its progress to it.

#include "update/update_check.h"
#include "update/updater.h"

#include "platform/folders.h"
#include "platform/ipc.h"
#include "platform/text.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

constexpr const char* kUsage =
    R"(Usage: halvek-update --url URL --name NAME [--size BYTES] [--ca FILE]

Downloads URL into the update folder ($XDG_CACHE_HOME/SPhalvek2vizudi/UpdateData/) under
a safe form of NAME. A download that was cut off continues where it stopped the next time.
With --size the finished file must have exactly that many bytes. Progress goes to the
running program (and to standard output).
)";

constexpr std::wstring_view kEndpointName = L"HalvekUpdate";
constexpr std::wstring_view kProgramEndpoint = L"MainWnd";

bool parseSize(const char* text, std::uint64_t& size)
{
    char* end = nullptr;
    errno = 0;
    const unsigned long long value = std::strtoull(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || text[0] == '-')
        return false;
    size = value;
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    update::DownloadRequest request;
    const auto config = update::configFromSettings();
    request.extraCaFile = config.extraCaFile;
    request.proxy = config.proxy;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "halvek-update: %s needs a value (see --help)\n", arg.c_str());
            return 2;
        }
        const char* value = argv[++i];
        if (arg == "--url") {
            request.url = platform::fromUtf8(value);
        } else if (arg == "--name") {
            request.fileName = platform::fromUtf8(value);
        } else if (arg == "--ca") {
            request.extraCaFile = value;
        } else if (arg == "--size") {
            if (!parseSize(value, request.expectedSize)) {
                std::fprintf(stderr, "halvek-update: --size takes a number of bytes\n");
                return 2;
            }
        } else {
            std::fprintf(stderr, "halvek-update: unknown option '%s' (see --help)\n", arg.c_str());
            return 2;
        }
    }
    if (request.url.empty() || request.fileName.empty()) {
        std::fputs("halvek-update: --url and --name are needed (see --help)\n", stderr);
        return 2;
    }

    platform::securePrivateFolders();
    std::unique_ptr<platform::IpcEndpoint> endpoint;
    if (auto folder = platform::instanceRuntimeFolder())
        endpoint = std::make_unique<platform::IpcEndpoint>(*folder, std::wstring(kEndpointName));
    auto report = [&](update::UpdaterEvent event, std::int64_t value) {
        if (event == update::UpdaterEvent::Progress)
            std::printf("progress %lld%%\n", static_cast<long long>(value));
        std::fflush(stdout);
        if (endpoint)
            (void)endpoint->post(kProgramEndpoint, update::kUpdaterReportMessage,
                                 static_cast<std::uint64_t>(event), value);
    };

    platform::HttpClient client;
    const auto result = update::downloadUpdate(client, request, update::updateFolder(), report);
    if (!result) {
        std::fprintf(stderr, "halvek-update: %s\n", result.error().message.c_str());
        return 1;
    }
    std::printf("downloaded %s (%llu bytes)\n", result->file.string().c_str(),
                static_cast<unsigned long long>(result->size));
    return 0;
}
