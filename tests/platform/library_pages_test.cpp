// Giving back a library's pages: what is dropped comes back from its file; what the
// process changed in it (relocated tables) is never dropped.
#include "platform/library_pages.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <exception>
#include <sstream>
#include <stdexcept>
#include <string>

namespace {

// Resident kilobytes of the executable mappings of the file that holds `address`. C's
// reading only: the C++ runtime's own code, under test here, would come back as it ran.
long residentCodeOf(const void* address)
{
    const auto target = reinterpret_cast<unsigned long long>(address);
    std::FILE* in = std::fopen("/proc/self/smaps", "r");
    if (!in)
        return -1;
    char line[4096];
    unsigned long long holderInode = 0;
    unsigned long long inode = 0;
    bool executable = false;
    long resident = 0;
    // Two passes: the first finds the holder's inode, the second adds up its code.
    for (int pass = 0; pass < 2; ++pass) {
        std::rewind(in);
        while (std::fgets(line, sizeof line, in)) {
            unsigned long long start = 0, end = 0, offset = 0;
            char permissions[8] = {};
            char device[16] = {};
            long kilobytes = 0;
            if (std::sscanf(line, "%llx-%llx %7s %llx %15s %llu", &start, &end, permissions,
                            &offset, device, &inode) == 6) {
                executable = permissions[2] == 'x';
                if (pass == 0 && target >= start && target < end)
                    holderInode = inode;
            } else if (pass == 1 && executable && inode == holderInode &&
                       std::sscanf(line, "Rss: %ld kB", &kilobytes) == 1) {
                resident += kilobytes;
            }
        }
    }
    std::fclose(in);
    return holderInode == 0 ? -1 : resident;
}

} // namespace

TEST(LibraryPages, TheCodeLeavesMemoryAndTheLibraryWorksOnWithItsRelocatedTables)
{
    // The C++ runtime: its virtual tables and type information are relocated when it loads,
    // copies of the file's pages that dropping would turn back into unrelocated bytes.
    const void* library = reinterpret_cast<const void*>(&std::terminate);
    const char* symbol = "_ZSt9terminatev";
    const long before = residentCodeOf(library);
    ASSERT_GT(before, 0);

    platform::releaseLibraryPages(symbol);
    const long after = residentCodeOf(library);
    EXPECT_LT(after, before);

    std::ostringstream out;
    out << 42 << ' ' << 2.5;
    EXPECT_EQ(out.str(), "42 2.5");
    try {
        throw std::runtime_error("still thrown and caught");
    } catch (const std::exception& error) {
        EXPECT_STREQ(error.what(), "still thrown and caught");
    }
    // A second time: the pages found at first are given back again.
    platform::releaseLibraryPages(symbol);
    EXPECT_EQ(std::to_string(7), "7");
}

TEST(LibraryPages, AnUnknownSymbolChangesNothing)
{
    platform::releaseLibraryPages("no_such_symbol_anywhere");
    platform::releaseLibraryPages(nullptr);
    std::ostringstream out;
    out << "fine";
    EXPECT_EQ(out.str(), "fine");
}
