#include "update/updater.h"

#include "update/update_model.h"

#include "platform/files.h"
#include "platform/folders.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "profile/json_file.h"

#include <json/value.h>

#include <optional>
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

namespace {

constexpr std::size_t kMaxSourceSize = 64 * 1024;

// What the bytes of a partial file are, kept beside it: only the same file is continued.
struct PartialSource {
    std::string url;
    std::uint64_t size = 0;  // the service's announced size; 0: none
    std::uint64_t total = 0; // the whole file's size as the server gave it; 0: unknown
    std::string validator;   // the server's ETag or Last-Modified date; empty: none
};

std::optional<PartialSource> readSource(const fs::path& file)
{
    const auto text = platform::readFileBounded(file, kMaxSourceSize);
    if (!text)
        return std::nullopt;
    const auto root = profile::parseJson(*text);
    if (!root || !root->isObject() || !(*root)["url"].isString() || !(*root)["size"].isUInt64() ||
        !(*root)["total"].isUInt64() || !(*root)["validator"].isString())
        return std::nullopt;
    return PartialSource{(*root)["url"].asString(), (*root)["size"].asUInt64(),
                         (*root)["total"].asUInt64(), (*root)["validator"].asString()};
}

platform::Result<void> writeSource(const fs::path& file, const PartialSource& source)
{
    Json::Value root(Json::objectValue);
    root["url"] = source.url;
    root["size"] = Json::UInt64(source.size);
    root["total"] = Json::UInt64(source.total);
    root["validator"] = source.validator;
    return platform::writeFileAtomically(file, profile::formatJson(root));
}

// Whether an answer continuing `held` still serves the same file: a server that ignored
// If-Range, or a file changed where none was named, shows in its validator or its size.
bool sameFile(const PartialSource& held, const platform::DownloadStart& start)
{
    if (!held.validator.empty() && !start.validator.empty() && held.validator != start.validator)
        return false;
    return held.total == 0 || start.total == 0 || held.total == start.total;
}

void removeBoth(const fs::path& partial, const fs::path& source)
{
    std::error_code error;
    fs::remove(partial, error);
    fs::remove(source, error);
}

} // namespace

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
    const auto sourceFile = platform::pathInside(folder, name + L".part.source");
    if (!target || !partial || !sourceFile)
        return fail(UpdaterEvent::Failed, Error::Code::InvalidInput, "no usable file name");
    if (auto made = platform::createPrivateFolder(folder); !made)
        return fail(UpdaterEvent::Failed, Error::Code::Io, made.error().message);

    // Bytes of another address, or of another announced size, are not this file's.
    const std::string url = platform::toUtf8(request.url);
    std::optional<PartialSource> held = readSource(*sourceFile);
    if (!held || held->url != url || held->size != request.expectedSize) {
        removeBoth(*partial, *sourceFile);
        held.reset();
    }

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
    platform::DownloadOptions options;
    options.proxy =
        request.proxy.empty() ? platform::ProxyUse::Environment : platform::ProxyUse::Named;
    options.expectedSize = request.expectedSize;
    bool changed = false;
    std::string unkept;
    // The record is on disk before the first byte of what it describes.
    options.onStart = [&](const platform::DownloadStart& start) {
        if (start.offset > 0 && held && !sameFile(*held, start)) {
            changed = true;
            return false;
        }
        if (auto kept =
                writeSource(*sourceFile, {url, request.expectedSize, start.total, start.validator});
            !kept) {
            unkept = kept.error().message;
            return false;
        }
        return true;
    };
    options.ifRange = held ? held->validator : std::string();
    auto downloaded = client.download(request.url, *partial, progress, options);
    if (!downloaded && changed) {
        // The file at the address is another one now: what was kept is of no use.
        removeBoth(*partial, *sourceFile);
        held.reset();
        options.ifRange.clear();
        downloaded = client.download(request.url, *partial, progress, options);
    }
    std::error_code error;
    if (!downloaded && !unkept.empty()) {
        removeBoth(*partial, *sourceFile);
        return fail(UpdaterEvent::Failed, Error::Code::Io, unkept);
    }
    if (!downloaded && downloaded.error().code == Error::Code::TooLarge) {
        // Resuming would only meet the same surplus again.
        removeBoth(*partial, *sourceFile);
        return fail(UpdaterEvent::SizeMismatch, Error::Code::TooLarge, downloaded.error().message);
    }
    if (!downloaded) {
        // Keep what arrived for the next run, but no empty leftovers.
        if (fs::file_size(*partial, error) == 0 && !error)
            removeBoth(*partial, *sourceFile);
        return fail(UpdaterEvent::Failed, downloaded.error().code, downloaded.error().message);
    }

    const std::uint64_t size = fs::file_size(*partial, error);
    if (error)
        return fail(UpdaterEvent::Failed, Error::Code::Io, error.message());
    if (request.expectedSize != 0 && size != request.expectedSize) {
        // Too long cannot be mended by resuming; too short is kept for the next run.
        if (size > request.expectedSize)
            removeBoth(*partial, *sourceFile);
        return fail(UpdaterEvent::SizeMismatch, Error::Code::Failed,
                    "the file has " + std::to_string(size) + " bytes, the service said " +
                        std::to_string(request.expectedSize));
    }
    fs::rename(*partial, *target, error);
    if (error)
        return fail(UpdaterEvent::Failed, Error::Code::Io, error.message());
    fs::remove(*sourceFile, error);
    if (report)
        report(UpdaterEvent::Done, 0);
    return DownloadResult{*target, size};
}

} // namespace update
