#include "platform/library_pages.h"

namespace platform {

// Windows trims a process's working set by itself when memory is short.
void releaseLibraryPages(const char*) {}

} // namespace platform
