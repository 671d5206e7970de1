#include "support/temp_dir.h"
#include "ui/render.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

using testing_support::TempDir;

namespace {

std::string readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

// Starts the real program on a virtual display, takes its first frame as a screenshot,
// then starts it again: the second must exit 0 and bring the first forward.
TEST(HalvekSmoke, OpensItsWindowUnderXvfbAndASecondStartWakesTheFirst)
{
    const std::filesystem::path halvek = std::filesystem::path(HALVEK_BINARY_DIR) / "halvek";
    if (!std::filesystem::exists(halvek) ||
        !std::filesystem::exists(std::filesystem::path(HALVEK_BINARY_DIR) / "skin/res.xml"))
        GTEST_SKIP() << "halvek and its skin are not built";
    if (std::system("command -v xvfb-run >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "xvfb-run is not installed";

    TempDir dir;
    std::filesystem::create_directories(dir / "run");
    std::filesystem::permissions(dir / "run", std::filesystem::perms::owner_all);
    const auto script = dir / "smoke.sh";
    std::ofstream(script) << "export XDG_RUNTIME_DIR='" << (dir / "run").string() << "'\n"
                          << "export HALVEK_DEBUG=1\n"
                          << "HALVEK_SCREENSHOT='" << (dir / "shot.png").string() << "' '"
                          << halvek.string() << "' 2>'" << (dir / "first.log").string() << "' &\n"
                          << "first=$!\n"
                          // Bounded waits for the other process; the checks come after.
                          << "for i in $(seq 300); do [ -s '" << (dir / "shot.png").string()
                          << "' ] && break; sleep 0.1; done\n"
                          << "'" << halvek.string() << "' 2>'" << (dir / "second.log").string()
                          << "'\n"
                          << "echo $? >'" << (dir / "second.rc").string() << "'\n"
                          << "for i in $(seq 100); do grep -q '0d1d' '"
                          << (dir / "first.log").string()
                          << "' && break; sleep 0.1; done\n"
                          // SIGTERM closes the window the normal way; if that hangs, kill.
                          << "kill $first\n"
                          << "for i in $(seq 100); do kill -0 $first 2>/dev/null || break; "
                             "sleep 0.1; done\n"
                          << "kill -9 $first 2>/dev/null\n"
                          << "exit 0\n";
    const std::string command = "xvfb-run -a -s '-screen 0 1280x800x24' sh '" + script.string() +
                                "' >'" + (dir / "xvfb.log").string() + "' 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << readFile(dir / "xvfb.log");

    const auto shot = ui::loadPng(dir / "shot.png");
    ASSERT_TRUE(shot) << readFile(dir / "first.log");
    // Laid out for a 1280 x 800 screen before the first frame: 1000 x 640 at 96 DPI.
    EXPECT_EQ(shot->width, 1000);
    EXPECT_EQ(shot->height, 640);
    // Not a blank frame: the skin's dark background with lighter text on it.
    std::size_t bright = 0;
    for (const std::uint32_t pixel : shot->pixels) {
        if (((pixel >> 8) & 0xFF) > 0x80)
            ++bright;
    }
    EXPECT_GT(bright, 100u);
    EXPECT_LT(bright, shot->pixels.size() / 2);

    EXPECT_EQ(readFile(dir / "second.rc"), "0\n");
    EXPECT_EQ(readFile(dir / "second.log").find("0d1d"), std::string::npos);
    const std::string first = readFile(dir / "first.log");
    EXPECT_NE(first.find("\xE8\xBD\xAF\xE4\xBB\xB6\xE6\xA0\x87\xE7\xA4\xBA "), std::string::npos)
        << "the first instance logs the wake-up: " << first;
    EXPECT_NE(first.find("0d1d"), std::string::npos);
}
