#include "update/updater.h"

#include "update/update_model.h"

#include "platform/folders.h"
#include "platform/paths.h"
#include "platform/text.h"

#include <system_error>

namespace update {

namespace fs = std::filesystem;

fs::path updateFolder()
{
    return platform::cacheFolder() / platform::toPath(platform::kInstanceIdentifier) / "UpdateData";
}

std::int64_t percentOf(std::uint64_t received, std::uint64_t total)
{
    if (total == 0)
        return 0;
    if (received >= total)
        return 100;
    // In long double: received * 100 would overflow for the largest sizes.
    return static_cast<std::int64_t>(static_cast<long double>(received) * 100 / total);
}

platform::Result<DownloadResult>
downloadUpdate(platform::HttpClient& client, const DownloadRequest& request, const fs::path& folder,
               const std::function<void(UpdaterEvent, std::int64_t)>& report)
{
    using platform::Error;
    auto fail = [&](UpdaterEvent event, Error::Code code, std::string message) {
        if (report)
            report(event, 0);
        return platform::makeError(code, std::move(message));
    };
    const std::wstring name = safeFileName(request.fileName, L"update");
    const auto target = platform::pathInside(folder, name);
    const auto partial = platform::pathInside(folder, name + L".part");
    if (!target || !partial)
        return fail(UpdaterEvent::Failed, Error::Code::InvalidInput, "no usable file name");
    if (auto made = platform::createPrivateFolder(folder); !made)
        return fail(UpdaterEvent::Failed, Error::Code::Io, made.error().message);

    client.settings().extraCaFile = request.extraCaFile;
    client.settings().namedProxy = request.proxy;
    std::int64_t lastPercent = -1;
    auto progress = [&](const platform::DownloadProgress& state) {
        const std::uint64_t total = request.expectedSize != 0 ? request.expectedSize : state.total;
        const std::int64_t percent = percentOf(state.received, total);
        if (percent != lastPercent && report) {
            lastPercent = percent;
            report(UpdaterEvent::Progress, percent);
        }
    };
    auto downloaded = client.download(request.url, *partial, progress,
                                      request.proxy.empty() ? platform::ProxyUse::Environment
                                                            : platform::ProxyUse::Named,
                                      request.expectedSize);
    std::error_code error;
    if (!downloaded && downloaded.error().code == Error::Code::TooLarge) {
        // Resuming would only meet the same surplus again.
        fs::remove(*partial, error);
        return fail(UpdaterEvent::SizeMismatch, Error::Code::TooLarge, downloaded.error().message);
    }
    if (!downloaded) {
        // Keep what arrived for the next run, but no empty leftovers.
        if (fs::file_size(*partial, error) == 0 && !error)
            fs::remove(*partial, error);
        return fail(UpdaterEvent::Failed, downloaded.error().code, downloaded.error().message);
    }

    const std::uint64_t size = fs::file_size(*partial, error);
    if (error)
        return fail(UpdaterEvent::Failed, Error::Code::Io, error.message());
    if (request.expectedSize != 0 && size != request.expectedSize) {
        // Too long cannot be mended by resuming; too short is kept for the next run.
        if (size > request.expectedSize)
            fs::remove(*partial, error);
        return fail(UpdaterEvent::SizeMismatch, Error::Code::Failed,
                    "the file has " + std::to_string(size) + " bytes, the service said " +
                        std::to_string(request.expectedSize));
    }
    fs::rename(*partial, *target, error);
    if (error)
        return fail(UpdaterEvent::Failed, Error::Code::Io, error.message());
    if (report)
        report(UpdaterEvent::Done, 0);
    return DownloadResult{*target, size};
}

} // namespace update
