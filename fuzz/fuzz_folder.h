#pragma once

#include "platform/debug_output.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

// A private folder for one fuzzing process, emptied before every input so that files the
// loaders set aside or complete do not pile up. In memory where possible: every rewrite
// flushes to disk, which would otherwise dominate each run.
inline const std::filesystem::path& freshFuzzFolder()
{
    // Trace lines pile up in the debug ring until it is full; libFuzzer would take that
    // for a leak and scan for one after every input.
    platform::clearDebugLines();
    static const std::filesystem::path folder =
        (std::filesystem::is_directory("/dev/shm") ? std::filesystem::path("/dev/shm")
                                                   : std::filesystem::temp_directory_path()) /
        ("halvek-fuzz-" + std::to_string(::getpid()));
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    std::filesystem::create_directories(folder, ignored);
    return folder;
}

inline void writeFuzzFile(const std::filesystem::path& path, const std::uint8_t* data,
                          std::size_t size)
{
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}
