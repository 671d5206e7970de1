// The real hidraw path (hidapi, libudev, /dev/hidrawN, poll, EIO on unplug) against the
// emulated devices served as hidraw nodes by halvek-devsim --hidraw.

#include "hidraw/hidraw_run.h"

#include "devsim/keyboard_interfaces.h"
#include "devsim/state_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <span>
#include <sstream>
#include <string>
#include <vector>

namespace {

using testing_support::CommandRun;

bool contains(const CommandRun& run, const std::string& text)
{
    return run.output.find(text) != std::string::npos;
}

// The ids and usages of every listed collection ("36b0 5078 01 04  ff1c 0092"), sorted.
std::vector<std::string> listedCollections(const std::string& output)
{
    static const std::regex line(
        R"(^([0-9a-f]{4} [0-9a-f]{4} [0-9a-f]{2} [0-9a-f]{2}  \S+ +\S+)  )");
    std::vector<std::string> collections;
    std::istringstream in(output);
    for (std::string text; std::getline(in, text);) {
        std::smatch match;
        if (std::regex_search(text, match, line))
            collections.push_back(match[1]);
    }
    std::sort(collections.begin(), collections.end());
    return collections;
}

// A number printed after `label` in the output, or -1.
long numberAfter(const std::string& output, const std::string& label)
{
    const auto at = output.find(label);
    if (at == std::string::npos)
        return -1;
    return std::strtol(output.c_str() + at + label.size(), nullptr, 10);
}

class HidrawNodes : public ::testing::Test {
protected:
    void SetUp() override { HIDRAW_TESTS_NEED_NODES(); }

    CommandRun inNamespace(const std::string& options, const std::string& script)
    {
        return nodes.run(options, script);
    }
    std::string dataDir(const std::string& name) const
    {
        return " --data-dir " + (nodes.folder / name).string();
    }

    hidraw_tests::HidrawRun nodes;
};

TEST_F(HidrawNodes, DevicesListsExactlyTheEmulatedCollections)
{
    const CommandRun hidraw = inNamespace("--device both", "halvekctl devices");
    ASSERT_EQ(hidraw.status, 0) << hidraw.output;
    const CommandRun keyboard = testing_support::runBuiltProgram("halvekctl", "--simulate devices");
    const CommandRun mouse =
        testing_support::runBuiltProgram("halvekctl", "--simulate --device mouse devices");
    ASSERT_EQ(keyboard.status, 0) << keyboard.output;
    ASSERT_EQ(mouse.status, 0) << mouse.output;

    auto expected = listedCollections(keyboard.output + mouse.output);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(listedCollections(hidraw.output), expected) << hidraw.output;
    // Through the nodes: no path of the in-process emulator, none refused.
    EXPECT_FALSE(contains(hidraw, "sim&")) << hidraw.output;
    EXPECT_TRUE(contains(hidraw, "#hidraw")) << hidraw.output;
    EXPECT_FALSE(contains(hidraw, "problem:")) << hidraw.output;
}

TEST_F(HidrawNodes, ANodeAnswersTheHidrawRequests)
{
    // The requests hidapi and tools send besides read and write, on the composite interface.
    const CommandRun run = inNamespace(
        "--links cable",
        "python3 -c \"\n"
        "import fcntl, os, struct\n"
        "fd = os.open('/dev/hidraw1', os.O_RDWR)\n"
        "def request(direction, number, size):\n"
        "    buffer = bytearray(size)\n"
        "    value = fcntl.ioctl(fd, direction << 30 | size << 16 | ord('H') << 8 | number, "
        "buffer)\n"
        "    return value, buffer\n"
        "print('size', struct.unpack('i', request(2, 1, 4)[1])[0])\n"
        "print('descriptor', request(2, 2, 4100)[1][4:10].hex())\n"
        "print('ids', struct.unpack('IHH', request(2, 3, 8)[1]))\n"
        "length, name = request(2, 4, 64)\n"
        "print('name', bytes(name[:length]))\n"
        "try:\n"
        "    request(3, 6, 8)\n"
        "except OSError as error:\n"
        "    print('feature', error.errno)\n"
        "\"");
    ASSERT_EQ(run.status, 0) << run.output;
    const auto composite = devsim::compositeDescriptor();
    EXPECT_TRUE(contains(run, "size " + std::to_string(composite.size()))) << run.output;
    EXPECT_TRUE(contains(run, "descriptor 05010906a101")) << run.output;
    EXPECT_TRUE(contains(run, "ids (3, 14000, 20600)")) << run.output; // 36b0:5078
    EXPECT_TRUE(contains(run, "name b'Halvek Keyboard\\x00'")) << run.output;
    EXPECT_TRUE(contains(run, "feature 25")) << run.output; // ENOTTY: no feature reports
}

TEST_F(HidrawNodes, AnUnpluggedNodeHangsUpAsHidrawDoes)
{
    const CommandRun run =
        inNamespace("--links cable",
                    "python3 -c \"\n"
                    "import errno, os, select, subprocess\n"
                    "fd = os.open('/dev/hidraw1', os.O_RDWR | os.O_NONBLOCK)\n"
                    "try:\n"
                    "    os.read(fd, 64)\n"
                    "except BlockingIOError:\n"
                    "    print('empty: EAGAIN')\n"
                    "subprocess.run(['halvek-devsim', 'ctl', 'unplug', 'cable'], check=True)\n"
                    "poll = select.poll()\n"
                    "poll.register(fd, select.POLLIN)\n"
                    "print('poll', poll.poll(5000)[0][1] & (select.POLLHUP | select.POLLERR))\n"
                    "for name, call in (('read', lambda: os.read(fd, 64)),\n"
                    "                   ('write', lambda: os.write(fd, bytes(64))),\n"
                    "                   ('open', lambda: os.open('/dev/hidraw1', os.O_RDWR))):\n"
                    "    try:\n"
                    "        call()\n"
                    "    except OSError as error:\n"
                    "        print(name, errno.errorcode[error.errno])\n"
                    "\"");
    ASSERT_EQ(run.status, 0) << run.output;
    for (const char* seen : {"empty: EAGAIN", "poll 24", "read EIO", "write ENODEV", "open ENOENT"})
        EXPECT_TRUE(contains(run, seen)) << seen << "\n" << run.output;
}

TEST_F(HidrawNodes, ApplyThenStateLeavesTheKeyMapOfTheInProcessEmulator)
{
    const auto inProcessState = nodes.folder / "in-process.state";
    const std::string inProcessGlobals = "--simulate=cable --sim-state " + inProcessState.string();
    const CommandRun inProcess = testing_support::runBuiltProgram(
        "halvekctl", inProcessGlobals + " apply" + dataDir("in-process"));
    ASSERT_EQ(inProcess.status, 0) << inProcess.output;
    const CommandRun inProcessRead = testing_support::runBuiltProgram(
        "halvekctl", inProcessGlobals + " state" + dataDir("in-process"));
    ASSERT_EQ(inProcessRead.status, 0) << inProcessRead.output;

    const auto hidrawState = nodes.folder / "hidraw.state";
    const CommandRun hidraw = inNamespace("--links cable --state " + hidrawState.string(),
                                          "halvekctl apply" + dataDir("hidraw") +
                                              " >/dev/null && echo applied &&"
                                              " halvekctl state" +
                                              dataDir("hidraw"));
    ASSERT_EQ(hidraw.status, 0) << hidraw.output;
    // The same values read back as from the in-process emulator.
    const auto read = hidraw.output.find("applied\n");
    ASSERT_NE(read, std::string::npos) << hidraw.output;
    EXPECT_EQ(hidraw.output.substr(read + 8), inProcessRead.output);

    const auto& model = devsim::keyboardModel();
    const auto expected = devsim::loadState(model, inProcessState);
    const auto written = devsim::loadState(model, hidrawState);
    ASSERT_TRUE(expected) << expected.error().message;
    ASSERT_TRUE(written) << written.error().message;
    const auto bytes = [](std::span<const std::uint8_t> area) {
        return std::vector<std::uint8_t>(area.begin(), area.end());
    };
    const auto keyMap = bytes(written->area(devsim::Area::KeyMap));
    EXPECT_EQ(keyMap, bytes(expected->area(devsim::Area::KeyMap)));
    EXPECT_TRUE(std::any_of(keyMap.begin(), keyMap.end(), [](auto b) { return b != 0; }));
}

TEST_F(HidrawNodes, TwoAppliesAndALightRunAtOnceLeaveTheBytesOfAnApplyAlone)
{
    const auto aloneState = nodes.folder / "alone.state";
    const CommandRun alone = testing_support::runBuiltProgram(
        "halvekctl",
        "--simulate=cable --sim-state " + aloneState.string() + " apply" + dataDir("alone"));
    ASSERT_EQ(alone.status, 0) << alone.output;

    // Every process that opens the node receives every reply: without the device's lock
    // the three would take each other's answers and interleave their sequences.
    const auto sharedState = nodes.folder / "shared.state";
    const std::string data = dataDir("shared");
    // Runs `command` in the background, its output and then its status into a file.
    std::string outputs;
    const auto background = [&](const std::string& name, const std::string& command) {
        const std::string file = (nodes.folder / name).string();
        outputs += " " + file;
        return "{ halvekctl " + command + data + " >" + file + " 2>&1; echo \"" + name +
               "=$?\" >>" + file + "; } & ";
    };
    std::string script = background("stream", "light run --mode 4 --seconds 2");
    script += background("first", "apply") + background("second", "apply");
    script += "wait; cat" + outputs;
    const CommandRun shared = inNamespace("--links cable --state " + sharedState.string(), script);
    ASSERT_EQ(numberAfter(shared.output, "stream="), 0) << shared.output;
    for (const char* apply : {"first=", "second="}) {
        const long status = numberAfter(shared.output, apply);
        // Success, or a refusal naming the holder; never a quiet success of other bytes.
        EXPECT_TRUE(status == 0 || (status == 1 && contains(shared, "device held by")))
            << apply << "\n"
            << shared.output;
    }

    const auto& model = devsim::keyboardModel();
    const auto expected = devsim::loadState(model, aloneState);
    const auto written = devsim::loadState(model, sharedState);
    ASSERT_TRUE(expected) << expected.error().message;
    ASSERT_TRUE(written) << written.error().message;
    for (const auto area : {devsim::Area::KeyMap, devsim::Area::Settings, devsim::Area::Colours}) {
        SCOPED_TRACE(static_cast<int>(area));
        const auto want = expected->area(area);
        const auto got = written->area(area);
        EXPECT_TRUE(std::equal(want.begin(), want.end(), got.begin(), got.end()));
    }
}

TEST_F(HidrawNodes, TheMouseAndASleepingKeyboardBehindTheirReceivers)
{
    const CommandRun run = inNamespace("--device both --links receiver",
                                       "halvekctl --device mouse read settings;"
                                       " echo \"mouse=$?\"; halvek-devsim ctl sleep >/dev/null;"
                                       " halvekctl info; halvek-devsim ctl wake >/dev/null;"
                                       " halvekctl info >/dev/null; echo \"awake=$?\"");
    EXPECT_EQ(numberAfter(run.output, "mouse="), 0) << run.output;
    EXPECT_TRUE(contains(run, "Slot record:")) << run.output;
    // The receiver answers for the sleeping keyboard with its mark.
    EXPECT_TRUE(contains(run, "receiver cannot reach the device")) << run.output;
    EXPECT_EQ(numberAfter(run.output, "awake="), 0) << run.output;
}

TEST_F(HidrawNodes, ListenDecodesTheDevicesReports)
{
    // Once the cable's consumer interface listens, the keyboard asks for a sync and
    // switches its profile.
    const CommandRun run = inNamespace(
        "--links cable",
        "halvekctl listen --seconds 3 | while read -r line; do echo \"$line\";"
        " case \"$line\" in *\"listening on the cable\"*)"
        " halvek-devsim ctl report 0401 >/dev/null; halvek-devsim ctl profile 3 >/dev/null;;"
        " esac; done");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(contains(run, "cable    0401  sync requested")) << run.output;
    EXPECT_TRUE(contains(run, "slot 3")) << run.output;
}

// The watcher's channel on the cable; unplug, then plug, timing from the plug's answer (the
// node and its events are there by then) to the channel open again. `before` runs first in
// the namespace; the watcher's trace goes to the output.
const char* const kUnplugAndPlug =
    "HALVEK_DEBUG=1 halvekctl devices --watch --seconds 8 2>&1 | while read -r line; do"
    " echo \"$line\";"
    " case \"$line\" in"
    " *\"channel open on the cable\"*)"
    "   if [ -z \"$plugged\" ]; then halvek-devsim ctl unplug cable >/dev/null;"
    "   else echo \"plug to channel: $(( ($(date +%s%N) - plugged) / 1000000 )) ms\"; fi;;"
    " *\"- row 0\"*)"
    "   halvek-devsim ctl plug cable >/dev/null; plugged=$(date +%s%N);;"
    " esac; done";

TEST_F(HidrawNodes, UnplugAndPlugReachTheWatcherThroughUdevEvents)
{
    const CommandRun run = inNamespace("--links cable", kUnplugAndPlug);
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(contains(run, "- row 0")) << run.output;
    EXPECT_FALSE(contains(run, "no udev daemon")) << run.output;
    const long latency = numberAfter(run.output, "plug to channel: ");
    EXPECT_GE(latency, 0) << run.output;
    std::printf("plug to open channel through hidraw nodes: %ld ms\n", latency);
}

TEST_F(HidrawNodes, WithoutAUdevDaemonUnplugAndPlugReachTheWatcherThroughDev)
{
    // udevd's control socket hidden in this namespace alone: the nodes coming and going in
    // /dev are then the only news of a plug, as on a system without udevd.
    const CommandRun run =
        inNamespace("--links cable",
                    std::string("mount -t tmpfs -o mode=0755 none /run/udev && ") + kUnplugAndPlug);
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(contains(run, "watching /dev for hidraw nodes")) << run.output;
    EXPECT_TRUE(contains(run, "- row 0")) << run.output;
    const long latency = numberAfter(run.output, "plug to channel: ");
    EXPECT_GE(latency, 0) << run.output;
    std::printf("plug to open channel through /dev without udevd: %ld ms\n", latency);
}

TEST_F(HidrawNodes, UnplugInTheMiddleOfAWriteFailsInWordsAndTheKeyboardComesBack)
{
    const CommandRun run =
        inNamespace("--links cable", "halvek-devsim ctl fault unplug-mid-write >/dev/null;"
                                     " halvekctl apply" +
                                         dataDir("data") +
                                         "; echo \"first=$?\";"
                                         " halvek-devsim ctl plug cable >/dev/null;"
                                         " halvekctl apply" +
                                         dataDir("data") + "; echo \"again=$?\"");
    EXPECT_EQ(numberAfter(run.output, "first="), 1) << run.output;
    EXPECT_TRUE(contains(run, "key map failed")) << run.output;
    EXPECT_EQ(numberAfter(run.output, "again="), 0) << run.output;
}

TEST_F(HidrawNodes, AWriteTheDeviceHoldsFailsAfterTheUsbTimeOut)
{
    // The kernel gives a held interrupt write up after 5 s; the command says it failed.
    const CommandRun run =
        inNamespace("--links cable", "halvek-devsim ctl hold on >/dev/null;"
                                     " start=$(date +%s%N); halvekctl raw 0x01 --length 8;"
                                     " echo \"held=$? after $(( ($(date +%s%N) - start) / "
                                     "1000000 )) ms\";"
                                     " halvek-devsim ctl hold off >/dev/null;"
                                     " halvekctl raw 0x01 --length 8; echo \"taken=$?\"");
    EXPECT_EQ(numberAfter(run.output, "held="), 1) << run.output;
    EXPECT_TRUE(contains(run, "request could not be written")) << run.output;
    EXPECT_EQ(numberAfter(run.output, "taken="), 0) << run.output;
    std::printf("held write ended after %ld ms\n", numberAfter(run.output, " after "));
}

// What an apply met on its way to the device is said as it was, and its total is the time
// it took to end.
TEST_F(HidrawNodes, AnApplySaysWhatItMetOnTheWay)
{
    const struct {
        const char* what;
        const char* links;
        const char* controls; // halvek-devsim ctl lines, before the apply
        const char* says;
        long leastTotal; // ms
    } cases[] = {
        {"a cable it may not open", "receiver", "deny cable;plug cable",
         "written through the receiver, not the cable it may not open", 0},
        // The system gives a held write up after 5 s, and the links close only then.
        {"a device holding its writes", "cable", "hold on",
         "the device has not taken the one written", 4000},
    };
    static const std::regex totalLine(R"(\ntotal +[0-9]+ frames +([0-9]+)\.[0-9] ms\n)");
    for (const auto& met : cases) {
        SCOPED_TRACE(met.what);
        std::string script;
        std::istringstream controls(met.controls);
        for (std::string line; std::getline(controls, line, ';');)
            script += "halvek-devsim ctl " + line + " >/dev/null; ";
        script += "halvekctl --trace apply" + dataDir(met.links) + "; echo \"status=$?\"";
        const CommandRun run = inNamespace(std::string("--links ") + met.links, script);
        EXPECT_EQ(numberAfter(run.output, "status="), 1) << run.output;
        EXPECT_TRUE(contains(run, met.says)) << run.output;
        std::smatch total;
        ASSERT_TRUE(std::regex_search(run.output, total, totalLine)) << run.output;
        EXPECT_GE(std::stol(total[1].str()), met.leastTotal) << run.output;
    }
}

TEST_F(HidrawNodes, ANodeTheUserMayNotOpenIsNamedWithItsRule)
{
    const CommandRun run =
        inNamespace("--links none", "halvek-devsim ctl deny cable >/dev/null;"
                                    " halvek-devsim ctl plug cable >/dev/null;"
                                    " ls -l /dev/hidraw0; halvekctl devices; halvekctl info;"
                                    " echo \"info=$?\"");
    EXPECT_TRUE(contains(run, "keyboard (cable) is plugged in, but you have no permission"))
        << run.output;
    EXPECT_TRUE(contains(run, "/dev/hidraw")) << run.output;
    EXPECT_TRUE(contains(run, "udev")) << run.output;
    EXPECT_NE(numberAfter(run.output, "info="), 0) << run.output;
}

} // namespace
