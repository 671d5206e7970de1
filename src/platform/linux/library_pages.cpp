#include "platform/library_pages.h"

#include "platform/debug_output.h"

#include <dlfcn.h>
#include <sys/mman.h>

#include <cstdint>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace platform {
namespace {

struct Mapping {
    std::uintptr_t start = 0;
    std::uintptr_t end = 0;
    bool writable = false;
    std::string device;
    std::string inode;
    bool copiedPages = false; // pages written since the file was mapped (relocations)
};

// Every mapping of the process with whether any of its pages are its own copies.
std::vector<Mapping> readMappings()
{
    std::vector<Mapping> mappings;
    std::ifstream in("/proc/self/smaps");
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string first;
        fields >> first;
        const auto dash = first.find('-');
        if (dash != std::string::npos && first.back() != ':') {
            Mapping mapping;
            std::string permissions, offset;
            fields >> permissions >> offset >> mapping.device >> mapping.inode;
            try {
                mapping.start = std::stoull(first.substr(0, dash), nullptr, 16);
                mapping.end = std::stoull(first.substr(dash + 1), nullptr, 16);
            } catch (...) {
                continue;
            }
            mapping.writable = permissions.size() > 1 && permissions[1] == 'w';
            mappings.push_back(std::move(mapping));
        } else if (!mappings.empty() && (first == "Anonymous:" || first == "Swap:")) {
            long long kilobytes = 0;
            fields >> kilobytes;
            mappings.back().copiedPages = mappings.back().copiedPages || kilobytes != 0;
        }
    }
    return mappings;
}

// The library's read-only mappings none of whose pages were copied: dropping those pages
// loses nothing. Found once; a loaded library stays where it is.
std::vector<Mapping> cleanMappingsOf(std::uintptr_t address)
{
    const std::vector<Mapping> all = readMappings();
    const Mapping* holder = nullptr;
    for (const Mapping& mapping : all) {
        if (address >= mapping.start && address < mapping.end)
            holder = &mapping;
    }
    std::vector<Mapping> clean;
    if (!holder || holder->inode == "0")
        return clean;
    for (const Mapping& mapping : all) {
        if (mapping.device == holder->device && mapping.inode == holder->inode &&
            !mapping.writable && !mapping.copiedPages)
            clean.push_back(mapping);
    }
    return clean;
}

} // namespace

void releaseLibraryPages(const char* symbol)
{
    static std::mutex lock;
    static std::vector<std::pair<std::string, std::vector<Mapping>>> known;
    if (!symbol)
        return;
    std::lock_guard guard(lock);
    const std::vector<Mapping>* mappings = nullptr;
    for (const auto& [name, found] : known) {
        if (name == symbol)
            mappings = &found;
    }
    if (!mappings) {
        const void* address = ::dlsym(RTLD_DEFAULT, symbol);
        mappings =
            &known
                 .emplace_back(symbol,
                               address ? cleanMappingsOf(reinterpret_cast<std::uintptr_t>(address))
                                       : std::vector<Mapping>{})
                 .second;
    }
    for (const Mapping& mapping : *mappings) {
        if (::madvise(reinterpret_cast<void*>(mapping.start), mapping.end - mapping.start,
                      MADV_DONTNEED) != 0) {
            debugOutput("library pages not released");
            return;
        }
    }
}

} // namespace platform
