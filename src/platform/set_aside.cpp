#include "platform/files.h"

#include <system_error>

namespace platform {

Result<std::filesystem::path> setAsideFile(const std::filesystem::path& file,
                                           std::string_view suffix)
{
    namespace fs = std::filesystem;
    std::error_code error;
    for (int n = 0; n < 1000; ++n) {
        fs::path aside = file;
        aside += std::string(suffix) + (n == 0 ? std::string() : std::to_string(n));
        if (fs::exists(aside, error) || error)
            continue;
        fs::rename(file, aside, error);
        if (error)
            return makeError(Error::Code::Io,
                             file.string() + " could not be set aside: " + error.message());
        return aside;
    }
    return makeError(Error::Code::Io,
                     file.string() + " could not be set aside: every name is taken");
}

} // namespace platform
