#pragma once

// halvek-devsim --hidraw running a shell script among the emulated devices' hidraw nodes,
// with the build folder first on PATH so the script names halvekctl and halvek-devsim.

#include "support/run_command.h"
#include "support/temp_dir.h"

#include <string>

namespace hidraw_tests {

// Why the machine cannot serve hidraw nodes (no namespace, no FUSE), or empty when it can.
const std::string& unavailableReason();

// Whether a skip must fail instead (CI, where the nodes must work).
bool nodesRequired();

class HidrawRun {
public:
    // `options` go to halvek-devsim before --hidraw ("--links cable", "--device both").
    testing_support::CommandRun run(const std::string& options, const std::string& script);
    // The script alone, outside any namespace: the in-process baseline.
    testing_support::CommandRun runOutside(const std::string& script);

    testing_support::TempDir folder;
};

} // namespace hidraw_tests

// Skips the test, or fails it where the nodes are required, when they cannot be served.
#define HIDRAW_TESTS_NEED_NODES()                                                                  \
    do {                                                                                           \
        if (!hidraw_tests::unavailableReason().empty()) {                                          \
            if (hidraw_tests::nodesRequired())                                                     \
                FAIL() << "hidraw nodes are required here: " << hidraw_tests::unavailableReason(); \
            GTEST_SKIP() << hidraw_tests::unavailableReason();                                     \
        }                                                                                          \
    } while (false)
