#pragma once

#include "platform/result.h"

#include <cstddef>
#include <functional>
#include <string>

namespace platform {

// Reads into a buffer at most `size` bytes long; 0 at the end.
using ReadSome = std::function<Result<std::size_t>(char* into, std::size_t size)>;

// readFileBounded's reading, once the system has opened the file and checked its size:
// a file may grow while it is read, so one byte more than allowed is read to tell.
// TooLarge, naming `shownName`, when it is larger than maxBytes.
[[nodiscard]] Result<std::string> readAtMost(std::size_t maxBytes, const ReadSome& readSome,
                                             const std::string& shownName);

// The TooLarge error readFileBounded gives.
[[nodiscard]] Error fileTooLarge(const std::string& shownName, std::size_t maxBytes);

} // namespace platform
