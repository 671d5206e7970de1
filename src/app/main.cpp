#include "app/startup.h"

#include <cstdio>
#include <string>

// TODO: the full command line joins here; until then only the simulation options.
int main(int argc, char** argv)
{
    app::StartOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--simulate") {
            options.simulate = "both";
        } else if (arg.rfind("--simulate=", 0) == 0) {
            options.simulate = arg.substr(11);
        } else if (arg == "--sim-state" && i + 1 < argc) {
            options.simState = argv[++i];
        } else if (arg.rfind("--sim-state=", 0) == 0) {
            options.simState = arg.substr(12);
        } else {
            std::fprintf(stderr,
                         "halvek: unknown option '%s'\n"
                         "usage: halvek [--simulate[=both|cable|receiver|socket]] "
                         "[--sim-state FILE]\n",
                         arg.c_str());
            return 2;
        }
    }
    return app::runHalvek(options);
}
