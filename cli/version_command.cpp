#include "command_registry.h"

#include <cstdio>

namespace {

[[maybe_unused]] const bool registered = cli::registerCommand({
    "version",
    "print the program's version",
    "Usage: halvekctl version\n\nPrints the program's version.\n",
    [](const cli::GlobalOptions&, const std::vector<std::string>&) {
        std::puts("halvekctl 0.1");
        return 0;
    },
});

} // namespace
