#pragma once

// halvek-devsim --hidraw where there are no hidraw nodes to serve (Windows): the option is
// refused with the reason, and everything else serves as usual.

#include "platform/result.h"

#include <string>
#include <vector>

namespace devsim::hidraw {

inline constexpr int kUnavailableStatus = 77;

class HidrawMode {
public:
    platform::Result<void> enter()
    {
        return platform::makeError(platform::Error::Code::Unavailable,
                                   "hidraw nodes are served on Linux only");
    }
    platform::Result<void> start() { return enter(); }
    void sync() {}
    int run(const std::vector<std::string>&) { return kUnavailableStatus; }
    void stop() {}
};

} // namespace devsim::hidraw
