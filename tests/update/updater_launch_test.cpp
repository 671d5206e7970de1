#include "update/updater.h"
#include "update/updater_launch.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <thread>

namespace {

using namespace std::chrono_literals;
using update::ItemState;

update::UpdateRecord offered(std::wstring path, std::wstring name)
{
    update::UpdateRecord record;
    record.status = update::kStatusNewer;
    record.name = L"KB";
    record.currentVersionText = L"V0102";
    record.latestVersionText = L"V0103";
    record.downloadPath = std::move(path);
    record.localFile = update::safeFileName(name, L"KB") + L".exe";
    return record;
}

// Two items with something newer, both ticked and started.
update::UpdateList startedList(const update::UpdateRecord& first,
                               const update::UpdateRecord& second)
{
    update::UpdateList list;
    list.add(first);
    list.add(second);
    list.finishCheck();
    EXPECT_EQ(list.startUpdate().size(), 2u);
    return list;
}

} // namespace

TEST(UpdaterArguments, TheServicesNameCannotLeaveTheFolderAndTheSizeTravels)
{
    auto record = offered(L"https://updates.example/fw.bin", L"..\\..\\x");
    EXPECT_EQ(record.localFile, L"x.exe");
    record.fileSize = 300000;
    EXPECT_EQ(update::updaterArguments(record, "/etc/ca.pem"),
              (std::vector<std::string>{"--url", "https://updates.example/fw.bin", "--name",
                                        "x.exe", "--size", "300000", "--ca", "/etc/ca.pem"}));
    record.fileSize = 0;
    EXPECT_EQ(update::updaterArguments(record, {}).size(), 4u);
    for (const wchar_t* hostile : {L"/etc/passwd", L"C:\\x", L"../..", L"./.", L""})
        EXPECT_EQ(update::safeFileName(hostile, L"KB").find_first_of(L"/\\:"), std::wstring::npos)
            << hostile;
}

TEST(UpdaterLaunch, AnUpdaterThatEndsWithoutReportingFailsItsItemAndTheNextOneRuns)
{
    testing_support::TempDir folder;
    const auto program = folder / "updater";
    // Counts its runs, then ends with an error and without a word to the program.
    std::ofstream(program) << "#!/bin/sh\necho run >> '" << (folder / "runs").string()
                           << "'\nexit 1\n";
    std::filesystem::permissions(program, std::filesystem::perms::owner_all);

    auto list = startedList(offered(L"https://a.example/1", L"one"),
                            offered(L"https://a.example/2", L"two"));
    update::UpdaterLaunch launch(program, {});
    launch.launchNext(list);
    // A report no updater sends changes nothing, and does not stop the watch.
    EXPECT_FALSE(list.applyReport(99, 0));
    launch.reported(list, 99);
    std::optional<update::WindowState> ended;
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (!ended && std::chrono::steady_clock::now() < deadline) {
        ended = launch.watch(list);
        std::this_thread::sleep_for(50ms);
    }
    // Never "done" without the updater saying so.
    ASSERT_TRUE(ended);
    EXPECT_EQ(list.items()[0].state, ItemState::Failed);
    EXPECT_EQ(list.items()[1].state, ItemState::Failed);
    EXPECT_TRUE(list.canClose());
    std::ifstream runs(folder / "runs");
    std::string line;
    int count = 0;
    while (std::getline(runs, line))
        ++count;
    EXPECT_EQ(count, 2);
}

TEST(UpdaterLaunch, AnItemWithoutPathOrAMissingUpdaterFailsAtOnce)
{
    auto list = startedList(offered(L"", L"one"), offered(L"https://a.example/2", L"two"));
    update::UpdaterLaunch launch("/no/such/halvek-update", {});
    launch.launchNext(list);
    EXPECT_EQ(list.items()[0].state, ItemState::Failed);
    EXPECT_EQ(list.items()[1].state, ItemState::Failed);
    EXPECT_FALSE(launch.isRunning());
}

TEST(UpdateItemLook, EachStateShowsItsTextAndMarks)
{
    EXPECT_EQ(update::itemLook(ItemState::Downloading).statusTextId, L"DownloadIngText");
    EXPECT_TRUE(update::itemLook(ItemState::Downloading).progressShown);
    EXPECT_FALSE(update::itemLook(ItemState::Downloading).optionEnabled);
    EXPECT_TRUE(update::itemLook(ItemState::Downloaded).doneShown);
    EXPECT_TRUE(update::itemLook(ItemState::Failed).optionEnabled);
    EXPECT_EQ(update::itemLook(ItemState::Done).textColour, 0u);
    EXPECT_EQ(update::progressText(250), L"100%");
    EXPECT_EQ(update::progressText(-3), L"0%");

    // Only enabled items take a tick.
    update::UpdateList list;
    update::UpdateRecord newer;
    newer.status = update::kStatusNewer;
    list.add(newer);
    list.add(update::UpdateRecord{});
    list.finishCheck();
    list.setTicked(1, true);
    EXPECT_FALSE(list.items()[1].ticked);
    list.setTicked(0, false);
    EXPECT_FALSE(list.anyTicked());
    list.setTicked(0, true);
    EXPECT_TRUE(list.anyTicked());
    list.setTicked(7, true); // out of range: ignored
}
