// The halvek program as a user meets it: without a display, off-screen with a script,
// with a broken installation, and when the X server goes away under it.
#include "support/temp_dir.h"
#include "ui/render.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

using testing_support::TempDir;

namespace {

const std::filesystem::path kBinaryDir(HALVEK_BINARY_DIR);

std::string readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool halvekBuilt()
{
    return std::filesystem::exists(kBinaryDir / "halvek") &&
           std::filesystem::exists(kBinaryDir / "skin/res.xml");
}

bool haveXvfb()
{
    return std::system("command -v xvfb-run >/dev/null 2>&1 && command -v Xvfb >/dev/null 2>&1") ==
           0;
}

// A private runtime folder, so the test's lock and sockets are its own.
struct Sandbox {
    Sandbox()
    {
        std::filesystem::create_directories(dir / "run");
        std::filesystem::permissions(dir / "run", std::filesystem::perms::owner_all);
    }
    std::string env() const
    {
        return "XDG_RUNTIME_DIR='" + (dir / "run").string() + "' XDG_DATA_HOME='" +
               (dir / "data").string() + "' XDG_CONFIG_HOME='" + (dir / "config").string() + "' ";
    }
    // Runs a shell script and gives its exit status.
    int shell(const std::string& body, const std::string& name = "run.sh") const
    {
        std::ofstream(dir / name) << body;
        const std::string command =
            "sh '" + (dir / name).string() + "' >'" + (dir / (name + ".out")).string() + "' 2>&1";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string output(const std::string& name = "run.sh") const
    {
        return readFile(dir / (name + ".out"));
    }
    TempDir dir;
};

std::string halvek()
{
    // Appended, not "'" + path: GCC 12 at -O3 takes the inlined prepend for an overlapping
    // copy (-Wrestrict).
    std::string quoted = "'";
    quoted += (kBinaryDir / "halvek").string();
    quoted += '\'';
    return quoted;
}

} // namespace

TEST(HalvekExit, RefusesToRunWithoutADisplay)
{
    if (!halvekBuilt())
        GTEST_SKIP() << "halvek and its skin are not built";
    Sandbox box;
    const int status = box.shell("unset DISPLAY WAYLAND_DISPLAY SDL_VIDEODRIVER\n" + box.env() +
                                 "timeout 20 " + halvek() + "\n");
    EXPECT_EQ(status, 1) << box.output();
    EXPECT_NE(box.output().find("--offscreen"), std::string::npos) << box.output();
}

TEST(HalvekExit, RunsAScriptOffscreenAndExitsByItsSteps)
{
    if (!halvekBuilt())
        GTEST_SKIP() << "halvek and its skin are not built";
    Sandbox box;
    const auto shot = box.dir / "main.png";
    std::ofstream(box.dir / "good.txt") << "wait No_device_Link\n"
                                           "expect-visible No_device_Link 1\n"
                                           "screenshot "
                                        << shot.string() << "\nquit\n";
    std::ofstream(box.dir / "failing.txt") << "wait No_device_Link\n"
                                              "expect-visible No_device_Link 0\n"
                                              "quit\n";
    std::ofstream(box.dir / "broken.txt") << "wiat No_device_Link\nquit\n";
    const std::string run = "unset DISPLAY WAYLAND_DISPLAY\n" + box.env() + "timeout 60 " +
                            halvek() + " --offscreen --script '" + box.dir.path().string();

    EXPECT_EQ(box.shell(run + "/good.txt'\n", "good.sh"), 0) << box.output("good.sh");
    const auto image = ui::loadPng(shot);
    ASSERT_TRUE(image) << box.output("good.sh");
    // The main window lays itself out for the off-screen 1920 x 1080 screen: 1000 x 640 at
    // 144 DPI.
    EXPECT_EQ(image->width, 1500);
    EXPECT_EQ(image->height, 960);

    EXPECT_EQ(box.shell(run + "/failing.txt'\n", "failing.sh"), 1) << box.output("failing.sh");
    EXPECT_NE(box.output("failing.sh").find("script line 2:"), std::string::npos)
        << box.output("failing.sh");

    EXPECT_EQ(box.shell(run + "/broken.txt'\n", "broken.sh"), 2) << box.output("broken.sh");
    EXPECT_NE(box.output("broken.sh").find("line 1: unknown step \"wiat\""), std::string::npos)
        << box.output("broken.sh");
    EXPECT_EQ(box.shell(run + "/missing.txt'\n", "missing.sh"), 2) << box.output("missing.sh");
}

TEST(HalvekExit, AWindowThatCannotBeBuiltEndsWithZeroAndFreesTheLock)
{
    if (!halvekBuilt() || !haveXvfb())
        GTEST_SKIP() << "halvek or Xvfb missing";
    Sandbox box;
    // The program without its skin beside it.
    std::filesystem::copy_file(kBinaryDir / "halvek", box.dir / "halvek");
    const std::string once = box.env() + "HALVEK_DEBUG=1 timeout 20 '" +
                             (box.dir / "halvek").string() + "'; echo \"rc=$?\"\n";
    const int status =
        box.shell("xvfb-run -a -s '-noreset' sh -c \"$(cat <<'EOF'\n" + once + once + "EOF\n)\"\n");
    const std::string output = box.output();
    EXPECT_EQ(status, 0) << output;
    // Both starts got past the lock to the window: the first one left it free.
    std::size_t count = 0;
    for (auto at = output.find("could not be created"); at != std::string::npos;
         at = output.find("could not be created", at + 1))
        ++count;
    EXPECT_EQ(count, 2u) << output;
    EXPECT_EQ(output.find("rc=124"), std::string::npos) << "timed out:\n" << output;
    EXPECT_NE(output.find("rc=0"), std::string::npos) << output;
}

TEST(HalvekExit, EndsSoonAfterTheDisplayGoesAndStartsAgainOnANewOne)
{
    if (!halvekBuilt() || !haveXvfb())
        GTEST_SKIP() << "halvek or Xvfb missing";
    Sandbox box;
    const std::string d = box.dir.path().string();
    std::ofstream(box.dir / "again.txt")
        << "wait No_device_Link\nscreenshot " << d << "/again.png\nquit\n";
    const int status =
        box.shell(box.env() +
                  "export HALVEK_DEBUG=1\n"
                  "Xvfb -displayfd 3 -screen 0 1024x768x24 3>'" +
                  d + "/display' 2>/dev/null &\n" +
                  "server=$!\n"
                  "for i in $(seq 100); do [ -s '" +
                  d + "/display' ] && break; sleep 0.1; done\n" + "DISPLAY=:$(cat '" + d +
                  "/display') HALVEK_SCREENSHOT='" + d + "/first.png' " + halvek() + " 2>'" + d +
                  "/first.log' &\n" +
                  "program=$!\n"
                  // A loaded machine may take long over the first frame of the sanitizer build.
                  "for i in $(seq 900); do [ -s '" +
                  d + "/first.png' ] && break; sleep 0.1; done\n" +
                  "kill $server\n"
                  "start=$(date +%s%N)\n"
                  // Bounded wait for the program; it is killed only if it overstays.
                  "for i in $(seq 100); do kill -0 $program 2>/dev/null || break; sleep 0.1; done\n"
                  "end=$(date +%s%N)\n"
                  "if kill -0 $program 2>/dev/null; then kill -9 $program; echo STILL_RUNNING; fi\n"
                  "wait $program; echo \"rc=$?\"\n"
                  "echo \"took_ms=$(( (end - start) / 1000000 ))\"\n"
                  // The next start on a new display shows its window: the lock was let go.
                  "xvfb-run -a timeout 60 " +
                  halvek() + " --script '" + d + "/again.txt'; echo \"again=$?\"\n");
    const std::string output = box.output();
    ASSERT_EQ(status, 0) << output;
    EXPECT_TRUE(std::filesystem::exists(box.dir / "first.png")) << output;
    EXPECT_EQ(output.find("STILL_RUNNING"), std::string::npos) << output;
    const auto took = output.find("took_ms=");
    ASSERT_NE(took, std::string::npos) << output;
    EXPECT_LT(std::stoi(output.substr(took + 8)), 5000) << output;
    EXPECT_NE(output.find("rc=1"), std::string::npos) << output;
    EXPECT_NE(readFile(box.dir / "first.log").find("connection to the display was lost"),
              std::string::npos)
        << readFile(box.dir / "first.log");
    EXPECT_NE(output.find("again=0"), std::string::npos) << output;
    EXPECT_TRUE(ui::loadPng(box.dir / "again.png")) << output;
}
