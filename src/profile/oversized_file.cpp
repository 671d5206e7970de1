#include "profile/oversized_file.h"

#include "profile/json_file.h"

#include "platform/debug_output.h"
#include "platform/files.h"

namespace profile {

bool isTooLargeToRead(const std::filesystem::path& file)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error))
        return false;
    const auto size = std::filesystem::file_size(file, error);
    return !error && size > kMaxJsonFileSize;
}

std::optional<platform::Result<std::string>> setAsideIfTooLarge(const std::filesystem::path& file,
                                                                std::filesystem::path* asideAs)
{
    if (!isTooLargeToRead(file))
        return std::nullopt;
    const std::string why = file.string() + " is larger than " +
                            std::to_string(kMaxJsonFileSize / (1024 * 1024)) +
                            " MiB and cannot be read";
    auto aside = platform::setAsideFile(file, ".toolarge");
    if (!aside) {
        platform::debugOutput(why + "; " + aside.error().message);
        return platform::makeError(platform::Error::Code::TooLarge,
                                   why + "; " + aside.error().message);
    }
    if (asideAs)
        *asideAs = *aside;
    std::string notice = why + ": set aside as " + aside->string();
    platform::debugOutput(notice);
    return notice;
}

} // namespace profile
