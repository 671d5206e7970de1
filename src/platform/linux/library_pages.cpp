#include "platform/library_pages.h"

#include "platform/debug_output.h"

#include <dlfcn.h>
#include <link.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <vector>

namespace platform {
namespace {

struct Range {
    std::uintptr_t start = 0;
    std::uintptr_t end = 0;
};

struct Search {
    std::uintptr_t address = 0;
    std::uintptr_t page = 4096;
    std::vector<Range> clean;
};

bool hasTextRelocations(const dl_phdr_info& info)
{
    for (int i = 0; i < info.dlpi_phnum; ++i) {
        const ElfW(Phdr)& header = info.dlpi_phdr[i];
        if (header.p_type != PT_DYNAMIC)
            continue;
        const auto* entry = reinterpret_cast<const ElfW(Dyn)*>(info.dlpi_addr + header.p_vaddr);
        for (; entry->d_tag != DT_NULL; ++entry) {
            if (entry->d_tag == DT_TEXTREL ||
                (entry->d_tag == DT_FLAGS && (entry->d_un.d_val & DF_TEXTREL) != 0))
                return true;
        }
    }
    return false;
}

// The whole pages of the object's read-only segments that no writable segment and no
// relocated read-only part (RELRO) touches: those hold exactly what the file holds.
int findCleanPages(dl_phdr_info* info, std::size_t, void* data)
{
    auto& search = *static_cast<Search*>(data);
    const auto at = [info](const ElfW(Phdr) & header) { return info->dlpi_addr + header.p_vaddr; };
    bool holds = false;
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& header = info->dlpi_phdr[i];
        holds = holds || (header.p_type == PT_LOAD && search.address >= at(header) &&
                          search.address < at(header) + header.p_memsz);
    }
    if (!holds)
        return 0;
    if (hasTextRelocations(*info))
        return 1;
    const std::uintptr_t page = search.page;
    const auto down = [page](std::uintptr_t value) { return value & ~(page - 1); };
    const auto up = [page](std::uintptr_t value) { return (value + page - 1) & ~(page - 1); };
    // Written while loading or since: rounded outwards, a shared page counts as written.
    std::vector<Range> written;
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& header = info->dlpi_phdr[i];
        if (header.p_type == PT_GNU_RELRO ||
            (header.p_type == PT_LOAD && (header.p_flags & PF_W) != 0))
            written.push_back(Range{down(at(header)), up(at(header) + header.p_memsz)});
    }
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& header = info->dlpi_phdr[i];
        if (header.p_type != PT_LOAD || (header.p_flags & PF_W) != 0)
            continue;
        // Whole pages only, rounded inwards.
        const Range range{up(at(header)), down(at(header) + header.p_filesz)};
        if (range.start >= range.end)
            continue;
        bool touched = false;
        for (const Range& other : written)
            touched = touched || (range.start < other.end && other.start < range.end);
        if (!touched)
            search.clean.push_back(range);
    }
    return 1;
}

} // namespace

void releaseLibraryPages(const char* symbol)
{
    const void* address = symbol ? ::dlsym(RTLD_DEFAULT, symbol) : nullptr;
    if (!address)
        return;
    Search search;
    search.address = reinterpret_cast<std::uintptr_t>(address);
    const long page = ::sysconf(_SC_PAGESIZE);
    if (page > 0)
        search.page = static_cast<std::uintptr_t>(page);
    ::dl_iterate_phdr(findCleanPages, &search);
    for (const Range& range : search.clean) {
        if (::madvise(reinterpret_cast<void*>(range.start), range.end - range.start,
                      MADV_DONTNEED) != 0) {
            debugOutput("library pages not released");
            return;
        }
    }
}

} // namespace platform
