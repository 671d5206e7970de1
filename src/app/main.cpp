#include "app/command_line.h"
#include "app/startup.h"
#include "platform/process_memory.h"

#include <cstdio>
#include <string_view>
#include <vector>

int main(int argc, char** argv)
{
    platform::configureProcessHeap();
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    const auto options = app::parseCommandLine(args);
    if (!options) {
        std::fprintf(stderr, "%s\n", options.error().message.c_str());
        return 2;
    }
    if (options->help) {
        std::fputs(app::commandLineUsage().data(), stdout);
        return 0;
    }
    return app::runHalvek(*options);
}
