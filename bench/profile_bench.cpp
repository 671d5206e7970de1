// Profile load and save against plain jsoncpp on the same file: the baselines show what
// reading, parsing and formatting alone cost, the rest is the record layer and the safe
// replace (temporary file, flush, rename).
#include "profile/json_file.h"
#include "profile/key_codes.h"
#include "profile/keyboard_profile_data.h"

#include <benchmark/benchmark.h>
#include <json/reader.h>
#include <json/writer.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// A keyboard profile shaped like the factory one: 126 keys, 170 lights, 3 colour groups.
Json::Value keyboardProfile()
{
    Json::Value device(Json::objectValue);
    for (const auto& code : profile::keyboardPositionTable()) {
        Json::Value key;
        key["Assignment"] = profile::toInteger(code);
        key["DefaultAssignment"] = profile::toInteger(code);
        device["KeyList"].append(key);
    }
    for (int i = 0; i < 170; ++i)
        device["LightList"].append(Json::Value());
    for (int group = 0; group < 3; ++group) {
        for (int i = 0; i < 170; ++i) {
            Json::Value colour;
            colour["Red"] = 255;
            colour["Green"] = i;
            colour["Blue"] = group;
            colour["Alpha"] = 255;
            device["CustomLightMode"]["LightColorInfo"][group].append(colour);
        }
    }
    device["LightInfo"]["SelectItem"] = 4;
    Json::Value document;
    document["profilename"] = "profile1";
    document["profileUUID"] = "2023_07_18_09_05_03_042";
    document["Device"].append(device);
    return document;
}

struct BenchFolder {
    BenchFolder() : path(fs::temp_directory_path() / ("halvek-bench-" + std::to_string(getpid())))
    {
        fs::create_directories(path);
        profile::CJsonFile().WriteJson(file(), keyboardProfile());
    }
    ~BenchFolder()
    {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
    fs::path file() const { return path / "p.Json"; }
    fs::path path;
};

void BM_BaselineJsoncppParse(benchmark::State& state)
{
    BenchFolder folder;
    for (auto _ : state) {
        std::ifstream in(folder.file(), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        Json::CharReaderBuilder builder;
        const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
        const std::string bytes = text.str();
        Json::Value value;
        std::string errors;
        reader->parse(bytes.data(), bytes.data() + bytes.size(), &value, &errors);
        benchmark::DoNotOptimize(value);
    }
}
BENCHMARK(BM_BaselineJsoncppParse);

void BM_LoadKeyboardProfile(benchmark::State& state)
{
    BenchFolder folder;
    for (auto _ : state) {
        profile::CKeyboardProfiledata record;
        record.LoadProfileFile(folder.file());
        benchmark::DoNotOptimize(record.LoadKeyList());
        benchmark::DoNotOptimize(record.LoadLightInfo());
        benchmark::DoNotOptimize(record.LoadLightList());
        benchmark::DoNotOptimize(record.LoadCustomColours(0, 170));
    }
}
BENCHMARK(BM_LoadKeyboardProfile);

void BM_BaselineJsoncppStyledWrite(benchmark::State& state)
{
    BenchFolder folder;
    const Json::Value document = keyboardProfile();
    for (auto _ : state) {
        Json::StyledWriter writer;
        std::ofstream(folder.path / "plain.Json", std::ios::binary) << writer.write(document);
    }
}
BENCHMARK(BM_BaselineJsoncppStyledWrite);

void BM_SaveKeyboardProfile(benchmark::State& state)
{
    BenchFolder folder;
    profile::CKeyboardProfiledata record;
    record.SetProfilePath(folder.file());
    record.LoadProfileFile(folder.file());
    for (auto _ : state)
        benchmark::DoNotOptimize(record.SaveProfile());
}
BENCHMARK(BM_SaveKeyboardProfile);

} // namespace

BENCHMARK_MAIN();
