#include "app/command_line.h"

#include <gtest/gtest.h>

#include <vector>

using app::DisplayMode;
using app::SimulateMode;

namespace {
platform::Result<app::CommandLine> parse(std::vector<std::string_view> args)
{
    return app::parseCommandLine(args);
}
} // namespace

TEST(CommandLine, ReadsEveryOption)
{
    const auto none = parse({});
    ASSERT_TRUE(none);
    EXPECT_FALSE(none->script);
    EXPECT_FALSE(none->simulate);
    EXPECT_EQ(none->display, DisplayMode::Screen);

    const auto all = parse({"--simulate=receiver", "--sim-state", "state.json", "--script=s.txt",
                            "--offscreen", "--trace"});
    ASSERT_TRUE(all) << all.error().message;
    EXPECT_EQ(all->simulate, SimulateMode::Receiver);
    EXPECT_EQ(all->simState, std::filesystem::path("state.json"));
    EXPECT_EQ(all->script, std::filesystem::path("s.txt"));
    EXPECT_EQ(all->display, DisplayMode::Offscreen);
    EXPECT_TRUE(all->trace);
    EXPECT_FALSE(none->trace);

    EXPECT_EQ(parse({"--simulate"})->simulate, SimulateMode::Both);
    EXPECT_EQ(parse({"--simulate=socket"})->simulate, SimulateMode::Socket);
    EXPECT_EQ(parse({"--simulate=cable"})->simulate, SimulateMode::Cable);
    EXPECT_EQ(parse({"--script", "with blank.txt"})->script,
              std::filesystem::path("with blank.txt"));
    EXPECT_TRUE(parse({"--help"})->help);
    EXPECT_TRUE(parse({"-h"})->help);
}

TEST(CommandLine, RefusesBadArgumentsWithTheirName)
{
    struct Case {
        std::vector<std::string_view> args;
        const char* mentions;
    };
    const Case cases[] = {
        {{"--simulate=mouse"}, "mouse"},
        {{"--simulate="}, "--simulate"},
        {{"--script"}, "--script needs a file"},
        {{"--script="}, "--script needs a file"},
        {{"--script", "--offscreen"}, "--script needs a file"},
        {{"--script", "a", "--script", "b"}, "twice"},
        {{"--simulate", "--simulate=cable"}, "twice"},
        {{"--sim-state", "x.json"}, "needs --simulate"},
        {{"--offscreen=yes"}, "--offscreen=yes"},
        {{"--trace=1"}, "--trace=1"},
        {{"--frobnicate"}, "--frobnicate"},
        {{"script.txt"}, "script.txt"},
    };
    for (const auto& c : cases) {
        const auto result = parse(c.args);
        ASSERT_FALSE(result) << c.mentions;
        EXPECT_NE(result.error().message.find(c.mentions), std::string::npos)
            << result.error().message;
        EXPECT_EQ(result.error().message.rfind("halvek: ", 0), 0u);
    }
    EXPECT_NE(app::commandLineUsage().find("--offscreen"), std::string_view::npos);
}
