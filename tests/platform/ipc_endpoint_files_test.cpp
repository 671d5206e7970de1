#include "platform/ipc_endpoint_files.h"

#include "platform/paths.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

namespace fs = std::filesystem;
using testing_support::TempDir;

namespace {

fs::path touch(const fs::path& file)
{
    std::ofstream(file) << "";
    return file;
}

std::vector<fs::path> sorted(std::vector<fs::path> paths)
{
    std::sort(paths.begin(), paths.end());
    return paths;
}

} // namespace

// A sender finds its peers only through these names, on every system: a peer must be
// found whatever the letter case it is addressed in, and no other file may pass for one.
TEST(IpcEndpointFiles, PeersAreFoundByNameInAnyCaseAndNothingElsePassesForOne)
{
    TempDir folder;
    const auto main = touch(platform::ipcEndpointFile(folder.path(), 41, L"HalvekMain", ".sock"));
    const auto mainAgain =
        touch(platform::ipcEndpointFile(folder.path(), 42, L"HALVEKMAIN", ".sock"));
    const auto companion =
        touch(platform::ipcEndpointFile(folder.path(), 41, L"Companion", ".sock"));
    const auto self = touch(platform::ipcEndpointFile(folder.path(), 7, L"halvekmain", ".sock"));
    EXPECT_NE(main, mainAgain);
    // What else a shared folder holds: other systems' suffixes, lock files, names that are
    // no UTF-8 or no code page's, upper-case or short hashes.
    touch(folder / platform::ipcEndpointFile("", 41, L"HalvekMain", ".pipe"));
    touch(folder / "SPhalvek2vizudi.lock");
    touch(folder / platform::toPath(L"\u914d\u7f6e-0123456789abcdef.sock.bak"));
    touch(folder / "1-0-0123456789ABCDEF.sock");
    touch(folder / "0123456789abcde.sock");

    const std::string wanted = platform::ipcNameHash(L"hAlVeKmAiN");
    EXPECT_EQ(sorted(platform::ipcEndpointFiles(folder.path(), wanted, self, ".sock")),
              sorted({main, mainAgain}));
    EXPECT_EQ(sorted(platform::ipcEndpointFiles(folder.path(), "", self, ".sock")),
              sorted({main, mainAgain, companion}));
    EXPECT_TRUE(
        platform::ipcEndpointFiles(folder.path(), platform::ipcNameHash(L"gone"), self, ".sock")
            .empty());
    EXPECT_TRUE(platform::ipcEndpointFiles(folder / "missing", "", self, ".sock").empty());
}
